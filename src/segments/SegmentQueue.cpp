// The segment queue: jobs in the caller's order on top of the worker pool,
// and the spare jobs whose buffers the next segments reuse.
#include "segments/SegmentQueue.h"

namespace {

// Jobs in flight per thread: enough to keep every worker busy while the
// caller prints and stores the oldest one.
constexpr size_t nJobsPerThread = 3;

// The queue's bound on tPool: none waits without workers, where a job is
// encoded as soon as it is queued.
size_t nMaxQueued(const CWorkerPool& tPool) {
    const size_t nThreads = static_cast<size_t>(tPool.nThreads());
    return nThreads > 1 ? nJobsPerThread * nThreads : 0;
}

}  // namespace

void CSegmentJob::vRun() {
    // A segment its output holds whole is neither fetched nor encoded.
    if (pHeld != nullptr) {
        std::vector<SampleRange> at;
        const int64_t n = fnFill ? nCount : static_cast<int64_t>(anSamples.size());
        pHeld->vNotHeld(tTemplate.nStretchStartMicros, tTemplate.nFirstSample, n, at);
        if (at.empty()) {
            vEncodeNothing(tEncoded);
            return;
        }
    }
    if (fnFill) {
        anSamples.resize(static_cast<size_t>(nCount));
        fnFill(nFirst, nCount, anSamples.data());
    }
    vEncodeSegment(tTemplate, anSamples.data(), static_cast<int>(anSamples.size()), tEncoded,
                   pHeld);
}

CSegmentQueue::CSegmentQueue(CWorkerPool& tPool)
    : m_tPool(tPool), m_nMaxQueued(nMaxQueued(tPool)) {}

CSegmentQueue::~CSegmentQueue() {
    for (const std::unique_ptr<CSegmentJob>& pJob : m_apQueued) m_tPool.vWait(*pJob);
}

std::unique_ptr<CSegmentJob> CSegmentQueue::pNewJob() {
    if (m_apSpare.empty()) return std::make_unique<CSegmentJob>();
    std::unique_ptr<CSegmentJob> pJob = std::move(m_apSpare.back());
    m_apSpare.pop_back();
    pJob->sTextAfter.clear();
    pJob->fnFill = nullptr;
    return pJob;
}

void CSegmentQueue::vSubmit(std::unique_ptr<CSegmentJob> pJob) {
    m_tPool.vSubmit(*pJob);
    m_apQueued.push_back(std::move(pJob));
}

std::unique_ptr<CSegmentJob> CSegmentQueue::pTakeOldest() {
    m_tPool.vWait(*m_apQueued.front());
    std::unique_ptr<CSegmentJob> pJob = std::move(m_apQueued.front());
    m_apQueued.pop_front();
    return pJob;
}

bool CSegmentQueue::bOldestDone() {
    return !m_apQueued.empty() && m_tPool.bDone(*m_apQueued.front());
}

void CSegmentQueue::vRecycle(std::unique_ptr<CSegmentJob> pJob) {
    m_apSpare.push_back(std::move(pJob));
}
