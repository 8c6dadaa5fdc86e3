// Segment encoding: the channel-name translation, a segment's start in its
// record template and its console line, and the parts of a segment that
// its output does not hold encoded alone.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "segments/SegmentEncoding.h"

namespace {

TEST(SegmentEncoding, TranslatesOnlyTheThreeBroadbandNames) {
    const char* aszCases[][2] = {{"bhz", "BHZ"}, {"Bhn", "BHN"}, {"BHE", "BHE"},
                                 {"HHZ", "HHZ"}, {"hhz", "hhz"}, {"bhzz", "bhzz"}};
    for (const auto& c : aszCases) {
        char szOut[8] = "xxxxxxx";
        vTranslateChannel(c[0], szOut);
        EXPECT_STREQ(szOut, c[1]);
    }
}

TEST(SegmentEncoding, TheStartLineIsTheExactStartToTheNearestMillisecond) {
    // 2004, day 60, 23:59:59 and 2004-12-31 23:59:59 (a leap year's last day).
    const int64_t nDay60 = int64_t{1078099199} * 1000000;
    const int64_t nLastDay = int64_t{1104537599} * 1000000;
    const struct {
        int64_t nStretchStartMicros, nFirstSample;
        double dRate;
        const char* szLine;
    } aRows[] = {
        {nDay60 + 123700, 0, 100, "vSetHeaderTime 23:59:59-0124 060.2004\n"},
        {nDay60 + 500000, 30000, 100, "vSetHeaderTime 00:04:59-0500 061.2004\n"},
        {nDay60, 10000, 3000, "vSetHeaderTime 00:00:02-0333 061.2004\n"},  // 3.3333 s
        {nDay60, 2, 3, "vSetHeaderTime 23:59:59-0667 060.2004\n"},
        {nDay60, 1, 2000, "vSetHeaderTime 23:59:59-0001 060.2004\n"},  // 0.5 ms, halves up
        {nDay60 + 999500, 0, 100, "vSetHeaderTime 00:00:00-0000 061.2004\n"},
        {nLastDay, 100, 100, "vSetHeaderTime 00:00:00-0000 001.2005\n"},
    };
    for (const auto& r : aRows) {
        RecordTemplate t = tRecordTemplate("", "ABC", "BHZ", r.dRate);
        char acLine[64];
        vSetHeaderTime(&t, r.nStretchStartMicros, r.nFirstSample, acLine);
        EXPECT_STREQ(acLine, r.szLine) << r.nFirstSample << " at " << r.dRate;
        EXPECT_EQ(t.nStretchStartMicros, r.nStretchStartMicros);
        EXPECT_EQ(t.nFirstSample, r.nFirstSample);
    }
}

// Holds the samples of the segment in atHeld (counted from its first).
class CHeldRanges : public CHeldSamples {
public:
    explicit CHeldRanges(std::vector<SampleRange> atHeld) : m_atHeld(std::move(atHeld)) {}
    void vNotHeld(int64_t, int64_t, int64_t nCount,
                  std::vector<SampleRange>& atOut) const override {
        int64_t n = 0;
        for (const SampleRange& r : m_atHeld) {
            if (r.nFirst > n) atOut.push_back({n, r.nFirst - n});
            n = r.nFirst + r.nCount;
        }
        if (n < nCount) atOut.push_back({n, nCount - n});
    }

private:
    std::vector<SampleRange> m_atHeld;
};

// Record k of t's area without its sequence number.
std::string sRecord(const EncodedSegment& t, int k) {
    const char* p = reinterpret_cast<const char*>(t.anArea.data()) + k * 512;
    return std::string(p + 6, 506);
}

TEST(SegmentEncoding, ThePartsNotHeldAreEncodedAsTheWholeSegmentWouldBeFromThere) {
    std::vector<int32_t> an(2500);
    for (size_t i = 0; i < an.size(); ++i)
        an[i] = static_cast<int32_t>((i * i * 7919) % 60001) - 30000;
    RecordTemplate t = tRecordTemplate("XX", "ABC", "HHZ", 100);
    char acLine[64];
    vSetHeaderTime(&t, int64_t{1700000000} * 1000000, 20000, acLine);
    EncodedSegment tWhole;
    vEncodeSegment(t, an.data(), static_cast<int>(an.size()), tWhole);
    ASSERT_EQ(tWhole.atPieces.size(), 1u);
    EXPECT_STREQ(tWhole.atPieces[0].acTimeLine, acLine);
    // Where each record of the whole segment starts, counted in samples.
    std::vector<int64_t> anStart{0};
    for (int k = 0; k < tWhole.nRecords; ++k) {
        const auto* p = reinterpret_cast<const unsigned char*>(tWhole.anArea.data()) + k * 512;
        anStart.push_back(anStart.back() + ((p[30] << 8) | p[31]));
    }
    ASSERT_GT(tWhole.nRecords, 6);
    // Held: the first two records, and the samples of records 4 and 5.
    const CHeldRanges tHeld({{0, anStart[2]}, {anStart[4], anStart[6] - anStart[4]}});
    EncodedSegment tParts;
    vEncodeSegment(t, an.data(), static_cast<int>(an.size()), tParts, &tHeld);
    ASSERT_EQ(tParts.atPieces.size(), 2u);
    EXPECT_EQ(tParts.atPieces[0].nRecords, 2);
    EXPECT_EQ(tParts.nRecords, tWhole.nRecords - 4);
    for (int k = 0; k < 2; ++k) EXPECT_EQ(sRecord(tParts, k), sRecord(tWhole, 2 + k)) << k;
    for (int k = 2; k < tParts.nRecords; ++k) EXPECT_EQ(sRecord(tParts, k), sRecord(tWhole, 4 + k));
    RecordTemplate tAt = t;
    vSetHeaderTime(&tAt, t.nStretchStartMicros, 20000 + anStart[6], acLine);
    EXPECT_STREQ(tParts.atPieces[1].acTimeLine, acLine);
    // Everything held: nothing encoded.
    const CHeldRanges tAll({{0, static_cast<int64_t>(an.size())}});
    vEncodeSegment(t, an.data(), static_cast<int>(an.size()), tParts, &tAll);
    EXPECT_EQ(tParts.nRecords, 0);
    EXPECT_TRUE(tParts.atPieces.empty());
}

}  // namespace
