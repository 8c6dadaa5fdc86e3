// Exact sample times: for every rate a record can carry, over indices from
// the first sample to runs far longer than any recording, the roundings to
// ticks, microseconds and milliseconds against the exact rational time
// worked out in 128-bit integers.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "timeconv/SampleTime.h"

namespace {

using Int128 = __int128;

// floor(a / b) for b > 0.
Int128 nFloorDiv(Int128 a, Int128 b) {
    return a / b - (a % b < 0 ? 1 : 0);
}

TEST(SampleTime, RoundingsAreExactAtEveryRateAndIndex) {
    // Starts in whole seconds (as recordings give them), with a fraction,
    // and before 1970.
    const int64_t anStarts[] = {int64_t{1102427130} * 1000000,
                                int64_t{1078099199} * 1000000 + 123456,
                                -int64_t{86400} * 1000000 - 1};
    std::mt19937_64 rng(8032026);
    for (int32_t nRate = 1; nRate <= 32767; ++nRate) {
        std::vector<int64_t> anIndices = {0, 1, nRate - 1, nRate, nRate + 1, 10000, 9990000};
        for (int k = 0; k < 6; ++k)
            anIndices.push_back(static_cast<int64_t>(rng() % 4000000000000));
        for (const int64_t nStart : anStarts) {
            for (const int64_t i : anIndices) {
                // The exact time, in units of 1/nRate microsecond.
                const Int128 nExact = Int128{nStart} * nRate + Int128{i} * 1000000;
                const SampleTime t = tSampleTime(nStart, i, nRate);
                ASSERT_EQ(Int128{t.nMicros} * nRate + t.nRest, nExact) << nRate << " " << i;
                ASSERT_EQ(nFloorTicks(t), nFloorDiv(nExact, Int128{100} * nRate))
                    << nRate << " " << i;
                ASSERT_EQ(nNearestMicros(t), nFloorDiv(2 * nExact + nRate, Int128{2} * nRate))
                    << nRate << " " << i;
                ASSERT_EQ(nNearestMillis(t),
                          nFloorDiv(2 * nExact + Int128{1000} * nRate, Int128{2000} * nRate))
                    << nRate << " " << i;
            }
        }
    }
}

TEST(SampleTime, TicksAreTheRecordingStartPlusTheSamplesSoFar) {
    // T0 + floor(i * 10000 / F) ticks, with T0 in whole seconds.
    const int64_t nT0 = 1102427130;
    EXPECT_EQ(nFloorTicks(tSampleTime(nT0 * 1000000, 10000, 3000)), nT0 * 10000 + 33333);
    EXPECT_EQ(nFloorTicks(tSampleTime(nT0 * 1000000, 3, 3)), nT0 * 10000 + 10000);
    EXPECT_EQ(nFloorTicks(tSampleTime(nT0 * 1000000, 1, 6250)), nT0 * 10000 + 1);  // 1.6 ticks
    EXPECT_EQ(nNearestMicros(tSampleTime(nT0 * 1000000, 1, 6250)), nT0 * 1000000 + 160);
    EXPECT_EQ(nNearestMicros(tSampleTime(nT0 * 1000000, 1, 2000000 / 3)), nT0 * 1000000 + 2);
    EXPECT_EQ(nMicrosOf(1078099199.5), int64_t{1078099199500000});
}

}  // namespace
