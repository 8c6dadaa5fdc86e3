// The encoding pipeline: one lock guards the queues and the done flags; the
// encoding itself runs outside it. The queue's order is the caller's, so the
// caller sees the jobs back in the order it submitted them.
#include "segments/SegmentPipeline.h"

namespace {

// Jobs in flight per thread: enough to keep every worker busy while the
// caller prints and writes the oldest one.
constexpr size_t nJobsPerThread = 3;

}  // namespace

CSegmentPipeline::CSegmentPipeline(int nThreads)
    : m_nMaxQueued(nJobsPerThread * static_cast<size_t>(nThreads)) {
    // Room for a batch and the segment that completes it.
    m_acWriteBatch.reserve(nSegmentWriteBatch + (size_t{1} << 17));
    for (int i = 1; i < nThreads; ++i) m_atWorkers.emplace_back([this] { vWork(); });
}

CSegmentPipeline::~CSegmentPipeline() {
    {
        std::lock_guard<std::mutex> tGuard(m_tLock);
        m_bStop = true;
    }
    m_tWorkReady.notify_all();
    for (std::thread& t : m_atWorkers) t.join();
}

std::unique_ptr<SegmentJob> CSegmentPipeline::pNewJob() {
    if (m_apSpare.empty()) return std::make_unique<SegmentJob>();
    std::unique_ptr<SegmentJob> pJob = std::move(m_apSpare.back());
    m_apSpare.pop_back();
    pJob->sTextAfter.clear();
    pJob->fnFill = nullptr;
    pJob->bDone = false;
    return pJob;
}

void CSegmentPipeline::vSubmit(std::unique_ptr<SegmentJob> pJob) {
    {
        std::lock_guard<std::mutex> tGuard(m_tLock);
        m_apToEncode.push_back(pJob.get());
        m_apQueued.push_back(std::move(pJob));
    }
    m_tWorkReady.notify_one();
}

std::unique_ptr<SegmentJob> CSegmentPipeline::pTakeOldest() {
    std::unique_lock<std::mutex> tGuard(m_tLock);
    // Sleeping while a job waits for a worker would cost two thread switches
    // a segment; encoding it here costs none.
    while (!m_apQueued.front()->bDone && !m_apToEncode.empty()) tEncodeNext(tGuard);
    m_tJobDone.wait(tGuard, [this] { return m_apQueued.front()->bDone; });
    std::unique_ptr<SegmentJob> pJob = std::move(m_apQueued.front());
    m_apQueued.pop_front();
    return pJob;
}

bool CSegmentPipeline::bOldestDone() {
    std::lock_guard<std::mutex> tGuard(m_tLock);
    return !m_apQueued.empty() && m_apQueued.front()->bDone;
}

void CSegmentPipeline::vRecycle(std::unique_ptr<SegmentJob> pJob) {
    m_apSpare.push_back(std::move(pJob));
}

SegmentJob& CSegmentPipeline::tEncodeNext(std::unique_lock<std::mutex>& tGuard) {
    SegmentJob& t = *m_apToEncode.front();
    m_apToEncode.pop_front();
    tGuard.unlock();
    vEncode(t);
    tGuard.lock();
    t.bDone = true;
    return t;
}

void CSegmentPipeline::vEncode(SegmentJob& t) {
    if (t.fnFill) {
        t.anSamples.resize(static_cast<size_t>(t.nCount));
        t.fnFill(t.nFirst, t.nCount, t.anSamples.data());
    }
    vEncodeSegment(t.sStation.c_str(), t.sChannel.c_str(), t.dRate, t.tStart, t.anSamples.data(),
                   static_cast<int>(t.anSamples.size()), t.tEncoded);
}

void CSegmentPipeline::vWork() {
    std::unique_lock<std::mutex> tGuard(m_tLock);
    for (;;) {
        m_tWorkReady.wait(tGuard, [this] { return m_bStop || !m_apToEncode.empty(); });
        if (m_bStop) return;
        const SegmentJob& t = tEncodeNext(tGuard);
        // Only the oldest job is ever waited for.
        if (&t == m_apQueued.front().get()) m_tJobDone.notify_one();
    }
}
