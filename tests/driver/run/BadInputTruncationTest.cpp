// Truncated recordings: the base recording cut at every structural boundary,
// inside each structure, and at a seeded spread of other lengths. A cut
// before the end of the first whole record is refused; any longer cut
// converts the whole records that remain and nothing else.
#include <gtest/gtest.h>

#include <random>

#include "BadInputCheck.h"

namespace {

constexpr size_t nFixedHeaderEnd = 3072 + 1025;
constexpr size_t nFirstRecordHeaderEnd = nBaseDataOffset + 256;

// Runs the base image cut to nSize bytes and checks what a cut must give.
void vCheckCut(size_t nSize, const std::string& sCase) {
    std::vector<uint8_t> an = anImage(tBaseRecording());
    ASSERT_EQ(an.size(), nBaseFileSize);
    an.resize(nSize);
    const BadInputRun t = tRunDamaged(an, sCase);
    SCOPED_TRACE(sCase);
    if (nSize < nFirstRecordHeaderEnd) {
        EXPECT_EQ(t.tProcess.nExitStatus, 1);
        const char* szWhy = nSize == 0                ? "not a VORN recording (it is empty)"
                            : nSize < nFixedHeaderEnd ? "fixed header"
                                                      : "first record header";
        EXPECT_NE(t.tProcess.sStderr.find(szWhy), std::string::npos) << t.tProcess.sStderr;
        return;
    }
    // Whole records only: every channel gets 100 samples from each.
    const size_t nWhole = (nSize - nBaseDataOffset) / nBaseRecordSize;
    if (nWhole == 0) {
        EXPECT_EQ(t.tProcess.nExitStatus, 1);
        EXPECT_NE(t.tProcess.sStderr.find("less than one record (856 bytes)"), std::string::npos)
            << t.tProcess.sStderr;
        return;
    }
    EXPECT_EQ(t.tProcess.nExitStatus, 0);
    const std::vector<ChannelSummary> at = atSummarise(t.sAppended);
    ASSERT_EQ(at.size(), 3u);
    for (const ChannelSummary& c : at) EXPECT_EQ(c.nSamples, nWhole * 100) << c.sChannel;
    const size_t nTrailing = (nSize - nBaseDataOffset) % nBaseRecordSize;
    if (nTrailing > 0) {
        EXPECT_TRUE(bAnyLineHas(t.asWarnings, "the recording ends inside record " +
                                                  std::to_string(nWhole + 1) + " (" +
                                                  std::to_string(nTrailing) + " of its"));
    }
}

struct Cut {
    const char* szName;
    size_t nSize;
};

// Keeps the test names CTest shows readable.
void PrintTo(const Cut& t, std::ostream* pOut) {
    *pOut << "cut to " << t.nSize << " bytes";
}

class BadInputTruncation : public testing::TestWithParam<Cut> {};

TEST_P(BadInputTruncation, CutRecording) {
    vCheckCut(GetParam().nSize, GetParam().szName);
}

constexpr size_t nData = nBaseDataOffset;
constexpr size_t nRec = nBaseRecordSize;

INSTANTIATE_TEST_SUITE_P(
    Boundaries, BadInputTruncation,
    testing::Values(
        Cut{"Empty", 0}, Cut{"OneByte", 1}, Cut{"InsideHead", 100}, Cut{"HeadMinusOne", 3071},
        Cut{"AtFixedHeader", 3072}, Cut{"FixedHeaderOneByte", 3073},
        Cut{"AtDataOffsetField", 3072 + 5}, Cut{"InsideStation", 3072 + 25},
        Cut{"FixedHeaderHalf", 3072 + 512}, Cut{"FixedHeaderMinusOne", 3072 + 1024},
        Cut{"AtFixedHeaderEnd", nFixedHeaderEnd}, Cut{"AtDataOffset", nData},
        Cut{"FirstRecordHeaderOneByte", nData + 1}, Cut{"InsideRecordTime", nData + 13},
        Cut{"FirstRecordHeaderHalf", nData + 128}, Cut{"FirstRecordHeaderMinusOne", nData + 255},
        Cut{"AtFirstBlock", nFirstRecordHeaderEnd},
        Cut{"MidFirstBlock", nFirstRecordHeaderEnd + 100},
        Cut{"MidSample", nFirstRecordHeaderEnd + 201}, Cut{"OneRecordMinusOne", nData + nRec - 1},
        Cut{"OneRecord", nData + nRec},
        Cut{"MidThirdBlockOfRecordSix", nData + 5 * nRec + 256 + 401},
        Cut{"InsideRecordHeaderTen", nData + 9 * nRec + 17}, Cut{"OneByteShort", nBaseFileSize - 1},
        Cut{"TwoBytesShort", nBaseFileSize - 2}, Cut{"Whole", nBaseFileSize}),
    [](const testing::TestParamInfo<Cut>& t) { return std::string(t.param.szName); });

// Ten seeded lengths per batch, four batches: the seed of each length is in
// its case name, so a failure reproduces.
class BadInputTruncationSpread : public testing::TestWithParam<int> {};

TEST_P(BadInputTruncationSpread, SeededLengths) {
    for (int k = 0; k < 10; ++k) {
        const unsigned nSeed = static_cast<unsigned>(GetParam() * 10 + k + 1);
        std::mt19937 tRng(nSeed);
        const size_t nSize = tRng() % nBaseFileSize;
        vCheckCut(nSize, "seed " + std::to_string(nSeed) + ", cut to " + std::to_string(nSize));
    }
}

INSTANTIATE_TEST_SUITE_P(Batches, BadInputTruncationSpread, testing::Range(0, 4));

}  // namespace
