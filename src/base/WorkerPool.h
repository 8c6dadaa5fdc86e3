// The run's threads: a fixed set of workers that run jobs in the order they
// were submitted. The pool knows nothing of what a job does; a thread that
// waits for a job runs queued jobs itself meanwhile, so a pool of one thread
// starts no worker and every job runs in the caller.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

// A unit of work for the pool. The submitter owns it; the pool only runs it.
class CPoolJob {
public:
    virtual ~CPoolJob() = default;
    // The work; runs once per submission, on any thread.
    virtual void vRun() = 0;

private:
    friend class CWorkerPool;
    bool m_bDone = false;     // has run since its submission (guarded by the pool's lock)
    bool m_bAwaited = false;  // a thread waits for it (likewise)
};

class CWorkerPool {
public:
    // Runs jobs on nThreads threads: the waiting caller and nThreads - 1
    // workers started here (none when nThreads is 1 or less).
    explicit CWorkerPool(int nThreads);
    // Stops and joins the workers; jobs still queued are not run.
    ~CWorkerPool();
    CWorkerPool(const CWorkerPool&) = delete;
    CWorkerPool& operator=(const CWorkerPool&) = delete;

    // Threads that run jobs, the waiting caller included (at least 1).
    int nThreads() const { return static_cast<int>(m_atWorkers.size()) + 1; }

    // Queues t to run once. t must stay alive until vWait(t) has returned.
    void vSubmit(CPoolJob& t);
    // Returns once t has run, running queued jobs in the calling thread
    // while it waits.
    void vWait(CPoolJob& t);
    // True when t has run (vWait would not wait).
    bool bDone(const CPoolJob& t);

private:
    void vWork();
    // Runs the oldest queued job with the lock let go and marks it done;
    // the lock is held again on return.
    void vRunNext(std::unique_lock<std::mutex>& tGuard);

    std::mutex m_tLock;
    std::condition_variable m_tWorkReady;  // a job was queued, or stop
    std::condition_variable m_tJobDone;    // an awaited job has run
    std::deque<CPoolJob*> m_apQueued;      // submitted, not yet taken by a thread
    bool m_bStop = false;
    std::vector<std::thread> m_atWorkers;
};

// Items nFrom .. nTo - 1 of work split into parts.
struct PartRange {
    int64_t nFrom = 0;
    int64_t nTo = 0;
};

// nItems split into parts for tPool's threads to take side by side: one
// part per thread, or fewer so that each part holds at least nAtLeast items
// (one part when there are fewer), of near equal sizes, in order.
std::vector<PartRange> atPartsOf(int64_t nItems, int64_t nAtLeast, const CWorkerPool& tPool);
