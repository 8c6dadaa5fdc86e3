// Random byte damage: seeded variants of the base recording with 1 to 16
// bytes changed. A third of the variants spread the damage over the whole
// file, a third over the headers (text head, fixed header, first record
// header), and a third over the bytes the converter reads there (the head's
// text, the data offset, station, channel list, first record time), where
// one byte changes the most. The seed is in every failure message, so a
// failing variant reproduces alone.
#include <gtest/gtest.h>

#include <random>

#include "BadInputCheck.h"

namespace {

constexpr int nVariantsPerBatch = 10;
constexpr size_t nHeadersEnd = nBaseDataOffset + 256;

// Byte offsets the flips of seed nSeed may hit.
std::vector<size_t> anTargets(uint32_t nSeed, size_t nFileSize) {
    const size_t nUpTo = nSeed % 3 == 0 ? nFileSize : nHeadersEnd;
    std::vector<size_t> an;
    if (nSeed % 3 != 2) {
        for (size_t n = 0; n < nUpTo; ++n) an.push_back(n);
        return an;
    }
    const size_t nHeadText = sHeadText(tBaseRecording()).size();
    const std::pair<size_t, size_t> aRanges[] = {{0, nHeadText},
                                                 {3072 + 4, 3072 + 6},      // data offset
                                                 {3072 + 70, 3072 + 78},    // station
                                                 {3072 + 110, 3072 + 127},  // count, list
                                                 {nBaseDataOffset + 8, nBaseDataOffset + 22}};
    for (const auto& [nFrom, nTo] : aRanges)
        for (size_t n = nFrom; n < nTo; ++n) an.push_back(n);
    return an;
}

// The base image with nSeed's damage: each changed byte is XORed with a
// value from 1 to 255, so it really changes (unless hit twice).
std::vector<uint8_t> anDamaged(uint32_t nSeed) {
    std::vector<uint8_t> an = anImage(tBaseRecording());
    const std::vector<size_t> anAt = anTargets(nSeed, an.size());
    std::mt19937 tRng(nSeed);
    const uint32_t nFlips = 1 + tRng() % 16;
    for (uint32_t i = 0; i < nFlips; ++i)
        an[anAt[tRng() % anAt.size()]] ^= static_cast<uint8_t>(1 + tRng() % 255);
    return an;
}

class BadInputFlips : public testing::TestWithParam<int> {};

TEST_P(BadInputFlips, SeededVariants) {
    for (int k = 0; k < nVariantsPerBatch; ++k) {
        const uint32_t nSeed = static_cast<uint32_t>(GetParam() * nVariantsPerBatch + k + 1);
        tRunDamaged(anDamaged(nSeed), "flip seed " + std::to_string(nSeed));
    }
}

INSTANTIATE_TEST_SUITE_P(Batches, BadInputFlips, testing::Range(0, 15));

}  // namespace
