// The CH, GROUP and STREAM sections read from synthetic recordings, laid
// over the fixed header.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "RecordingReader.h"
#include "SyntheticRecording.h"

namespace {

// A recording with one record and the given sections only; the fixed
// header's own tables say something else throughout, so that every value
// the sections must replace is seen to be replaced.
SyntheticRecording tWithSections(std::vector<SynthSection> aSections) {
    StandardLayout l;
    l.nRecords = 1;
    SyntheticRecording tRec = tStandardRecording(l);
    tRec.aSections = std::move(aSections);
    tRec.tFixed.nChannelCount = 9;
    tRec.tFixed.nStreamCount = 2;
    for (int i = 0; i < nRecorderFileChannels; ++i) {
        tRec.tFixed.aChannels[i].bOn = 1;
        std::memcpy(tRec.tFixed.aChannels[i].sName, "FIXEDHDR", 8);
    }
    tRec.tFixed.aStreams[1].cType = 'X';
    tRec.tFixed.aStreams[1].nRecSizeSec = 99;
    return tRec;
}

TEST(RecorderSections, StatMustBeExactlyOnAndOffChannelsAreCalledEee) {
    const RecordingRead r = tReadRecording(tWithSections({
        tChannelSection(1, "ON", "BHZ"),
        tChannelSection(2, "on", "BHN"),
        tChannelSection(3, "On", "BHE"),
        tChannelSection(4, "ON ", "X1"),  // trailing blank trimmed: on
        tChannelSection(5, "ONE", "X2"),
        tChannelSection(6, "ON", std::nullopt),
        tChannelSection(32, "ON", "LAST"),
    }));
    EXPECT_EQ(r.tHeader.nChannelCount, 4);
    const struct {
        int k;
        int bOn;
        const char* szName;
    } aExpected[] = {{1, 1, "BHZ"},  {2, 0, "EEE"},  {3, 0, "EEE"},  {4, 1, "X1"},
                     {5, 0, "EEE"},  {6, 1, "NULL"}, {7, 0, "EEE"},  {16, 0, "EEE"},
                     {17, 0, "EEE"}, {31, 0, "EEE"}, {32, 1, "LAST"}};
    for (const auto& e : aExpected) {
        EXPECT_EQ(r.tHeader.aChannels[e.k - 1].bOn, e.bOn) << "CH" << e.k;
        EXPECT_STREQ(r.tHeader.aChannels[e.k - 1].sName, e.szName) << "CH" << e.k;
    }
}

TEST(RecorderSections, NoChannelSectionsMeansNoChannelAndNoGroupRead) {
    const RecordingRead r = tReadRecording(tWithSections({tGroupSection(1, 1, 100)}));
    EXPECT_EQ(r.tHeader.nChannelCount, 0);
    for (int c = 0; c < nRecorderChannelSlots; ++c) {
        EXPECT_EQ(r.tHeader.aChannels[c].bOn, 0);
        EXPECT_EQ(r.aGroups[c].nFreq, 0);
        EXPECT_EQ(r.aGroups[c].nChannelNo, 0);
    }
}

TEST(RecorderSections, GroupsArePlacedByTheirChannelNumber) {
    // CH1 and CH3 on: GROUP1 and GROUP2 are read, GROUP2 fills CH3's entry;
    // GROUP3 lies beyond the number of channels on and is not read.
    const RecordingRead r = tReadRecording(tWithSections({
        tChannelSection(1, "ON", "BHZ"),
        tChannelSection(3, "ON", "BHE"),
        tGroupSection(1, 1, 100, 4, "SEISMIC", 2),
        tGroupSection(2, 3, 50, 8, "ACCEL", 2),
        tGroupSection(3, 2, 20, 16),
    }));
    EXPECT_EQ(r.tHeader.nChannelCount, 2);
    EXPECT_EQ(r.aGroups[0].nChannelNo, 1);
    EXPECT_EQ(r.aGroups[0].nFreq, 100);
    EXPECT_EQ(r.aGroups[0].nGain, 4);
    EXPECT_EQ(r.aGroups[0].nGroupChannels, 2);
    EXPECT_STREQ(r.aGroups[0].sType, "SEISMIC");
    EXPECT_EQ(r.aGroups[2].nChannelNo, 3);
    EXPECT_EQ(r.aGroups[2].nFreq, 50);
    EXPECT_EQ(r.aGroups[2].nGain, 8);
    EXPECT_STREQ(r.aGroups[2].sType, "ACCEL");
    EXPECT_EQ(r.aGroups[1].nChannelNo, 0);
    EXPECT_EQ(r.aGroups[1].nFreq, 0);
}

TEST(RecorderSections, MissingFreqGivesRateZeroAndStrayChannelNumbersAreIgnored) {
    SynthSection tNoNumber{"GROUP3", {}};
    tNoNumber.tKey("FREQ", "200");
    const RecordingRead r = tReadRecording(tWithSections({
        tChannelSection(1, "ON", "A"),
        tChannelSection(2, "ON", "B"),
        tChannelSection(3, "ON", "C"),
        tChannelSection(4, "ON", "D"),
        tGroupSection(1, 1, std::nullopt),
        tGroupSection(2, 33, 100),
        tNoNumber,
        tGroupSection(4, -1, 100),
    }));
    EXPECT_EQ(r.tHeader.nChannelCount, 4);
    EXPECT_EQ(r.aGroups[0].nChannelNo, 1);
    EXPECT_EQ(r.aGroups[0].nFreq, 0);
    EXPECT_EQ(r.aGroups[0].nGain, 1);
    for (int c = 1; c < nRecorderChannelSlots; ++c) {
        EXPECT_EQ(r.aGroups[c].nChannelNo, 0) << c;
        EXPECT_EQ(r.aGroups[c].nFreq, 0) << c;
    }
}

TEST(RecorderSections, AGroupTableInUseIsClearedFirst) {
    SyntheticRecording tRec = tWithSections({tChannelSection(1, "ON", "A")});
    const std::vector<uint8_t> an = tBuildRecording(tRec).anFile;
    RecorderHeader h{};
    RecorderGroup aGroups[nRecorderChannelSlots];
    std::memset(aGroups, 0x5A, sizeof aGroups);
    vReadRecorderSections(an.data(), an.size(), h, aGroups);
    for (int c = 0; c < nRecorderChannelSlots; ++c) EXPECT_EQ(aGroups[c].nFreq, 0);
}

TEST(RecorderSections, StreamsRunUntilTheFirstMissingTypeAndTheLastGivesTheRecordLength) {
    const RecordingRead r = tReadRecording(tWithSections({
        tStreamSection(1, "PERMANENT", 1, 3600, 3, "1,2,3"),
        tStreamSection(2, "permanent", 300, 70000, 258, "4,5"),
        tStreamSection(3, "EVENT", 10, 65535, 255, std::string(40, '9')),
        tStreamSection(5, "PERMANENT", 60),  // after the gap: never read
    }));
    EXPECT_EQ(r.tHeader.nStreamCount, 3);
    const RecorderStream* s = r.tHeader.aStreams;
    EXPECT_EQ(s[0].cType, 'P');
    EXPECT_EQ(s[0].nRecSizeSec, 1);
    EXPECT_EQ(s[0].nFileSizeSec, 3600);
    EXPECT_EQ(s[0].nStreamChannels, 3);
    EXPECT_STREQ(s[0].sChannels, "1,2,3");
    EXPECT_EQ(s[1].cType, 'T');       // the comparison is case-sensitive
    EXPECT_EQ(s[1].nRecSizeSec, 44);  // 300 cut to 8 bits
    EXPECT_EQ(s[1].nFileSizeSec, 70000 - 65536);
    EXPECT_EQ(s[1].nStreamChannels, 2);  // 258 cut to 8 bits
    EXPECT_EQ(s[2].cType, 'T');
    EXPECT_EQ(s[2].nRecSizeSec, 10);  // the conversion's record length
    EXPECT_EQ(s[2].nFileSizeSec, 65535);
    EXPECT_EQ(s[2].nStreamChannels, 255);
    EXPECT_EQ(std::string(s[2].sChannels), std::string(33, '9'));
    EXPECT_EQ(s[3].nRecSizeSec, 0);  // untouched
}

TEST(RecorderSections, RecordLengthsPastSignedByteRangeReadNegative) {
    const RecordingRead r = tReadRecording(tWithSections({tStreamSection(1, "PERMANENT", 200)}));
    EXPECT_EQ(r.tHeader.nStreamCount, 1);
    EXPECT_EQ(r.tHeader.aStreams[0].nRecSizeSec, -56);
}

TEST(RecorderSections, NoStreamSectionLeavesCountZeroAndTheFixedHeaderEntries) {
    const RecordingRead r = tReadRecording(tWithSections({tChannelSection(1, "ON", "A")}));
    EXPECT_EQ(r.tHeader.nStreamCount, 0);
    EXPECT_EQ(r.tHeader.aStreams[1].cType, 'X');
    EXPECT_EQ(r.tHeader.aStreams[1].nRecSizeSec, 99);
}

TEST(RecorderSections, MoreStreamsThanSlotsKeepTheLastInTheLastCountedSlot) {
    // 140 minimal STREAM sections fit in the text head; the count stops at
    // 127 and entry 126 holds the 140th section.
    SyntheticRecording tRec = tWithSections({});
    std::string sHead;
    for (int m = 1; m <= 140; ++m) {
        sHead += "[STREAM" + std::to_string(m) + "]\nTYPE=P\n";
        if (m == 126 || m == 127 || m == 140) sHead += "REC_SIZE_SEC=" + std::to_string(m) + "\n";
    }
    ASSERT_LT(sHead.size(), 3072u);
    tRec.osRawHead = sHead;
    const RecordingRead r = tReadRecording(tRec);
    EXPECT_EQ(r.tHeader.nStreamCount, 127);
    EXPECT_EQ(r.tHeader.aStreams[125].nRecSizeSec, 126);
    EXPECT_EQ(r.tHeader.aStreams[126].nRecSizeSec, static_cast<int8_t>(140));
}

TEST(RecorderSections, LongNamesAndTypesAreCutToTheirFields) {
    const RecordingRead r = tReadRecording(tWithSections({
        tChannelSection(1, "ON", std::string(40, 'N')),
        tGroupSection(1, 1, 100, 1, std::string(80, 'T')),
    }));
    EXPECT_EQ(std::string(r.tHeader.aChannels[0].sName), std::string(27, 'N'));
    EXPECT_EQ(std::string(r.aGroups[0].sType), std::string(64, 'T'));
}

TEST(RecorderSections, HeadWrittenWithMixedCaseCrLfCommentsAndBinaryAfterIt) {
    SyntheticRecording tRec = tWithSections({});
    tRec.osRawHead =
        "; recorder setup\r\n"
        "[ch1]\r\n"
        "Stat = ON\r\n"
        "name = BHZ \r\n"
        "[Ch2]\r\n"
        ";STAT=ON\r\n"
        "STAT=OFF\r\n"
        "[group1]\r\n"
        "ch# = 1\r\n"
        "Freq = 100\r\n"
        "[Stream1]\r\n"
        "type = PERMANENT\r\n"
        "rec_size_sec = 1\r\n";
    // Binary bytes after the head; then the fixed header, whose bytes spell
    // a section that must not be found.
    tRec.sAfterHead = std::string("\0\x80\xFF[CH3]\nSTAT=ON\n", 18);
    std::memcpy(tRec.tFixed.abReserved6, "\n[CH4]\nSTAT=ON\n", 15);
    const RecordingRead r = tReadRecording(tRec);
    EXPECT_EQ(r.sError, "");
    EXPECT_EQ(r.tHeader.nChannelCount, 1);
    EXPECT_EQ(r.tHeader.aChannels[0].bOn, 1);
    EXPECT_STREQ(r.tHeader.aChannels[0].sName, "BHZ");
    EXPECT_EQ(r.tHeader.aChannels[1].bOn, 0);
    EXPECT_EQ(r.tHeader.aChannels[2].bOn, 0);
    EXPECT_EQ(r.tHeader.aChannels[3].bOn, 0);
    EXPECT_EQ(r.aGroups[0].nFreq, 100);
    EXPECT_EQ(r.tHeader.nStreamCount, 1);
    EXPECT_EQ(r.tHeader.aStreams[0].cType, 'P');
}

TEST(RecorderSections, SectionsReplaceTheFixedHeaderButNotItsOwnFields) {
    SyntheticRecording tRec = tWithSections({tChannelSection(2, "ON", "BHN")});
    vSetStation(tRec.tFixed, "ST01");
    tRec.tFixed.anChannelList[0] = 1;
    const RecordingRead r = tReadRecording(tRec);
    EXPECT_EQ(r.tHeader.nChannelCount, 1);
    EXPECT_EQ(r.tHeader.aChannels[0].bOn, 0);
    EXPECT_STREQ(r.tHeader.aChannels[0].sName, "EEE");
    EXPECT_EQ(r.tHeader.aChannels[1].bOn, 1);
    EXPECT_EQ(sStationName(r.tHeader), "ST01");
    EXPECT_EQ(r.tHeader.anChannelList[0], 1);
    EXPECT_EQ(r.tHeader.nDataOffset, nDefaultDataOffset);
}

}  // namespace
