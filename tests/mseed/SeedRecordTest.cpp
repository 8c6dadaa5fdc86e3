// Record layout: rate rule, sequence numbers and byte-order helpers. Field offsets and sizes
// are fixed by static_asserts in the header itself.
#include <gtest/gtest.h>

#include <cstring>

#include "mseed/ByteOrder.h"
#include "mseed/SeedRecord.h"

namespace {

TEST(SeedSampleRate, AllSignCombinations) {
    EXPECT_DOUBLE_EQ(dSeedSampleRate(100, 1), 100.0);
    EXPECT_DOUBLE_EQ(dSeedSampleRate(10, 2), 20.0);
    EXPECT_DOUBLE_EQ(dSeedSampleRate(10, -2), 5.0);
    EXPECT_DOUBLE_EQ(dSeedSampleRate(-10, 2), 0.2);
    EXPECT_DOUBLE_EQ(dSeedSampleRate(-10, -2), 0.05);
    EXPECT_DOUBLE_EQ(dSeedSampleRate(0, 5), 1.0);
    EXPECT_DOUBLE_EQ(dSeedSampleRate(7, 0), 1.0);
}

TEST(SeedSequenceNumber, WrapsAfter999999AndIsWrittenAsSixDigits) {
    EXPECT_EQ(nSequenceNumber(1), 1);
    EXPECT_EQ(nSequenceNumber(999999), 999999);
    EXPECT_EQ(nSequenceNumber(1000000), 1);
    EXPECT_EQ(nSequenceNumber(1000001), 2);
    EXPECT_EQ(nSequenceNumber(1999999), 1);
    char ac[7] = "xxxxxx";
    vPutSequenceNumber(ac, 42);
    EXPECT_STREQ(ac, "000042");
    vPutSequenceNumber(ac, 999999);
    EXPECT_STREQ(ac, "999999");
}

TEST(ByteOrder, SwapsAndBigEndianStores) {
    EXPECT_EQ(nSwap16(0x1234), 0x3412);
    EXPECT_EQ(nSwap32(0x12345678u), 0x78563412u);
    EXPECT_EQ(nSwap32(nSwap32(0xDEADBEEFu)), 0xDEADBEEFu);

    const uint32_t nWord = nToBig32(0x0A0B0C0Du);
    unsigned char ac[4];
    std::memcpy(ac, &nWord, 4);
    EXPECT_EQ(ac[0], 0x0A);
    EXPECT_EQ(ac[3], 0x0D);
    const uint16_t nHalf = nToBig16(0x03E8);
    std::memcpy(ac, &nHalf, 2);
    EXPECT_EQ(ac[0], 0x03);
    EXPECT_EQ(ac[1], 0xE8);
    EXPECT_EQ(nFromBig32(nWord), 0x0A0B0C0Du);
}

TEST(SeedRecordLayout, StartTimeSubfieldsSitAtTheirRecordOffsets) {
    SeedFixedHeader h;
    std::memset(&h, 0, sizeof h);
    h.Record_start_time.year = 0x0102;
    h.Record_start_time.hours = 23;
    h.Record_start_time.minutes = 59;
    h.Record_start_time.seconds = 58;
    h.Record_start_time.fract = 0x0304;
    unsigned char ac[48];
    std::memcpy(ac, &h, 48);
    EXPECT_EQ(ac[24], 23);
    EXPECT_EQ(ac[25], 59);
    EXPECT_EQ(ac[26], 58);
    uint16_t nYear, nFract;
    std::memcpy(&nYear, ac + 20, 2);
    std::memcpy(&nFract, ac + 28, 2);
    EXPECT_EQ(nYear, 0x0102);
    EXPECT_EQ(nFract, 0x0304);
}

}  // namespace
