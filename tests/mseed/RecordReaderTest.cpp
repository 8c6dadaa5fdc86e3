// The general record reader on records made by hand: blockette chains in
// any order, with blockettes of other kinds, looping or leaving the record;
// records cut short, of unread encodings or with bad header values; Steim
// frames that end early or break their integration constants; a byte order
// that only the first blockette's offset decides. And the exact sample
// offsets of rates that a double does not hold. (Both byte orders, every
// encoding, time corrections and long records: RecordReader_xcheck.cpp.)
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "mseed/ByteOrder.h"
#include "mseed/RecordReader.h"
#include "mseed/SeedRecord.h"

namespace {

// A 512-byte record in the given byte order: sequence number 000123,
// codes STA/00/HHZ/XX, 2024-03-01 (day 61) 10:20:30.1234, 100 samples a
// second, blockette 1000 at byte 48 and three 32-bit samples from byte 64.
struct HandRecord {
    std::vector<unsigned char> ac = std::vector<unsigned char>(512, 0);
    bool bBig = true;

    void vPut16(size_t nAt, uint32_t n) {
        for (int k = 0; k < 2; ++k)
            ac[nAt + k] = static_cast<unsigned char>(n >> (bBig ? 8 - 8 * k : 8 * k));
    }
    void vPut32(size_t nAt, uint32_t n) {
        for (int k = 0; k < 4; ++k)
            ac[nAt + k] = static_cast<unsigned char>(n >> (bBig ? 24 - 8 * k : 8 * k));
    }
    void vBlockette(size_t nAt, uint16_t nType, uint16_t nNext) {
        vPut16(nAt, nType);
        vPut16(nAt + 2, nNext);
    }
    // Blockette 1000 at nAt: encoding, word order as the record's, 512 bytes.
    void vBlockette1000(size_t nAt, uint16_t nNext, uint8_t nEncoding = 3) {
        vBlockette(nAt, 1000, nNext);
        ac[nAt + 4] = nEncoding;
        ac[nAt + 5] = bBig ? 1 : 0;
        ac[nAt + 6] = 9;
    }
    void vBlockette1001(size_t nAt, uint16_t nNext, int8_t nMicros) {
        vBlockette(nAt, 1001, nNext);
        ac[nAt + 5] = static_cast<unsigned char>(nMicros);
    }
};

HandRecord tBase(bool bBig = true) {
    HandRecord t;
    t.bBig = bBig;
    std::memcpy(t.ac.data(), "000123D STA  00HHZXX", 20);
    t.vPut16(20, 2024);
    t.vPut16(22, 61);
    t.ac[24] = 10;
    t.ac[25] = 20;
    t.ac[26] = 30;
    t.vPut16(28, 1234);
    t.vPut16(30, 3);
    t.vPut16(32, 100);
    t.vPut16(34, 1);
    t.ac[39] = 1;
    t.vPut16(44, 64);
    t.vPut16(46, 48);
    t.vBlockette1000(48, 0);
    t.vPut32(64, 1);
    t.vPut32(68, static_cast<uint32_t>(-2));
    t.vPut32(72, 70000);
    return t;
}

constexpr int64_t nBaseStart = 1709288430123400;  // 2024-03-01 10:20:30.1234 UTC

// One Steim frame at byte 64 holding 10, 12, 9, 9 in a word of four 8-bit
// differences (the first against the sample before, here 0), X0 10, Xn 9.
void vSteimFrame(HandRecord& t, uint8_t nEncoding) {
    t.vBlockette1000(48, 0, nEncoding);
    t.vPut16(30, 4);
    t.vPut32(64, 0x01000000);  // word 3 holds 8-bit differences
    t.vPut32(68, 10);
    t.vPut32(72, 9);
    const unsigned char acDiffs[4] = {10, 2, 0xFD, 0};
    std::memcpy(t.ac.data() + 76, acDiffs, 4);
}

struct Sound {
    const char* szWhat;
    void (*fnMake)(HandRecord&);
    std::vector<int32_t> anSamples;
    int64_t nStartMicros;
    double dRate;
};

const Sound aSound[] = {
    {"the plain record", [](HandRecord&) {}, {1, -2, 70000}, nBaseStart, 100},
    {"1001 before 1000",
     [](HandRecord& t) {
         t.vBlockette1001(48, 56, -7);
         t.vBlockette1000(56, 0);
     },
     {1, -2, 70000},
     nBaseStart - 7,
     100},
    {"offsets running backwards, a blockette of another kind among them",
     [](HandRecord& t) {
         t.vPut16(46, 64);
         t.vBlockette(64, 395, 56);
         t.vBlockette1001(56, 48, 49);
         t.vBlockette1000(48, 0);
         t.vPut16(44, 128);
         t.vPut32(128, 7);
     },
     {7, 0, 0},
     nBaseStart + 49,
     100},
    {"blockette 100's rate in place of factor and multiplier",
     [](HandRecord& t) {
         t.vBlockette1000(48, 56);
         t.vBlockette(56, 100, 0);
         t.vPut32(60, 0x40200000);  // 2.5f
         t.vPut16(44, 68);
         t.vPut32(68, 5);
     },
     {5, 70000, 0},
     nBaseStart,
     2.5},
    {"no rate", [](HandRecord& t) { t.vPut16(32, 0); }, {1, -2, 70000}, nBaseStart, 0},
    {"16-bit samples, little-endian, of a date that reads in both orders",
     [](HandRecord& t) {
         t = tBase(false);
         t.vPut16(20, 2056);  // 08 08
         t.vPut16(22, 1);     // 256 big-endian
         t.vPut16(28, 0);
         t.ac[52] = 1;
         t.vPut32(64, 0x8000FFFF);
     },
     {-1, -32768, -2},
     2713947630000000,
     100},
    {"Steim-2 up to its sample count",
     [](HandRecord& t) {
         vSteimFrame(t, 11);
         t.vPut16(30, 3);
         t.ac[79] = 0xFF;  // a 4th difference past the count is not looked at
         t.vPut32(72, 9);
     },
     {10, 12, 9},
     nBaseStart,
     100},
};

TEST(RecordReader, ReadsHandMadeRecordsOfEveryLayout) {
    for (const Sound& row : aSound) {
        SCOPED_TRACE(row.szWhat);
        HandRecord t = tBase();
        row.fnMake(t);
        const ReadRecord r = tReadRecord(t.ac.data(), t.ac.size());
        EXPECT_EQ(r.sError, "");
        EXPECT_EQ(r.anSamples, row.anSamples);
        EXPECT_EQ(r.nStartMicros, row.nStartMicros);
        EXPECT_EQ(r.dRate, row.dRate);
        EXPECT_EQ(r.nLength, 512u);
        EXPECT_EQ(r.nSequenceNumber, 123);
        EXPECT_EQ(std::string(r.acCodes, 12), "STA  00HHZXX");
    }
}

struct Refused {
    const char* szWhat;
    void (*fnMake)(HandRecord&);
    const char* szError;  // a part of the error expected
};

const Refused aRefused[] = {
    {"Steim-2 with Xn wrong",
     [](HandRecord& t) {
         vSteimFrame(t, 11);
         t.vPut32(72, 8);
     },
     "differs from Xn 8"},
    {"Steim-2 ending before its count",
     [](HandRecord& t) {
         vSteimFrame(t, 11);
         t.vPut16(30, 5);
     },
     "frames hold 4 of the 5"},
    {"a chain looping on itself", [](HandRecord& t) { t.vBlockette1000(48, 48); }, "loops back"},
    {"a link past the end", [](HandRecord& t) { t.vBlockette1000(48, 600); },
     "blockette at byte 600 lies beyond the record"},
    {"a link into the fixed header", [](HandRecord& t) { t.vPut16(46, 40); }, "fixed header"},
    {"a blockette running into the data", [](HandRecord& t) { t.vPut16(44, 52); },
     "beginning of data 52"},
    {"two blockettes 1000",
     [](HandRecord& t) {
         t.vBlockette1000(48, 56);
         t.vBlockette1000(56, 0);
     },
     "second blockette 1000"},
    {"no blockette 1000", [](HandRecord& t) { t.vPut16(46, 0); }, "no blockette 1000"},
    {"cut short", [](HandRecord& t) { t.ac.resize(300); }, "record of 512 bytes cut short at 300"},
    {"float samples", [](HandRecord& t) { t.ac[52] = 4; }, "encoding 4"},
    {"a record length of 64", [](HandRecord& t) { t.ac[54] = 6; }, "exponent 6"},
    {"word order 2", [](HandRecord& t) { t.ac[53] = 2; }, "word order 2"},
    {"more samples than fit", [](HandRecord& t) { t.vPut16(30, 113); }, "113 samples of 4 bytes"},
    {"rate multiplier 0", [](HandRecord& t) { t.vPut16(34, 0); }, "multiplier 0"},
    {"hour 24", [](HandRecord& t) { t.ac[24] = 24; }, "invalid start time"},
    {"year 1899", [](HandRecord& t) { t.vPut16(20, 1899); }, "either byte order"},
    {"no quality code", [](HandRecord& t) { t.ac[6] = 'X'; }, "no data record header"},
};

TEST(RecordReader, RefusesEachHandMadeRecordWithItsReason) {
    const HandRecord tSound = tBase();
    // One record reused, as a survey reads: a refused record leaves none of
    // the samples of the one before.
    ReadRecord r;
    for (const Refused& row : aRefused) {
        HandRecord t = tBase();
        row.fnMake(t);
        vReadRecord(r, tSound.ac.data(), tSound.ac.size());
        ASSERT_EQ(r.sError, "");
        vReadRecord(r, t.ac.data(), t.ac.size());
        EXPECT_NE(r.sError.find(row.szError), std::string::npos) << row.szWhat << ": " << r.sError;
        EXPECT_TRUE(r.anSamples.empty()) << row.szWhat;
        EXPECT_EQ(tReadRecord(t.ac.data(), t.ac.size()).sError, r.sError) << row.szWhat;
    }
}

TEST(RecordReader, SampleOffsetsAreExactForEveryRateKind) {
    struct Case {
        int16_t nFactor, nMultiplier;
        float fBlockette100;  // 0: none
        int64_t i, nExpect;
    };
    const Case aCases[] = {
        {100, 1, 0, 3, 30000},
        {100, -3, 0, 2, 60000},  // 33.33 sps: 1e6 * 2 / 33.333... as a double is 59999.99
        {3, -7, 0, 1, 2333333},
        {-10, 1, 0, 7, 70000000},
        {-3, -7, 0, 1, 21000000},
        {25, 4, 0, 1, 10000},
        {-10, 1, 0.1f, 1, 9999999},           // the float 0.1 is a little more than 0.1
        {-10, 1, 0.1f, 31870, 318699995250},  // as a double, 1e6 * i / rate rounds up to ...251
        {1, 1, 8.0f, 3, 375000},
        {0, 0, 0, 5, 0},
    };
    for (const Case& c : aCases) {
        ReadRecord r;
        r.nRateFactor = c.nFactor;
        r.nRateMultiplier = c.nMultiplier;
        r.bBlockette100 = c.fBlockette100 != 0;
        r.dRate = r.bBlockette100  ? c.fBlockette100
                  : c.nFactor == 0 ? 0
                                   : dSeedSampleRate(c.nFactor, c.nMultiplier);
        EXPECT_EQ(nSampleOffsetMicros(r, c.i), c.nExpect)
            << c.nFactor << " " << c.nMultiplier << " " << c.fBlockette100 << " sample " << c.i;
    }
}

}  // namespace
