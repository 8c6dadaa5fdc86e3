// The segment queue hands jobs back in the order they were queued, encoded,
// whatever order the workers finish them in.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>
#include <vector>

#include "segments/SegmentQueue.h"

namespace {

// X0 of the first record of an encoded segment: its first sample.
int32_t nFirstSample(const EncodedSegment& t) {
    const unsigned char* p = reinterpret_cast<const unsigned char*>(t.anArea.data()) + 68;
    return static_cast<int32_t>(p[0] << 24 | p[1] << 16 | p[2] << 8 | p[3]);
}

TEST(SegmentQueue, HandsJobsBackInQueueOrderWhenTheirEncodingTimesVary) {
    CWorkerPool tPool(4);
    CSegmentQueue tQueue(tPool);
    constexpr int nJobs = 40;
    std::vector<int> anTaken;
    const auto vTakeOldest = [&] {
        std::unique_ptr<CSegmentJob> pJob = tQueue.pTakeOldest();
        EXPECT_GT(pJob->tEncoded.nRecords, 0);
        anTaken.push_back(nFirstSample(pJob->tEncoded));
        tQueue.vRecycle(std::move(pJob));
    };
    for (int i = 0; i < nJobs; ++i) {
        std::unique_ptr<CSegmentJob> pJob = tQueue.pNewJob();
        pJob->tTemplate = tRecordTemplate("", "ABC", "BHZ", 100.0);
        // Older jobs take longer, so later ones finish first.
        pJob->fnFill = [i](int64_t, int nCount, int32_t* pnOut) {
            std::this_thread::sleep_for(std::chrono::milliseconds((nJobs - i) % 7));
            for (int k = 0; k < nCount; ++k) pnOut[k] = i * 1000 + k;
        };
        pJob->nCount = 500 + 37 * i;
        tQueue.vSubmit(std::move(pJob));
        while (tQueue.bOverFull()) vTakeOldest();
    }
    while (!tQueue.bEmpty()) vTakeOldest();

    ASSERT_EQ(anTaken.size(), static_cast<size_t>(nJobs));
    for (int i = 0; i < nJobs; ++i) EXPECT_EQ(anTaken[i], i * 1000) << "job " << i;
}

}  // namespace
