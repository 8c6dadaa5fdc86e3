// Segment encoding: the channel-name translation, and a segment's start in
// its record template and its console line.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

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

}  // namespace
