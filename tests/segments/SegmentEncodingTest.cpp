// Segment encoding: the channel-name translation, and the start time in the
// record template and its console line.
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

TEST(SegmentEncoding, StartTimeIsRoundedToTheMillisecond) {
    SeedFixedHeader h;
    std::memset(&h, 0, sizeof h);
    h.Record_start_time.unused = 0x5A;  // not the start time's to touch
    char acLine[64];
    vSetHeaderTime(&h, 1078099199.1237, acLine);
    EXPECT_STREQ(acLine, "vSetHeaderTime 23:59:59-0124 060.2004\n");
    EXPECT_EQ(h.Record_start_time.year, 2004);
    EXPECT_EQ(h.Record_start_time.day, 60);
    EXPECT_EQ(h.Record_start_time.hours, 23);
    EXPECT_EQ(h.Record_start_time.minutes, 59);
    EXPECT_EQ(h.Record_start_time.seconds, 59);
    EXPECT_EQ(h.Record_start_time.unused, 0x5A);
    EXPECT_EQ(h.Record_start_time.fract, 1240);
}

}  // namespace
