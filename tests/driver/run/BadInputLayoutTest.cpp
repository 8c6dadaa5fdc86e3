// Seeded random layouts: well-formed recordings whose header values are
// drawn at random (channel count, rates including 0, negative and huge ones,
// record length, data offset, channel list entries, trailing bytes, second
// word), so the record geometry meets combinations no single case names.
// The seed is in every failure message.
#include <gtest/gtest.h>

#include <random>

#include "BadInputCheck.h"

namespace {

constexpr int nLayoutsPerBatch = 10;

SyntheticRecording tRandomLayout(uint32_t nSeed) {
    std::mt19937 tRng(nSeed);
    StandardLayout tLayout;
    tLayout.asChannels.clear();
    const uint32_t nChannels = 1 + tRng() % 20;
    for (uint32_t c = 1; c <= nChannels; ++c)
        tLayout.asChannels.push_back(std::string("C").append(std::to_string(c)));
    tLayout.nRate = static_cast<int32_t>(1 + tRng() % 300);
    tLayout.nRecordSeconds = static_cast<int32_t>(1 + tRng() % 5);
    tLayout.nRecords = tRng() % 12;
    tLayout.nSeed = nSeed;
    SyntheticRecording tRec = tStandardRecording(tLayout);
    tRec.sLineEnd = std::string("\n");  // not from a literal: g++ 12 -O3 -Wrestrict false positive

    const char* const aszRates[] = {"0",    "1",  "3",          "7",           "100",   "250",
                                    "1000", "-1", "2147483647", "-2147483647", "33000", "65536"};
    for (uint32_t c = 1; c <= nChannels; ++c) {
        if (tRng() % 3 == 0)
            vSetKey(tRec, std::string("GROUP").append(std::to_string(c)), "FREQ",
                    aszRates[tRng() % std::size(aszRates)]);
    }
    if (tRng() % 3 == 0)
        vSetKey(tRec, "STREAM1", "REC_SIZE_SEC",
                std::to_string(static_cast<int>(tRng() % 600) - 300));
    if (tRng() % 4 == 0) tRec.tFixed.nDataOffset = static_cast<int16_t>(tRng() % 9000);
    if (tRng() % 4 == 0) tRec.tFixed.anChannelList[tRng() % 16] = static_cast<int8_t>(tRng());
    tRec.nTrailingBytes = tRng() % 3 ? 0 : tRng() % 2000;
    if (tRng() % 5 == 0) tRec.nSecondWord = static_cast<int16_t>(tRng());
    return tRec;
}

class BadInputLayouts : public testing::TestWithParam<int> {};

TEST_P(BadInputLayouts, SeededLayouts) {
    for (int k = 0; k < nLayoutsPerBatch; ++k) {
        const uint32_t nSeed = static_cast<uint32_t>(GetParam() * nLayoutsPerBatch + k + 1);
        const SyntheticRecording tRec = tRandomLayout(nSeed);
        ASSERT_LT(sHeadText(tRec).size(), 3072u) << "seed " << nSeed;
        tRunDamaged(anImage(tRec), "layout seed " + std::to_string(nSeed));
    }
}

INSTANTIATE_TEST_SUITE_P(Batches, BadInputLayouts, testing::Range(0, 3));

}  // namespace
