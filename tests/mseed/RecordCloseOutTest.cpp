// Record close-out: record start times from the exact time of their first
// sample with calendar roll-over, sequence numbers, and the byte-order pass.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "Steim2TestSupport.h"
#include "mseed/ByteOrder.h"
#include "mseed/RecordCloseOut.h"

namespace {

struct Advance {
    RecordTemplate tTemplate;
    SeedFixedHeader h;
    Steim2State s;
    Advance(uint16_t nYear, uint16_t nDay, uint8_t nHour, uint8_t nMinute, uint8_t nSecond,
            uint16_t nFract, int16_t nRate)
        : tTemplate(steim2test::tTemplate("000001", nYear, nDay, nHour, nMinute, nSecond, nFract,
                                          nRate)) {
        h = tTemplate.tHeader;
        h.Data_header_indicator = 'D';
        s = Steim2State{};
        s.pTemplate = &tTemplate;
        vTimeFirstRecord(&h, &s);
    }
    Advance& by(uint16_t nSamples) {
        h.Number_of_samples = nSamples;
        vAdvanceHeader(&h, &s);
        return *this;
    }
    SeedTime t() const { return h.Record_start_time; }
};

void vExpectTime(const SeedTime& t, uint16_t nYear, uint16_t nDay, uint8_t nHour, uint8_t nMinute,
                 uint8_t nSecond, uint16_t nFract) {
    EXPECT_EQ(t.year, nYear);
    EXPECT_EQ(t.day, nDay);
    EXPECT_EQ(t.hours, nHour);
    EXPECT_EQ(t.minutes, nMinute);
    EXPECT_EQ(t.seconds, nSecond);
    EXPECT_EQ(t.fract, nFract);
}

TEST(AdvanceHeader, StartTimeMovesByTheRecordsDuration) {
    Advance a(2004, 100, 12, 0, 0, 0, 100.0);
    vExpectTime(a.by(100).t(), 2004, 100, 12, 0, 1, 0);
    vExpectTime(a.by(721).t(), 2004, 100, 12, 0, 8, 2100);
    Advance b(2004, 100, 12, 59, 59, 9999, 1);
    vExpectTime(b.by(1).t(), 2004, 100, 13, 0, 0, 9999);
    Advance c(2004, 100, 12, 59, 59, 9999, 10000);  // one tick carries through every field
    vExpectTime(c.by(1).t(), 2004, 100, 13, 0, 0, 0);
}

TEST(AdvanceHeader, ThirdsOfATickAreRoundedDownFromTheExactTime) {
    Advance a(2004, 100, 0, 0, 0, 0, 3);
    const uint32_t anTotal[6] = {33333, 66666, 100000, 133333, 166666, 200000};
    for (uint32_t nTotal : anTotal) {
        const SeedTime t = a.by(10).t();
        EXPECT_EQ(t.seconds * 10000u + t.fract, nTotal);
    }
}

TEST(AdvanceHeader, MidnightLeapDayAndNewYearRollOver) {
    vExpectTime(Advance(2004, 59, 23, 59, 59, 5000, 100).by(100).t(), 2004, 60, 0, 0, 0, 5000);
    vExpectTime(Advance(2004, 365, 23, 59, 59, 0, 100).by(200).t(), 2004, 366, 0, 0, 1, 0);
    vExpectTime(Advance(2003, 365, 23, 59, 59, 0, 100).by(200).t(), 2004, 1, 0, 0, 1, 0);
    vExpectTime(Advance(2004, 366, 23, 59, 59, 0, 100).by(200).t(), 2005, 1, 0, 0, 1, 0);
    vExpectTime(Advance(2100, 365, 23, 59, 59, 0, 100).by(200).t(), 2101, 1, 0, 0, 1, 0);
    vExpectTime(Advance(2000, 365, 23, 59, 59, 0, 100).by(200).t(), 2000, 366, 0, 0, 1, 0);
}

TEST(AdvanceHeader, SequenceNumberCountsUpAndWrapsAfter999999) {
    Advance a(2004, 1, 0, 0, 0, 0, 100);
    std::memcpy(a.h.SequenceNumber, "000041", 6);
    a.by(1);
    EXPECT_EQ(std::string(a.h.SequenceNumber, 6), "000042");
    EXPECT_EQ(a.h.Data_header_indicator, 'D');
    std::memcpy(a.h.SequenceNumber, "000999", 6);
    EXPECT_EQ(std::string(a.by(1).h.SequenceNumber, 6), "001000");
    std::memcpy(a.h.SequenceNumber, "999999", 6);
    EXPECT_EQ(std::string(a.by(1).h.SequenceNumber, 6), "000001");
    EXPECT_EQ(a.h.Data_header_indicator, 'D');
    std::memcpy(a.h.SequenceNumber, "  41xy", 6);
    EXPECT_EQ(std::string(a.by(1).h.SequenceNumber, 6), "000042");
}

TEST(SwapRecords, TurnsEveryNumericHeaderAndBlocketteFieldBigEndian) {
    std::vector<uint32_t> an(256, 0);
    for (int k = 0; k < 2; ++k) {
        SeedFixedHeader h;
        std::memset(&h, 0, sizeof h);
        std::memcpy(h.SequenceNumber, "000007", 6);
        h.Record_start_time = SeedTime{2004, 60, 23, 59, 58, 0, 1234};
        h.Number_of_samples = 721;
        h.Sample_rate_factor = -10;
        h.Sample_rate_multiplier = 3;
        h.Time_correction = 0x01020304;
        h.Beginning_of_data = 64;
        h.First_blockette = 48;
        h.Number_of_blockettes_follow = 1;
        unsigned char* p = reinterpret_cast<unsigned char*>(an.data()) + 512 * k;
        std::memcpy(p, &h, sizeof h);
        const uint16_t anBlockettes[] = {1000, 56, 0, 0, 1001, 0};  // types and links
        std::memcpy(p + 48, anBlockettes, sizeof anBlockettes);
        p[100] = 0xAB;  // a data byte, left alone
    }
    vSwapRecords(an.data(), 2);
    const unsigned char acExpected[60] = {
        '0',  '0',  '0',  '0',  '0',  '7',  0,    0,    0,    0,  0,    0,    0,    0,    0,
        0,    0,    0,    0,    0,    0x07, 0xD4, 0x00, 0x3C, 23, 59,   58,   0,    0x04, 0xD2,
        0x02, 0xD1, 0xFF, 0xF6, 0x00, 0x03, 0,    0,    0,    1,  0x01, 0x02, 0x03, 0x04, 0x00,
        0x40, 0x00, 0x30, 0x03, 0xE8, 0x00, 0x38, 0,    0,    0,  0,    0x03, 0xE9, 0x00, 0x00};
    for (int k = 0; k < 2; ++k) {
        const unsigned char* p = reinterpret_cast<const unsigned char*>(an.data()) + 512 * k;
        EXPECT_EQ(std::memcmp(p, acExpected, sizeof acExpected), 0) << "record " << k;
        EXPECT_EQ(p[100], 0xAB);
    }
}

}  // namespace
