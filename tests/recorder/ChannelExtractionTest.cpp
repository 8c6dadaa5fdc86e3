// Record geometry of the channel extraction: the stated double arithmetic,
// trailing bytes, and sizes that must give no records instead of overflowing.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "recorder/ChannelExtraction.h"

namespace {

TEST(RecordGeometry, TwoChannelsOfOneSecondAt100Sps) {
    // 256 header bytes, 100 samples at position 0, 100 at position 1.
    const RecordGeometry g = tRecordGeometry(2000, 100.0, 1, 1, 2);
    EXPECT_EQ(g.nRecordSize, 656);
    EXPECT_EQ(g.nRecordCount, 3);  // 1968 bytes
    EXPECT_EQ(g.nTrailingBytes, 32);
    EXPECT_EQ(g.dBlockSamples, 100.0);
    EXPECT_EQ(g.dBlockStart, 100.0);
}

TEST(RecordGeometry, UnsoundSizesGiveNoRecords) {
    // Zero or negative sizes, sizes beyond the data area, beyond any integer.
    EXPECT_EQ(tRecordGeometry(5000, 0.0, 0, 1, 2).nRecordSize, 256);
    EXPECT_EQ(tRecordGeometry(5000, 0.0, 0, 1, 2).dBlockSamples, 0.0);
    EXPECT_EQ(tRecordGeometry(5000, 100.0, 0, -10, 2).nRecordCount, 0);
    EXPECT_EQ(tRecordGeometry(5000, 100.0, 0, 1, 0).nRecordCount, 0);
    EXPECT_EQ(tRecordGeometry(5000, 100.0, 0, 100, 2).nRecordCount, 0);  // 40256 > 5000
    const double dHuge = std::numeric_limits<int32_t>::max();
    const RecordGeometry g = tRecordGeometry(5000, dHuge, 15, 127, 16);
    EXPECT_EQ(g.nRecordCount, 0);
    EXPECT_EQ(g.nTrailingBytes, 5000);
    EXPECT_EQ(tRecordGeometry(5000, std::nan(""), 0, 1, 1).nRecordCount, 0);
}

}  // namespace
