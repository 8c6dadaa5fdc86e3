// Test helper: what a segment writer needs outside itself, in memory: a
// record sink that keeps every record handed to it, and a segment queue on
// a pool of the given number of threads.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "base/WorkerPool.h"
#include "segments/RecordSink.h"
#include "segments/SegmentQueue.h"

// Keeps the records, in the order they arrive, and the day of each.
class CMemorySink : public CRecordSink {
public:
    void vPutRecords(const unsigned char* pRecords, size_t nRecords, int64_t nDay) override {
        sRecords.append(reinterpret_cast<const char*>(pRecords), 512 * nRecords);
        anDays.insert(anDays.end(), nRecords, nDay);
    }
    std::string sRecords;
    std::vector<int64_t> anDays;
};

struct WriterRig {
    explicit WriterRig(int nThreads = 1) : tPool(nThreads), tQueue(tPool) {}
    CWorkerPool tPool;
    CSegmentQueue tQueue;
    CMemorySink tSink;
};
