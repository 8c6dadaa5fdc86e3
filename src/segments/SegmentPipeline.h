// Segments encoded on worker threads and handed back in the order they were
// queued, so that one thread can number, print and write them as a serial
// run would. The queue is bounded: memory does not grow with the recording.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "segments/SegmentFlush.h"

// Writes samples nFirst .. nFirst + nCount - 1 of a run to pnOut; safe to
// call from any thread.
using SampleFill = std::function<void(int64_t nFirst, int nCount, int32_t* pnOut)>;

// One segment on its way: what the encoder needs, what it made, and the
// console text that must come out after the segment's own lines. The
// samples are given, or fetched by the worker through fnFill.
struct SegmentJob {
    std::string sStation;
    std::string sChannel;
    double dRate = 0;
    EpochTime tStart = 0;
    std::vector<int32_t> anSamples;
    SampleFill fnFill;  // when set: anSamples are samples nFirst .. nFirst + nCount - 1 of it
    int64_t nFirst = 0;
    int nCount = 0;
    EncodedSegment tEncoded;
    std::string sTextAfter;
    bool bDone = false;  // tEncoded is ready (guarded by the pipeline's lock)
};

class CSegmentPipeline {
public:
    // Starts nWorkers (>= 1) encoding threads.
    explicit CSegmentPipeline(int nWorkers);
    // Stops the workers; jobs still queued are dropped unencoded or unread.
    ~CSegmentPipeline();
    CSegmentPipeline(const CSegmentPipeline&) = delete;
    CSegmentPipeline& operator=(const CSegmentPipeline&) = delete;

    // A job to fill and submit; reuses the buffers of jobs already taken.
    std::unique_ptr<SegmentJob> pNewJob();
    // Queues a filled job for encoding.
    void vSubmit(std::unique_ptr<SegmentJob> pJob);
    // True when enough jobs are queued that the caller should take one first.
    bool bFull() const { return m_apQueued.size() >= m_nMaxQueued; }
    bool bEmpty() const { return m_apQueued.empty(); }
    // The newest queued job, whose sTextAfter the caller may extend; null
    // when none is queued.
    SegmentJob* pNewest() { return m_apQueued.empty() ? nullptr : m_apQueued.back().get(); }
    // Waits until the oldest queued job is encoded and takes it out of the
    // queue; the caller hands it back with vRecycle when done with it.
    std::unique_ptr<SegmentJob> pTakeOldest();
    void vRecycle(std::unique_ptr<SegmentJob> pJob);

private:
    void vWork();

    std::mutex m_tLock;
    std::condition_variable m_tWorkReady;                // a job waits to be encoded, or stop
    std::condition_variable m_tJobDone;                  // a job was encoded
    std::deque<std::unique_ptr<SegmentJob>> m_apQueued;  // submitted, in order (caller's)
    std::deque<SegmentJob*> m_apToEncode;                // not yet taken by a worker
    std::vector<std::unique_ptr<SegmentJob>> m_apSpare;  // taken and handed back
    size_t m_nMaxQueued;
    bool m_bStop = false;
    std::vector<std::thread> m_atWorkers;
};
