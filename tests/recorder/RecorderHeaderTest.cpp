// The fixed header and first record header reader: field positions and byte
// order against hand-placed bytes, the station name, the start time, and
// every file it refuses.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>

#include "RecordingReader.h"
#include "SyntheticRecording.h"
#include "recorder/RecorderHeader.h"

namespace {

constexpr size_t nFixed = 3072;

void vPut16(std::vector<uint8_t>& an, size_t n, uint16_t v) {
    an[n] = static_cast<uint8_t>(v);
    an[n + 1] = static_cast<uint8_t>(v >> 8);
}

void vPut32(std::vector<uint8_t>& an, size_t n, uint32_t v) {
    for (int i = 0; i < 4; ++i) an[n + i] = static_cast<uint8_t>(v >> (8 * i));
}

// A recording with the usual sections and one record, start time as given.
SyntheticRecording tOneRecord(int16_t nYear, int16_t nMonth, int16_t nDay, int16_t nHour,
                              int16_t nMinute, int16_t nSecond, int16_t nSecondWord) {
    StandardLayout l;
    l.nRecords = 1;
    SyntheticRecording tRec = tStandardRecording(l);
    tRec.nYear = nYear;
    tRec.nMonth = nMonth;
    tRec.nDay = nDay;
    tRec.nHour = nHour;
    tRec.nMinute = nMinute;
    tRec.nSecond = nSecond;
    tRec.nSecondWord = nSecondWord;
    return tRec;
}

EpochTime tStartOf(const SyntheticRecording& tRec, std::string& sError) {
    RecorderHeader tHeader{};
    const std::vector<uint8_t> an = tBuildRecording(tRec).anFile;
    return tReadRecorderHeader(an.data(), an.size(), tHeader, sError);
}

TEST(RecorderHeader, FieldsComeFromTheirOffsetsAsLittleEndian) {
    std::vector<uint8_t> an(nFixed + 1025 + 256, 0);
    vPut16(an, nFixed + 0, 0xBEEF);
    vPut16(an, nFixed + 2, 0x1234);
    vPut16(an, nFixed + 4, 4097);  // data offset: right after the fixed header
    an[nFixed + 6] = 0xA1;
    an[nFixed + 69] = 0xA2;
    std::memcpy(&an[nFixed + 70], "STAT1\0\0\0", 8);
    vPut32(an, nFixed + 78, 0x89ABCDEF);
    vPut32(an, nFixed + 86, 0x01020304);
    an[nFixed + 92] = 0x77;
    an[nFixed + 93] = 0xFE;  // stream count -2
    vPut16(an, nFixed + 108, 0xCAFE);
    an[nFixed + 110] = 0x83;  // channel count -125
    for (int i = 0; i < 16; ++i) an[nFixed + 111 + i] = static_cast<uint8_t>(15 - i);
    an[nFixed + 126] = 0xFF;  // list position 15: -1
    vPut16(an, nFixed + 127 + 40, 0x5566);
    an[nFixed + 127 + 5 * 60 + 59] = 0x99;
    // Stream entries at 487, 21 bytes each.
    an[nFixed + 487] = 'P';
    an[nFixed + 488] = 200;  // read as signed: -56
    vPut16(an, nFixed + 489, 0xFFFE);
    an[nFixed + 491] = 3;
    std::memcpy(&an[nFixed + 492], "1,2,3,4,5,6,7,89", 16);
    an[nFixed + 508] = 'T';
    an[nFixed + 509] = 60;
    // Ignored 56-byte entries at 529.
    vPut16(an, nFixed + 529 + 56, 0x7788);
    // Channel entries at 641, 24 bytes each.
    an[nFixed + 641] = 1;
    std::memcpy(&an[nFixed + 642], "ABCDEFGH", 8);
    vPut32(an, nFixed + 641 + 10, 0xDEADBEEF);
    an[nFixed + 641 + 15 * 24] = 1;
    std::memcpy(&an[nFixed + 641 + 15 * 24 + 1], "LAST", 4);
    vPut16(an, nFixed + 641 + 15 * 24 + 22, 0xF00D);
    // First record header at 4097: 2004-12-07 13:45:30.
    const size_t r = 4097;
    vPut16(an, r + 8, 7);
    vPut16(an, r + 10, 12);
    vPut16(an, r + 12, 2004);
    vPut16(an, r + 14, 13);
    vPut16(an, r + 16, 45);
    vPut16(an, r + 18, 30);

    RecorderHeader h{};
    std::string sError;
    EXPECT_EQ(tReadRecorderHeader(an.data(), an.size(), h, sError), 1102427130.0) << sError;
    EXPECT_EQ(h.nWord0, 0xBEEF);
    EXPECT_EQ(h.nWord2, 0x1234);
    EXPECT_EQ(h.nDataOffset, 4097);
    EXPECT_EQ(h.abReserved6[0], 0xA1);
    EXPECT_EQ(h.abReserved6[63], 0xA2);
    EXPECT_EQ(sStationName(h), "STAT1");
    EXPECT_EQ(h.nValue78, 0x89ABCDEFu);
    EXPECT_EQ(h.nValue86, 0x01020304u);
    EXPECT_EQ(h.nByte92, 0x77);
    EXPECT_EQ(h.nStreamCount, -2);
    EXPECT_EQ(h.anWords94[7], 0xCAFE);
    EXPECT_EQ(h.nChannelCount, -125);
    EXPECT_EQ(h.anChannelList[0], 15);
    EXPECT_EQ(h.anChannelList[14], 1);
    EXPECT_EQ(h.anChannelList[15], -1);
    EXPECT_EQ(h.aUnits[0].nWord, 0x5566);
    EXPECT_EQ(h.aUnits[5].abTail[15], 0x99);
    EXPECT_EQ(h.aStreams[0].cType, 'P');
    EXPECT_EQ(h.aStreams[0].nRecSizeSec, -56);
    EXPECT_EQ(h.aStreams[0].nFileSizeSec, 0xFFFE);
    EXPECT_EQ(h.aStreams[0].nStreamChannels, 3);
    EXPECT_STREQ(h.aStreams[0].sChannels, "1,2,3,4,5,6,7,89");
    EXPECT_EQ(h.aStreams[1].cType, 'T');
    EXPECT_EQ(h.aStreams[1].nRecSizeSec, 60);
    EXPECT_EQ(h.aExtras[1].nWord, 0x7788);
    EXPECT_EQ(h.aChannels[0].bOn, 1);
    EXPECT_STREQ(h.aChannels[0].sName, "ABCDEFGH");  // 8 name bytes, the rest of the field NUL
    EXPECT_EQ(h.aChannels[0].anValues[0], 0xDEADBEEFu);
    EXPECT_EQ(h.aChannels[15].bOn, 1);
    EXPECT_STREQ(h.aChannels[15].sName, "LAST");
    EXPECT_EQ(h.aChannels[15].nWord, 0xF00D);
    EXPECT_EQ(h.aChannels[16].bOn, 0);  // entries 17..32 are not in the file
}

TEST(RecorderHeader, EncoderAndDecoderAgreeOnEveryByte) {
    // Random bytes decoded and encoded again come back unchanged: every one
    // of the 1025 bytes belongs to exactly one field.
    std::mt19937 rng(4);
    for (int nRound = 0; nRound < 50; ++nRound) {
        std::vector<uint8_t> an(nFixed + 1025 + 256);
        for (uint8_t& b : an) b = static_cast<uint8_t>(rng());
        vPut16(an, nFixed + 4, 4097);
        std::fill(an.begin() + 4097 + 8, an.begin() + 4097 + 22, 0);
        vPut16(an, 4097 + 12, 2000);
        RecorderHeader h{};
        std::string sError;
        ASSERT_FALSE(std::isnan(tReadRecorderHeader(an.data(), an.size(), h, sError))) << sError;
        std::vector<uint8_t> anAgain(1025);
        vEncodeFixedHeader(h, anAgain.data());
        ASSERT_TRUE(std::equal(anAgain.begin(), anAgain.end(), an.begin() + nFixed));
    }
}

TEST(RecorderHeader, StationNameOfEightLettersHasNoTerminator) {
    auto sStationOf = [](std::string_view sStation) {
        SyntheticRecording tRec = tOneRecord(2004, 12, 7, 13, 45, 30, 0);
        vSetStation(tRec.tFixed, sStation);
        // The byte after the field is not NUL either.
        tRec.tFixed.nValue78 = 0x41414141;
        const RecordingRead r = tReadRecording(tRec);
        EXPECT_EQ(r.sError, "");
        return sStationName(r.tHeader);
    };
    EXPECT_EQ(sStationOf("ABCDEFGH"), "ABCDEFGH");
    EXPECT_EQ(sStationOf("XY"), "XY");
    EXPECT_EQ(sStationOf(std::string_view("A\0BCDEFG", 8)), "A");
    EXPECT_EQ(sStationOf(""), "");
}

TEST(RecorderHeader, StartTimeAddsTheWordAtTwentyAsWholeSeconds) {
    std::string sError;
    EXPECT_EQ(tStartOf(tOneRecord(2004, 12, 7, 13, 45, 30, 0), sError), 1102427130.0);
    EXPECT_EQ(tStartOf(tOneRecord(2004, 12, 7, 13, 45, 30, 2), sError), 1102427132.0);
    // The sum is formed before it becomes a float: 59 + 5 crosses the minute.
    EXPECT_EQ(tStartOf(tOneRecord(2004, 12, 7, 13, 45, 59, 5), sError), 1102427164.0);
    EXPECT_EQ(tStartOf(tOneRecord(2004, 12, 7, 13, 45, 30, -30), sError), 1102427100.0);
    // Month 0 counts as January; day 0 is the last day of the month before.
    EXPECT_EQ(tStartOf(tOneRecord(2004, 0, 1, 0, 0, 0, 0), sError), 1072915200.0);
    EXPECT_EQ(tStartOf(tOneRecord(2004, 1, 0, 0, 0, 0, 0), sError), 1072828800.0);
    EXPECT_EQ(tStartOf(tOneRecord(1970, 1, 1, 0, 0, 0, 0), sError), 0.0);
    EXPECT_EQ(sError, "");
}

TEST(RecorderHeader, LaterRecordTimesFollowTheRecordLengthAndTheInjectedJump) {
    StandardLayout l;
    l.nRecordSeconds = 10;
    l.nRecords = 400;  // crosses midnight and the year's end
    l.nRate = 1;
    SyntheticRecording tRec = tStandardRecording(l);
    tRec.nYear = 2003, tRec.nMonth = 12, tRec.nDay = 31, tRec.nHour = 23, tRec.nMinute = 59;
    tRec.nSecond = 0;
    tRec.nJumpRecord = 300;
    tRec.nJumpSeconds = 7;
    const SyntheticOutput tOut = tBuildRecording(tRec);
    const size_t nSize = nSynthRecordSize(tRec);
    const EpochTime t0 = 1072915140.0;  // 2003-12-31 23:59:00
    for (size_t r = 0; r < tRec.nRecords; ++r) {
        EpochTime t = -1;
        ASSERT_TRUE(bReadRecordTime(tOut.anFile.data() + nDefaultDataOffset + r * nSize, t));
        ASSERT_EQ(t, t0 + 10.0 * static_cast<double>(r) + (r >= 300 ? 7.0 : 0.0)) << r;
    }
}

TEST(RecorderHeader, RecordTimesOutsideTheDefinedCalendarAreNotRead) {
    auto bRead = [](int16_t nYear, int16_t nMonth, int16_t nHour) {
        uint8_t ac[256] = {};
        const int16_t an[] = {1, nMonth, nYear, nHour, 0, 0, 0};
        for (int i = 0; i < 7; ++i) {
            ac[8 + 2 * i] = static_cast<uint8_t>(an[i]);
            ac[9 + 2 * i] = static_cast<uint8_t>(static_cast<uint16_t>(an[i]) >> 8);
        }
        EpochTime t = 123.0;
        const bool b = bReadRecordTime(ac, t);
        if (!b) {
            EXPECT_EQ(t, 123.0);  // untouched on failure
        }
        return b;
    };
    EXPECT_TRUE(bRead(1970, 0, 0));
    EXPECT_TRUE(bRead(9999, 12, 0));
    EXPECT_FALSE(bRead(1969, 12, 0));
    EXPECT_FALSE(bRead(-2004, 1, 0));
    EXPECT_FALSE(bRead(10000, 1, 0));
    EXPECT_FALSE(bRead(2004, 13, 0));
    EXPECT_FALSE(bRead(2004, -1, 0));
    EXPECT_FALSE(bRead(1970, 1, -1));    // 1969-12-31 23:00
    EXPECT_TRUE(bRead(9999, 12, 743));   // 9999-12-31 23:00
    EXPECT_FALSE(bRead(9999, 12, 744));  // 10000-01-01 00:00
}

TEST(RecorderHeader, RefusesFilesItCannotRead) {
    struct Case {
        const char* szWhat;
        SyntheticRecording tRec;
        std::string sMessage;
    };
    std::vector<Case> aCases;
    auto tWith = [](auto fnChange) {
        SyntheticRecording tRec = tOneRecord(2004, 12, 7, 13, 45, 30, 0);
        fnChange(tRec);
        return tRec;
    };
    aCases.push_back({"no room for the fixed header",
                      tWith([](SyntheticRecording& t) { t.onFileSize = 4096; }),
                      "too short for a recording: 4096 bytes, the fixed header alone needs "
                      "4097"});
    aCases.push_back({"empty file", tWith([](SyntheticRecording& t) { t.onFileSize = 0; }),
                      "too short for a recording: 0 bytes, the fixed header alone needs "
                      "4097"});
    aCases.push_back({"record header cut short",
                      tWith([](SyntheticRecording& t) { t.onFileSize = 4352 + 255; }),
                      "too short for the first record header: 4607 bytes, the record at data "
                      "offset 4352 needs 4608"});
    aCases.push_back({"no record, data offset beyond the end", tWith([](SyntheticRecording& t) {
                          t.nRecords = 0;
                          t.tFixed.nDataOffset = 30000;
                          t.onFileSize = 5000;
                      }),
                      "too short for the first record header: 5000 bytes, the record at data "
                      "offset 30000 needs 30256"});
    aCases.push_back({"data offset 32768",
                      tWith([](SyntheticRecording& t) { t.tFixed.nDataOffset = -32768; }),
                      "data offset 32768 is 32768 or more (negative as a signed 16-bit value)"});
    aCases.push_back({"data offset 65535",
                      tWith([](SyntheticRecording& t) { t.tFixed.nDataOffset = -1; }),
                      "data offset 65535 is 32768 or more (negative as a signed 16-bit value)"});
    aCases.push_back({"year 1969", tOneRecord(1969, 12, 31, 23, 59, 59, 0),
                      "the first record's start time has the year 1969, outside 1970 to 9999"});
    aCases.push_back({"year 0", tOneRecord(0, 1, 1, 0, 0, 0, 0),
                      "the first record's start time has the year 0, outside 1970 to 9999"});
    aCases.push_back({"year 10000", tOneRecord(10000, 1, 1, 0, 0, 0, 0),
                      "the first record's start time has the year 10000, outside 1970 to 9999"});
    aCases.push_back({"month 13", tOneRecord(2004, 13, 1, 0, 0, 0, 0),
                      "the first record's start time has the month 13, outside 0 to 12"});
    aCases.push_back({"month -1", tOneRecord(2004, -1, 1, 0, 0, 0, 0),
                      "the first record's start time has the month -1, outside 0 to 12"});
    aCases.push_back({"before the epoch", tOneRecord(1970, 1, 1, 0, 0, 0, -1),
                      "the first record's start time lies before 1970-01-01"});
    for (const Case& c : aCases) {
        std::string sError;
        EXPECT_TRUE(std::isnan(tStartOf(c.tRec, sError))) << c.szWhat;
        EXPECT_EQ(sError, c.sMessage) << c.szWhat;
    }
}

TEST(RecorderHeader, DataOffsetInsideTheHeadersIsAccepted) {
    // A first record that shares the fixed header's last byte (offset 4096)
    // is read as it stands; so is one at the smallest offset that lets its
    // time words lie in the fixed header's ignored bytes.
    SyntheticRecording tRec = tOneRecord(2004, 12, 7, 13, 45, 30, 0);
    tRec.nRecords = 3;
    tRec.tFixed.nDataOffset = 4096;
    RecordingRead r = tReadRecording(tRec);
    EXPECT_EQ(r.sError, "");
    EXPECT_EQ(r.tStart, 1102427130.0);
    EXPECT_EQ(r.tHeader.nDataOffset, 4096);

    // Offset 3072: the record header is the fixed header itself; its time
    // words are the fixed header's bytes 8..21, here a valid date.
    tRec.tFixed.nDataOffset = 3072;
    tRec.nRecords = 0;
    const uint8_t acTime[] = {7, 0, 12, 0, 0xD4, 0x07, 13, 0, 45, 0, 30, 0, 0, 0};
    std::memcpy(tRec.tFixed.abReserved6 + 2, acTime, sizeof acTime);
    r = tReadRecording(tRec);
    EXPECT_EQ(r.sError, "");
    EXPECT_EQ(r.tStart, 1102427130.0);
}

}  // namespace
