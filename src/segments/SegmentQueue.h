// Segments on their way through the run's workers, handed back in the order
// they were queued, so that one thread can number, print and store them as
// a run on one thread would. Made once for a run and lent to each writer in
// turn, so that the jobs' buffers are set up once. The queue is bounded:
// memory does not grow with the recording.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "base/WorkerPool.h"
#include "segments/SegmentEncoding.h"

// Writes samples nFirst .. nFirst + nCount - 1 of a stretch to pnOut; safe to
// call from any thread.
using SampleFill = std::function<void(int64_t nFirst, int nCount, int32_t* pnOut)>;

// One segment: its template and samples, the records they make, and the
// console text. A worker touches only the samples and tEncoded.
struct CSegmentJob : CPoolJob {
    RecordTemplate tTemplate;  // with the segment's start time
    char acTimeLine[64] = "";  // the segment's "vSetHeaderTime ..." line
    std::vector<int32_t> anSamples;
    SampleFill fnFill;  // when set: anSamples are samples nFirst .. nFirst + nCount - 1 of it
    int64_t nFirst = 0;
    int nCount = 0;
    int64_t nDay = 0;                     // the UTC day of its first sample
    const CHeldSamples* pHeld = nullptr;  // when set: only the samples it does not hold are encoded
    EncodedSegment tEncoded;
    std::string sTextAfter;  // the writer's console text that follows this segment's lines

    // Fetches the samples if needed and encodes them.
    void vRun() override;
};

class CSegmentQueue {
public:
    // Jobs encode on tPool's threads; with workers, up to three jobs per
    // thread wait in the queue, without any a job is encoded as it is queued.
    explicit CSegmentQueue(CWorkerPool& tPool);
    // Waits for the jobs still queued, which the pool must not run later.
    ~CSegmentQueue();
    CSegmentQueue(const CSegmentQueue&) = delete;
    CSegmentQueue& operator=(const CSegmentQueue&) = delete;

    // A job to fill and submit; reuses the buffers of jobs handed back.
    std::unique_ptr<CSegmentJob> pNewJob();
    // Queues a filled job for encoding.
    void vSubmit(std::unique_ptr<CSegmentJob> pJob);
    // True when more jobs are queued than the bound: the caller takes the
    // oldest before it goes on.
    bool bOverFull() const { return m_apQueued.size() > m_nMaxQueued; }
    bool bEmpty() const { return m_apQueued.empty(); }
    // The newest queued job; null when none is queued.
    CSegmentJob* pNewest() { return m_apQueued.empty() ? nullptr : m_apQueued.back().get(); }
    // Takes the oldest queued job out of the queue once it is encoded
    // (encoding queued jobs in the caller meanwhile); the caller hands it
    // back with vRecycle when done with it.
    std::unique_ptr<CSegmentJob> pTakeOldest();
    // True when the oldest queued job is encoded (taking it will not wait).
    bool bOldestDone();
    void vRecycle(std::unique_ptr<CSegmentJob> pJob);

private:
    CWorkerPool& m_tPool;
    size_t m_nMaxQueued;
    std::deque<std::unique_ptr<CSegmentJob>> m_apQueued;  // submitted, oldest first
    std::vector<std::unique_ptr<CSegmentJob>> m_apSpare;  // taken and handed back
};
