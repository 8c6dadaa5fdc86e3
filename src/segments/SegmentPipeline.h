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

// Bytes a writer gathers in the pipeline's write batch before it writes them.
constexpr size_t nSegmentWriteBatch = size_t{1} << 18;

// Made once for a run and lent to its writers one after the other, so that
// threads, job buffers and the write batch are set up once. The calling
// thread encodes too while it waits for the oldest job, so a run of n
// threads starts n - 1 workers.
class CSegmentPipeline {
public:
    // Sets up encoding on nThreads (>= 2) threads: the caller's and
    // nThreads - 1 workers.
    explicit CSegmentPipeline(int nThreads);
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
    // Takes the oldest queued job out of the queue once it is encoded,
    // encoding jobs no worker has taken meanwhile; the caller hands it back
    // with vRecycle when done with it.
    std::unique_ptr<SegmentJob> pTakeOldest();
    // True when the oldest queued job is encoded (taking it will not wait).
    bool bOldestDone();
    void vRecycle(std::unique_ptr<SegmentJob> pJob);
    // Records the writer has numbered but not yet written.
    std::vector<unsigned char>& acWriteBatch() { return m_acWriteBatch; }

private:
    void vWork();
    // Takes the next job no thread has taken, encodes it with the lock let
    // go and marks it done; the lock is held again on return.
    SegmentJob& tEncodeNext(std::unique_lock<std::mutex>& tGuard);
    // Fetches the samples of t if needed and encodes them.
    static void vEncode(SegmentJob& t);

    std::mutex m_tLock;
    std::condition_variable m_tWorkReady;                // a job waits to be encoded, or stop
    std::condition_variable m_tJobDone;                  // the oldest job was encoded
    std::deque<std::unique_ptr<SegmentJob>> m_apQueued;  // submitted, in order (caller's)
    std::deque<SegmentJob*> m_apToEncode;                // not yet taken by a worker
    std::vector<std::unique_ptr<SegmentJob>> m_apSpare;  // taken and handed back
    size_t m_nMaxQueued;
    bool m_bStop = false;
    std::vector<unsigned char> m_acWriteBatch;
    std::vector<std::thread> m_atWorkers;
};
