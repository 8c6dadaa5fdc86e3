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
    const ProcessResult p =
        tRunSynth({"--out", sOut, "--channels", "ONE", "--rate", "10", "--records", "5",
                   "--head-file", tDir.sFile("head.ini"), "--data-offset", "5000", "--jump-at", "3",
                   "--jump-seconds", "-60", "--start=1999-01-01T00:00:00"});
    ASSERT_EQ(p.nExitStatus, 0) << p.sStderr;
    const std::vector<uint8_t> an = anBytesOf(sOut);
    ASSERT_EQ(an.size(), 5000u + 5 * (256 + 20));
    const RecordingRead r = tReadRecording(an);
    EXPECT_EQ(r.tHeader.nDataOffset, 5000);
    EXPECT_STREQ(r.tHeader.aChannels[0].sName, "RAW");
    EXPECT_EQ(r.tHeader.aStreams[0].cType, 'T');
    EXPECT_EQ(r.aGroups[0].nFreq, 0);  // the raw head has no GROUP
    EXPECT_EQ(r.tStart, 915148800.0);
    EpochTime t = 0;
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
    };
    for (const auto& c : aCases) {
        const ProcessResult p = tRunSynth(c.asArgs);
        EXPECT_EQ(p.nExitStatus, 2) << c.szError;
        EXPECT_EQ(p.sStderr, c.szError);
        EXPECT_EQ(p.sStdout, "");
    }
    EXPECT_FALSE(bFileExists(sOut));
}

}  // namespace
