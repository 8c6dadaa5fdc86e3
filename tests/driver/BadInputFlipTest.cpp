// Random byte damage: seeded variants of the base recording with 1 to 16
// bytes changed. Half of the variants spread the damage over the whole file;
// the other half keep it within the headers (text head, fixed header, first
// record header), where one byte changes the most. The seed is in every
// failure message, so a failing variant reproduces alone.
#include <gtest/gtest.h>

#include <random>

#include "BadInputCheck.h"

namespace {

constexpr int nVariantsPerBatch = 10;
constexpr size_t nHeadersEnd = nBaseDataOffset + 256;

// The base image with nSeed's damage: each changed byte is XORed with a
// value from 1 to 255, so it really changes (unless hit twice).
std::vector<uint8_t> anDamaged(uint32_t nSeed) {
    std::vector<uint8_t> an = anImage(tBaseRecording());
    std::mt19937 tRng(nSeed);
    const size_t nRange = nSeed % 2 ? an.size() : nHeadersEnd;
    const uint32_t nFlips = 1 + tRng() % 16;
    for (uint32_t i = 0; i < nFlips; ++i) {
        const size_t nAt = tRng() % nRange;
        an[nAt] ^= static_cast<uint8_t>(1 + tRng() % 255);
    }
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
