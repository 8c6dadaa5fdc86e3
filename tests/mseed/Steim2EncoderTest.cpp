// Steim-2 encoder: the worked examples and the packing decisions that can go
// wrong (class boundaries, rejection, raising a word that goes out early,
// records filled exactly, the difference chain across records), checked byte
// for byte on the encoder's output.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "Steim2TestSupport.h"
#include "mseed/Steim2Encoder.h"

namespace {

using steim2test::Encoded;
using steim2test::tEncode;
using steim2test::tTemplate;

// Samples alternating +20000 / 0: every difference (the first against 0)
// is class 7, one sample per word.
std::vector<int32_t> anAllClass7(size_t n) {
    std::vector<int32_t> an(n);
    for (size_t i = 0; i < n; ++i) an[i] = (i % 2 == 0) ? 20000 : 0;
    return an;
}

TEST(Steim2Encoder, NoSamplesWritesNothingAndReturnsZero) {
    std::vector<uint32_t> an(256, 0xA5A5A5A5u);
    EXPECT_EQ(nCompressSteim2(nullptr, 0, tTemplate(), an.data()), 0);
    for (uint32_t n : an) ASSERT_EQ(n, 0xA5A5A5A5u);
}

TEST(Steim2Encoder, OneSampleGivesTheWholeFirstFrameByteForByte) {
    const Encoded e = tEncode({5});
    ASSERT_EQ(e.nRecords, 1);
    // Station ABC, channel BHZ, 100 sps, 2004 day 60 23:59:59.5000, 1 sample.
    const unsigned char acHead[64] = {
        0x30, 0x30, 0x30, 0x30, 0x30, 0x31, 0x44, 0x20, 0x41, 0x42, 0x43, 0x20, 0x20,
        0x20, 0x20, 0x42, 0x48, 0x5A, 0x20, 0x20, 0x07, 0xD4, 0x00, 0x3C, 0x17, 0x3B,
        0x3B, 0x00, 0x13, 0x88, 0x00, 0x01, 0x00, 0x64, 0x00, 0x01, 0x00, 0x00, 0x00,
        0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x40, 0x00, 0x30, 0x03, 0xE8, 0x00, 0x00,
        0x0B, 0x01, 0x09, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00};
    EXPECT_EQ(std::memcmp(e.pBytes(), acHead, 64), 0);
    const unsigned char acFrame[16] = {0x02, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x05,
                                       0x00, 0x00, 0x00, 0x05, 0x40, 0x00, 0x00, 0x05};
    EXPECT_EQ(std::memcmp(e.pBytes() + 64, acFrame, 16), 0);
    for (int i = 80; i < 512; ++i) ASSERT_EQ(e.nByteAt(0, i), 0) << "byte " << i;
}

TEST(Steim2Encoder, EightRisingSamplesFillAClass1WordAndLeaveOneOver) {
    const Encoded e = tEncode({0, 1, 2, 3, 4, 5, 6, 7});
    ASSERT_EQ(e.nRecords, 1);
    EXPECT_EQ(e.nSamples(0), 8);
    EXPECT_EQ(e.nFrameWord(0, 1, 0), 0x03800000u);
    EXPECT_EQ(e.nFrameWord(0, 1, 1), 0u);
    EXPECT_EQ(e.nFrameWord(0, 1, 2), 7u);
    EXPECT_EQ(e.nFrameWord(0, 1, 3), 0x80111111u);
    EXPECT_EQ(e.nFrameWord(0, 1, 4), 0x40000001u);
    EXPECT_EQ(e.nFrameWord(0, 1, 5), 0u);
}

TEST(Steim2Encoder, AllClass7Samples104GiveRecordsOf103And1ChainedAcrossTheBoundary) {
    const std::vector<int32_t> an = anAllClass7(104);
    const Encoded e = tEncode(an);
    ASSERT_EQ(e.nRecords, 2);
    EXPECT_EQ(e.nSamples(0), 103);
    EXPECT_EQ(e.nSamples(1), 1);
    EXPECT_EQ(e.nFrameWord(0, 1, 1), 20000u);                 // X0
    EXPECT_EQ(e.nFrameWord(0, 1, 2), 20000u);                 // Xn = x[102]
    EXPECT_EQ(e.nFrameWord(0, 1, 3), 0x40000000u | 20000u);   // first difference against 0
    EXPECT_EQ(e.nFrameWord(0, 7, 0), 0x2AAAAAAAu);            // full frame of class-7 words
    EXPECT_EQ(e.nFrameWord(0, 7, 15), 0x40000000u | 20000u);  // d[102] = 20000 - 0
    // Record 2 starts with x[103] = 0, its difference taken against x[102].
    EXPECT_EQ(e.nFrameWord(1, 1, 1), 0u);
    EXPECT_EQ(e.nFrameWord(1, 1, 2), 0u);
    EXPECT_EQ(e.nFrameWord(1, 1, 3), 0x40000000u | (static_cast<uint32_t>(-20000) & 0x3FFFFFFFu));
    EXPECT_EQ(e.nFrameWord(1, 1, 0), 0x02000000u);
}

TEST(Steim2Encoder, RecordFilledExactlyByTheLastWordAddsNoEmptyRecord) {
    const Encoded e7 = tEncode(anAllClass7(103));
    EXPECT_EQ(e7.nRecords, 1);
    EXPECT_EQ(e7.nSamples(0), 103);
    for (int i = 512; i < 1024; ++i) ASSERT_EQ(e7.nByteAt(1, i - 512), 0);

    const Encoded e1 = tEncode(std::vector<int32_t>(721, 0));
    EXPECT_EQ(e1.nRecords, 1);
    EXPECT_EQ(e1.nSamples(0), 721);
    EXPECT_EQ(e1.nFrameWord(0, 7, 0), 0x3FFFFFFFu);  // fifteen class-1 words

    const Encoded e2 = tEncode(std::vector<int32_t>(722, 0));
    ASSERT_EQ(e2.nRecords, 2);
    EXPECT_EQ(e2.nSamples(1), 1);
    EXPECT_EQ(e2.nFrameWord(1, 1, 3), 0x40000000u);
}

TEST(Steim2Encoder, Class5And6RangesAreSymmetric) {
    // -512 is class 6: (0, -512) as 2 x 15 bits, the last 0 alone as 1 x 30.
    const Encoded e6 = tEncode({0, -512, -512});
    EXPECT_EQ(e6.nFrameWord(0, 1, 3), 0x80007E00u);
    EXPECT_EQ(e6.nFrameWord(0, 1, 4), 0x40000000u);
    EXPECT_EQ(e6.nFrameWord(0, 1, 0), 0x02800000u);
    // -511 is class 5: all three as 3 x 10 bits.
    const Encoded e5 = tEncode({0, -511, -511});
    EXPECT_EQ(e5.nFrameWord(0, 1, 3), 0xC0080400u);
    EXPECT_EQ(e5.nFrameWord(0, 1, 4), 0u);
    EXPECT_EQ(e5.nFrameWord(0, 1, 0), 0x02000000u);
    // 511 and -16383/16383 stay in classes 5 and 6.
    EXPECT_EQ(tEncode({511, 511, 511}).nFrameWord(0, 1, 3), 0xC0000000u | (511u << 20));
    EXPECT_EQ(tEncode({-16383, 0}).nFrameWord(0, 1, 3), 0x80000000u | (0x4001u << 15) | 0x3FFFu);
    // -16384 and 16384 are class 7: each needs a word of its own.
    const Encoded e7 = tEncode({0, -16384, 0});
    EXPECT_EQ(e7.nFrameWord(0, 1, 3), 0x40000000u);
    EXPECT_EQ(e7.nFrameWord(0, 1, 4), 0x7FFFC000u);
    EXPECT_EQ(e7.nFrameWord(0, 1, 5), 0x40004000u);
    EXPECT_EQ(e7.nFrameWord(0, 1, 0), 0x02A00000u);
}

TEST(Steim2Encoder, Class2AfterSixClass1IsRejectedAndStartsTheNextWord) {
    const Encoded e = tEncode({1, 2, 3, 4, 5, 6, 21});
    EXPECT_EQ(e.nFrameWord(0, 1, 3), 0x42108421u);  // 6 x 5 bits of 1
    EXPECT_EQ(e.nFrameWord(0, 1, 4), 0x4000000Fu);  // 15 alone, raised to 30 bits
    EXPECT_EQ(e.nFrameWord(0, 1, 0), 0x03800000u);
    EXPECT_EQ(e.nSamples(0), 7);
    EXPECT_EQ(e.nFrameWord(0, 1, 2), 21u);
}

TEST(Steim2Encoder, Class4PairBeforeClass7GoesOutAsTwoBy15Bits) {
    const Encoded e = tEncode({100, 200, 20200});
    EXPECT_EQ(e.nFrameWord(0, 1, 3), 0x80320064u);
    EXPECT_EQ(e.nFrameWord(0, 1, 4), 0x40004E20u);
    EXPECT_EQ(e.nFrameWord(0, 1, 0), 0x02800000u);
}

TEST(Steim2Encoder, FifteenSamplesOf100) {
    const Encoded e = tEncode(std::vector<int32_t>(15, 100));
    EXPECT_EQ(e.nFrameWord(0, 1, 3), 0x64000000u);  // 100, 0, 0, 0 as 4 x 8 bits
    EXPECT_EQ(e.nFrameWord(0, 1, 4), 0x80000000u);  // 7 x 4 bits of 0
    EXPECT_EQ(e.nFrameWord(0, 1, 5), 0x00000000u);  // 4 zeros left: 4 x 8 bits, code 1
    EXPECT_EQ(e.nFrameWord(0, 1, 0), 0x01D00000u);
    EXPECT_EQ(e.nSamples(0), 15);
}

TEST(Steim2Encoder, PartlyFilledRecordLeavesUnreachedWordsAndFramesZero) {
    const Encoded e = tEncode(anAllClass7(20));  // 13 words in frame 1, 7 in frame 2
    ASSERT_EQ(e.nRecords, 1);
    EXPECT_EQ(e.nFrameWord(0, 1, 0), 0x02AAAAAAu);
    EXPECT_EQ(e.nFrameWord(0, 2, 0), 0x2AAA0000u);
    for (int j = 8; j < 16; ++j) EXPECT_EQ(e.nFrameWord(0, 2, j), 0u);
    for (int i = 192; i < 512; ++i) ASSERT_EQ(e.nByteAt(0, i), 0) << "byte " << i;
    for (int i = 56; i < 64; ++i) ASSERT_EQ(e.nByteAt(0, i), 0) << "byte " << i;
}

TEST(Steim2Encoder, SuccessiveRecordsAreNumberedAndTimedFromTheTemplate) {
    // 103 samples a record at 100 sps: each record starts 1.03 s after the last.
    const Encoded e = tEncode(anAllClass7(3 * 103), tTemplate("000041", 2004, 60, 23, 59, 59, 0));
    ASSERT_EQ(e.nRecords, 3);
    const char* aszSeq[3] = {"000041", "000042", "000043"};
    const uint16_t anFract[3] = {0, 300, 600};
    const uint8_t anSecond[3] = {59, 0, 1};
    for (int k = 0; k < 3; ++k) {
        EXPECT_EQ(std::memcmp(e.pBytes() + 512 * k, aszSeq[k], 6), 0) << k;
        EXPECT_EQ(e.nByteAt(k, 6), 'D');
        EXPECT_EQ(e.nByteAt(k, 26), anSecond[k]) << k;
        EXPECT_EQ(e.nHalfAt(k, 28), anFract[k]) << k;
        EXPECT_EQ(e.nHalfAt(k, 22), k == 0 ? 60 : 61) << k;
        EXPECT_EQ(e.nHalfAt(k, 44), 64);
        EXPECT_EQ(e.nHalfAt(k, 46), 48);
        EXPECT_EQ(e.nByteAt(k, 39), 1);
        EXPECT_EQ(e.nHalfAt(k, 48), 1000);
    }
}

#ifndef NDEBUG
TEST(Steim2EncoderDeathTest, DifferenceBeyond30BitsIsAnAssertedPrecondition) {
    EXPECT_DEATH(tEncode({1 << 29}), "30 bits");
}
#endif

}  // namespace
