// The worker pool: one lock guards the queue and the done flags; jobs run
// outside it. A finished job wakes a waiter only when one waits for it.
#include "base/WorkerPool.h"

#include <algorithm>

CWorkerPool::CWorkerPool(int nThreads) {
    for (int i = 1; i < nThreads; ++i) m_atWorkers.emplace_back([this] { vWork(); });
}

CWorkerPool::~CWorkerPool() {
    {
        std::lock_guard<std::mutex> tGuard(m_tLock);
        m_bStop = true;
    }
    m_tWorkReady.notify_all();
    for (std::thread& t : m_atWorkers) t.join();
}

void CWorkerPool::vSubmit(CPoolJob& t) {
    {
        std::lock_guard<std::mutex> tGuard(m_tLock);
        t.m_bDone = false;
        m_apQueued.push_back(&t);
    }
    m_tWorkReady.notify_one();
}

void CWorkerPool::vWait(CPoolJob& t) {
    std::unique_lock<std::mutex> tGuard(m_tLock);
    // Sleeping while a job waits for a worker would cost two thread switches;
    // running it here costs none.
    while (!t.m_bDone && !m_apQueued.empty()) vRunNext(tGuard);
    t.m_bAwaited = true;
    m_tJobDone.wait(tGuard, [&t] { return t.m_bDone; });
    t.m_bAwaited = false;
}

bool CWorkerPool::bDone(const CPoolJob& t) {
    std::lock_guard<std::mutex> tGuard(m_tLock);
    return t.m_bDone;
}

void CWorkerPool::vRunNext(std::unique_lock<std::mutex>& tGuard) {
    CPoolJob& t = *m_apQueued.front();
    m_apQueued.pop_front();
    tGuard.unlock();
    t.vRun();
    tGuard.lock();
    t.m_bDone = true;
    if (t.m_bAwaited) m_tJobDone.notify_all();
}

void CWorkerPool::vWork() {
    std::unique_lock<std::mutex> tGuard(m_tLock);
    for (;;) {
        m_tWorkReady.wait(tGuard, [this] { return m_bStop || !m_apQueued.empty(); });
        if (m_bStop) return;
        vRunNext(tGuard);
    }
}

std::vector<PartRange> atPartsOf(int64_t nItems, int64_t nAtLeast, const CWorkerPool& tPool) {
    const int64_t nParts = std::clamp<int64_t>(nItems / nAtLeast, 1, tPool.nThreads());
    std::vector<PartRange> at;
    for (int64_t k = 0; k < nParts; ++k)
        at.push_back({nItems * k / nParts, nItems * (k + 1) / nParts});
    return at;
}
