// The vorn-synth tool run as a process: the recording it writes reads back
// as its options say, and its expected-sample files match the records.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "RecordingReader.h"
#include "support/Process.h"
#include "support/TempDir.h"

namespace {

ProcessResult tRunSynth(const std::vector<std::string>& asArgs) {
    return tRunProcess(VORN_SYNTH_PROGRAM, asArgs);
}

std::vector<uint8_t> anBytesOf(const std::string& sPath) {
    const std::string s = sReadFile(sPath);
    return std::vector<uint8_t>(s.begin(), s.end());
}

TEST(VornSynthTool, WritesTheRecordingAndTheExpectedSamplesItDescribes) {
    TempDir tDir;
    const std::string sOut = tDir.sFile("rec.vrx");
    const std::string sExpect = tDir.sFile("expect");
    const ProcessResult p = tRunSynth({"--out",
                                       sOut,
                                       "--station",
                                       "ABCDEFGH",
                                       "--channels",
                                       "BHZ,BHN,BHE",
                                       "--rate",
                                       "20",
                                       "--record-seconds",
                                       "3",
                                       "--seconds",
                                       "61",
                                       "--signal",
                                       "recorder,noise,extremes",
                                       "--seed",
                                       "9",
                                       "--channel-list",
                                       "2,0,1",
                                       "--start",
                                       "2004-12-07T13:45:30",
                                       "--second-word",
                                       "2",
                                       "--trailing-bytes",
                                       "17",
                                       "--expect-dir",
                                       sExpect});
    ASSERT_EQ(p.nExitStatus, 0) << p.sStderr;
    EXPECT_EQ(p.sStderr, "");

    const std::vector<uint8_t> an = anBytesOf(sOut);
    const size_t nRecordSize = 256 + 3 * 2 * 60;  // 21 records: 61 s rounded up to 3 s records
    ASSERT_EQ(an.size(), 4352 + 21 * nRecordSize + 17);
    EXPECT_EQ(p.sStdout, "vorn-synth: wrote " + sOut + ": " + std::to_string(an.size()) +
                             " bytes, 21 records of 3 s, 3 channels at 20 sps\n");

    const RecordingRead r = tReadRecording(an);
    ASSERT_EQ(r.sError, "");
    EXPECT_EQ(r.tStart, 1102427132.0);
    EXPECT_EQ(sStationName(r.tHeader), "ABCDEFGH");
    EXPECT_EQ(r.tHeader.nChannelCount, 3);
    EXPECT_EQ(r.tHeader.nStreamCount, 1);
    EXPECT_EQ(r.tHeader.aStreams[0].nRecSizeSec, 3);
    EXPECT_EQ(r.tHeader.anChannelList[0], 2);
    EXPECT_EQ(r.tHeader.anChannelList[1], 0);
    EXPECT_EQ(r.tHeader.anChannelList[2], 1);
    EXPECT_STREQ(r.tHeader.aChannels[2].sName, "BHE");
    EXPECT_EQ(r.aGroups[2].nFreq, 20);

    // The manifest names each list position's channel; its sample file holds
    // that position's blocks of every record.
    EXPECT_EQ(sReadFile(sExpect + "/manifest.txt"),
              "0 CH3 BHE 20 1260 1102427132 p00-BHE.u16\n"
              "1 CH1 BHZ 20 1260 1102427132 p01-BHZ.u16\n"
              "2 CH2 BHN 20 1260 1102427132 p02-BHN.u16\n");
    const char* aszFiles[] = {"p00-BHE.u16", "p01-BHZ.u16", "p02-BHN.u16"};
    for (size_t pos = 0; pos < 3; ++pos) {
        const std::vector<uint8_t> anExpected = anBytesOf(sExpect + "/" + aszFiles[pos]);
        ASSERT_EQ(anExpected.size(), 2u * 1260) << pos;
        std::vector<uint8_t> anFound;
        for (size_t k = 0; k < 21; ++k) {
            const auto it =
                an.begin() + 4352 + static_cast<long>(k * nRecordSize + 256 + pos * 120);
            anFound.insert(anFound.end(), it, it + 120);
        }
        EXPECT_EQ(anFound, anExpected) << pos;
    }
    // Position 2 was asked for alternating extremes.
    const std::vector<uint8_t> anExtremes = anBytesOf(sExpect + "/p02-BHN.u16");
    EXPECT_EQ(anExtremes[0], 0x00);
    EXPECT_EQ(anExtremes[2], 0xFF);
    EXPECT_EQ(anExtremes[3], 0xFF);
}

TEST(VornSynthTool, SameOptionsSameBytes) {
    TempDir tDir;
    for (const char* szName : {"a.vrx", "b.vrx"}) {
        const ProcessResult p =
            tRunSynth({"--out", tDir.sFile(szName), "--seconds", "30", "--seed", "5"});
        ASSERT_EQ(p.nExitStatus, 0) << p.sStderr;
    }
    EXPECT_EQ(sReadFile(tDir.sFile("a.vrx")), sReadFile(tDir.sFile("b.vrx")));
    EXPECT_FALSE(sReadFile(tDir.sFile("a.vrx")).empty());
}

TEST(VornSynthTool, HeadFileOffsetAndJumpReachTheFile) {
    TempDir tDir;
    vWriteFile(tDir.sFile("head.ini"),
               "[ch1]\r\nSTAT=ON\r\nNAME=RAW\r\n[STREAM1]\r\nTYPE=x\r\n"
               "REC_SIZE_SEC=1\r\n");
    const std::string sOut = tDir.sFile("r.vrx");
    const std::vector<std::string> asArgs = {"--out",
                                             sOut,
                                             "--channels",
                                             "ONE",
                                             "--rate",
                                             "10",
                                             "--records",
                                             "5",
                                             "--head-file",
                                             tDir.sFile("head.ini"),
                                             "--data-offset",
                                             "5000",
                                             "--jump-record",
                                             "4",
                                             "--jump-seconds",
                                             "-60",
                                             "--start=1999-01-01T00:00:00"};
    const ProcessResult p = tRunSynth(asArgs);
    ASSERT_EQ(p.nExitStatus, 0) << p.sStderr;
    // The older --jump-at counts records from 0: its 3 is the 4th record.
    const std::string sOld = tDir.sFile("old.vrx");
    std::vector<std::string> asOldArgs = asArgs;
    asOldArgs[1] = sOld;
    asOldArgs[12] = "--jump-at";
    asOldArgs[13] = "3";
    ASSERT_EQ(tRunSynth(asOldArgs).nExitStatus, 0);
    EXPECT_EQ(sReadFile(sOld), sReadFile(sOut));
    const std::vector<uint8_t> an = anBytesOf(sOut);
    ASSERT_EQ(an.size(), 5000u + 5 * (256 + 20));
    const RecordingRead r = tReadRecording(an);
    EXPECT_EQ(r.tHeader.nDataOffset, 5000);
    EXPECT_STREQ(r.tHeader.aChannels[0].sName, "RAW");
    EXPECT_EQ(r.tHeader.aStreams[0].cType, 'T');
    EXPECT_EQ(r.aGroups[0].nFreq, 0);  // the raw head has no GROUP
    EXPECT_EQ(r.tStart, 915148800.0);
    EpochTime t = 0;
    ASSERT_TRUE(bReadRecordTime(an.data() + 5000 + 2 * 276, t));
    EXPECT_EQ(t, 915148800.0 + 2);  // the 3rd record: no jump yet
    ASSERT_TRUE(bReadRecordTime(an.data() + 5000 + 3 * 276, t));
    EXPECT_EQ(t, 915148800.0 + 3 - 60);
}

TEST(VornSynthTool, HelpAndMistakes) {
    const ProcessResult tHelp = tRunSynth({"--help"});
    EXPECT_EQ(tHelp.nExitStatus, 0);
    EXPECT_NE(tHelp.sStdout.find("Usage: vorn-synth --out FILE"), std::string::npos);
    EXPECT_NE(tHelp.sStdout.find("--expect-dir"), std::string::npos);

    TempDir tDir;
    const std::string sOut = tDir.sFile("x.vrx");
    const struct {
        std::vector<std::string> asArgs;
        const char* szError;
    } aCases[] = {
        {{"--seconds", "10"}, "vorn-synth: error: --out FILE is required (see --help)\n"},
        {{"--out", sOut, "--rate", "fast"},
         "vorn-synth: error: --rate needs an integer from 0 to 100000, not \"fast\"\n"},
        {{"--out", sOut, "--signal", "chirp"}, "vorn-synth: error: unknown signal \"chirp\"\n"},
        {{"--out", sOut, "--station", "NINECHARS"},
         "vorn-synth: error: --station takes at most 8 bytes\n"},
        {{"--out", sOut, "--bogus", "1"},
         "vorn-synth: error: unknown option --bogus (see --help)\n"},
        {{"--out", sOut, "--start", "yesterday"},
         "vorn-synth: error: --start needs YYYY-MM-DDTHH:MM:SS, not \"yesterday\"\n"},
        {{"--out"}, "vorn-synth: error: --out needs a value\n"},
        // What no recorder writes is refused unless asked for on purpose.
        {{"--out", sOut, "--start", "2023-02-30T00:00:00"},
         "vorn-synth: error: --start 2023-02-30T00:00:00 is no real time: that month has 28 "
         "days\n"},
        {{"--out", sOut, "--start", "2024-02-29T25:61:61"},
         "vorn-synth: error: --start 2024-02-29T25:61:61 is no real time: the time of day must "
         "lie from 00:00:00 to 23:59:59\n"},
        {{"--out", sOut, "--start", "2004-13-01T00:00:00"},
         "vorn-synth: error: --start 2004-13-01T00:00:00 is no real time: the month must lie "
         "from 1 to 12\n"},
        {{"--out", sOut, "--start", "1969-12-31T23:59:59"},
         "vorn-synth: error: --start 1969-12-31T23:59:59 is no real time: the year must lie "
         "from 1970 to 9999\n"},
        {{"--out", sOut, "--data-offset", "4096"},
         "vorn-synth: error: --data-offset 4096 lies inside the text head and the fixed header "
         "(bytes 0 to 4096); --allow-damaged writes it anyway\n"},
        {{"--out", sOut, "--data-offset", "32768"},
         "vorn-synth: error: --data-offset 32768 is read as negative (the field is a signed "
         "16-bit value); --allow-damaged writes it anyway\n"},
        {{"--out", sOut, "--channel-list", "0,32"},
         "vorn-synth: error: --channel-list: position 2 holds 32, which names no channel (0 to "
         "31 stand for CH1 to CH32); --allow-damaged writes it anyway\n"},
        {{"--out", sOut, "--channels", std::string(3000, 'N')},
         "vorn-synth: error: the text head would be 3158 bytes, more than the 3072 before the "
         "fixed header; --allow-damaged writes it anyway\n"},
        {{"--out", sOut, "--allow-damaged=yes"},
         "vorn-synth: error: --allow-damaged takes no value\n"},
    };
    for (const auto& c : aCases) {
        const ProcessResult p = tRunSynth(c.asArgs);
        EXPECT_EQ(p.nExitStatus, 2) << c.szError;
        EXPECT_EQ(p.sStderr, c.szError);
        EXPECT_EQ(p.sStdout, "");
    }
    EXPECT_FALSE(bFileExists(sOut));

    // Asked for on purpose, the damaged recording is written as given, and
    // the summary counts one record and one channel in the singular.
    const ProcessResult tDamaged =
        tRunSynth({"--out", sOut, "--allow-damaged", "--start", "2023-02-30T00:00:00",
                   "--data-offset", "100", "--channels", "BHZ", "--records", "1"});
    ASSERT_EQ(tDamaged.nExitStatus, 0) << tDamaged.sStderr;
    const std::vector<uint8_t> an = anBytesOf(sOut);
    EXPECT_EQ(tDamaged.sStdout, "vorn-synth: wrote " + sOut + ": " + std::to_string(an.size()) +
                                    " bytes, 1 record of 1 s, 1 channel at 100 sps\n");
    const RecordingRead r = tReadRecording(an);
    EXPECT_EQ(r.tHeader.nDataOffset, 100);
    ASSERT_GE(an.size(), 100u + 12);
    EXPECT_EQ(an[100 + 8], 30);  // day 30 of month 2, as asked
    EXPECT_EQ(an[100 + 10], 2);
}

}  // namespace
