// The encoding pipeline: one lock guards the queues and the done flags; the
// encoding itself runs outside it. The queue's order is the caller's, so the
// caller sees the jobs back in the order it submitted them.
#include "segments/SegmentPipeline.h"

namespace {

// Jobs in flight per worker: enough to keep every worker busy while the
// caller prints and writes the oldest one.
constexpr size_t nJobsPerWorker = 4;

}  // namespace

CSegmentPipeline::CSegmentPipeline(int nWorkers)
    : m_nMaxQueued(nJobsPerWorker * static_cast<size_t>(nWorkers)) {
    for (int i = 0; i < nWorkers; ++i) m_atWorkers.emplace_back([this] { vWork(); });
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
    m_tJobDone.wait(tGuard, [this] { return m_apQueued.front()->bDone; });
    std::unique_ptr<SegmentJob> pJob = std::move(m_apQueued.front());
    m_apQueued.pop_front();
    return pJob;
}

void CSegmentPipeline::vRecycle(std::unique_ptr<SegmentJob> pJob) {
    m_apSpare.push_back(std::move(pJob));
}

void CSegmentPipeline::vWork() {
    std::unique_lock<std::mutex> tGuard(m_tLock);
    for (;;) {
        m_tWorkReady.wait(tGuard, [this] { return m_bStop || !m_apToEncode.empty(); });
        if (m_bStop) return;
        SegmentJob& t = *m_apToEncode.front();
        m_apToEncode.pop_front();
        tGuard.unlock();
        if (t.fnFill) {
            t.anSamples.resize(static_cast<size_t>(t.nCount));
            t.fnFill(t.nFirst, t.nCount, t.anSamples.data());
        }
        vEncodeSegment(t.sStation.c_str(), t.sChannel.c_str(), t.dRate, t.tStart,
                       t.anSamples.data(), static_cast<int>(t.anSamples.size()), t.tEncoded);
        tGuard.lock();
        t.bDone = true;
        m_tJobDone.notify_all();
    }
}
