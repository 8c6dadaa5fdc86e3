// The conversion run end to end: the built program on synthetic recordings.
// Standard output byte for byte, the records' headers, appending, and the
// refusals and restorations that keep a user's files whole.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <string>
#include <utility>
#include <vector>

#include "support/ConversionTestSupport.h"
#include "support/Process.h"

namespace {

const std::string sBanner =
    "\nTessal v1.0. Program for convert seismic from VORN 2 MiniSEED format.\n";

StandardLayout tLayout(std::vector<std::string> asChannels, size_t nRecords,
                       SignalKind eKind = SignalKind::RecorderLike) {
    StandardLayout t;
    t.sStation = "ABC";
    t.asChannels = std::move(asChannels);
    t.nRecords = nRecords;
    t.aeSignals = {eKind};
    return t;
}

TEST(ConversionRun, SmallRecordingPrintsExactlyTheProgressLines) {
    TempDir tDir;
    aanWriteRecording(tDir, "rec.vrx",
                      tStandardRecording(tLayout({"bhz"}, 3, SignalKind::Constant)));
    const ProcessResult r = tRunTessal({"rec.vrx"}, tDir.sPath());
    EXPECT_EQ(r.nExitStatus, 0) << r.sStderr;
    EXPECT_EQ(r.sStderr, "");
    EXPECT_EQ(r.sStdout, sBanner +
                             "nCount: 300 dSpS: 100.000000 tBegin: 1102427130.000000 "
                             "(tBegin+n/dSpS): 1102427130.000000\n"
                             "Seed block number 000001\n"
                             "vSetHeaderTime 13:45:30-0000 342.2004\n"
                             "Seed block counts 300\n");
    const std::vector<RecordFields> at = atRecordFields(sReadFile(tDir.sFile("rec.mseed")));
    ASSERT_EQ(at.size(), 1u);
    EXPECT_EQ(at[0].sSequence, "000001");
    EXPECT_EQ(at[0].sStation, "ABC  ");
    EXPECT_EQ(at[0].sChannel, "BHZ");
    EXPECT_EQ(at[0].nYear, 2004);
    EXPECT_EQ(at[0].nDay, 342);
    EXPECT_EQ(at[0].nRateFactor, 100);
}

TEST(ConversionRun, ConsoleCountsMatchTheRecordsWrittenChannelAfterChannel) {
    TempDir tDir;
    // Two channels of 250 s at 100 sps: 25000 samples each, three chunks each.
    aanWriteRecording(tDir, "two.vrx", tStandardRecording(tLayout({"BHZ", "HHN"}, 250)));
    const ProcessResult r = tRunTessal({"two.vrx", "-outname=two.ms"}, tDir.sPath());
    ASSERT_EQ(r.nExitStatus, 0) << r.sStderr;
    EXPECT_EQ(nCountLines(r.sStdout, "nCount: 10000 dSpS: 100.000000 tBegin: 1102427130.000000"),
              4);
    EXPECT_EQ(nCountLines(r.sStdout, "nCount: 5000 "), 2);
    EXPECT_EQ(nCountLines(r.sStdout, "Seed block number 000001"), 2);

    const std::vector<RecordFields> at = atRecordFields(sReadFile(tDir.sFile("two.ms")));
    // Every "Seed block counts" line, in order, is the sample count of the
    // record at the same place in the file.
    std::string sExpected;
    for (const RecordFields& f : at)
        sExpected += "Seed block counts " + std::to_string(f.nSamples) + "\n";
    std::string sPrinted;
    size_t nPos = 0;
    while ((nPos = r.sStdout.find("Seed block counts ", nPos)) != std::string::npos) {
        const size_t nEnd = r.sStdout.find('\n', nPos);
        sPrinted += r.sStdout.substr(nPos, nEnd + 1 - nPos);
        nPos = nEnd;
    }
    EXPECT_EQ(sPrinted, sExpected);

    // All of BHZ first, numbered from 000001, then HHN from 000001 again.
    int nTotal[2] = {0, 0};
    int nChannel = 0, nSequence = 0;
    for (const RecordFields& f : at) {
        if (nChannel == 0 && f.sChannel == "HHN") {
            nChannel = 1;
            nSequence = 0;
        }
        EXPECT_EQ(f.sChannel, nChannel == 0 ? "BHZ" : "HHN");
        EXPECT_EQ(std::stoi(f.sSequence), ++nSequence);
        nTotal[nChannel] += f.nSamples;
    }
    EXPECT_EQ(nTotal[0], 25000);
    EXPECT_EQ(nTotal[1], 25000);
}

TEST(ConversionRun, ANetworkCodeGoesIntoEveryRecordAndChangesNothingElse) {
    TempDir tDir;
    // Two channels of 250 s: several segments each.
    aanWriteRecording(tDir, "two.vrx", tStandardRecording(tLayout({"BHZ", "HHN"}, 250)));
    const ProcessResult tPlain = tRunTessal({"two.vrx"}, tDir.sPath());
    ASSERT_EQ(tPlain.nExitStatus, 0) << tPlain.sStderr;
    const std::string sPlain = sReadFile(tDir.sFile("two.mseed"));
    const std::vector<RecordFields> atPlain = atRecordFields(sPlain);
    ASSERT_GT(atPlain.size(), 50u);
    for (const RecordFields& f : atPlain) ASSERT_EQ(f.sNetwork, "  ");

    for (const auto& [szOption, szWritten] :
         {std::pair{"-network=xy", "XY"}, std::pair{"-network:7", "7 "}}) {
        const ProcessResult r = tRunTessal({"two.vrx", "-outname=net.ms", szOption}, tDir.sPath());
        ASSERT_EQ(r.nExitStatus, 0) << r.sStderr;
        EXPECT_EQ(r.sStdout, tPlain.sStdout);
        EXPECT_EQ(r.sStderr, "");
        std::string sCoded = sReadFile(tDir.sFile("net.ms"));
        ASSERT_EQ(sCoded.size(), sPlain.size());
        for (const RecordFields& f : atRecordFields(sCoded)) EXPECT_EQ(f.sNetwork, szWritten);
        // Blank the field again: the rest is the plain conversion, byte for byte.
        for (size_t n = 0; n < sCoded.size(); n += 512) sCoded.replace(n + 18, 2, "  ");
        EXPECT_EQ(sCoded, sPlain) << szOption;
        unlink(tDir.sFile("net.ms").c_str());
    }
}

TEST(ConversionRun, TwoRunsAppendTheSecondAfterTheFirst) {
    TempDir tDir;
    aanWriteRecording(tDir, "rec.vrx", tStandardRecording(tLayout({"BHZ"}, 20)));
    ASSERT_EQ(tRunTessal({"rec.vrx"}, tDir.sPath()).nExitStatus, 0);
    const std::string sFirst = sReadFile(tDir.sFile("rec.mseed"));
    ASSERT_FALSE(sFirst.empty());
    ASSERT_EQ(tRunTessal({"rec.vrx"}, tDir.sPath()).nExitStatus, 0);
    EXPECT_EQ(sReadFile(tDir.sFile("rec.mseed")), sFirst + sFirst);
    struct stat st;
    ASSERT_EQ(stat(tDir.sFile("rec.mseed").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0077, 0u);  // created for its owner only
}

TEST(ConversionRun, ChannelsWithoutRateOrWithNegativeRateKeepTheOthersInPlace) {
    TempDir tDir;
    SyntheticRecording tRec = tStandardRecording(tLayout({"AAA", "BBB", "CCC"}, 10));
    // GROUP1 (channel 1) gets a negative rate, GROUP2 (channel 2) none at all.
    for (SynthSection& s : tRec.aSections) {
        if (s.sName == "GROUP1") s = tGroupSection(1, 1, -100);
        if (s.sName == "GROUP2") s = tGroupSection(2, 2, std::nullopt);
    }
    aanWriteRecording(tDir, "rec.vrx", tRec);
    const ProcessResult r = tRunTessal({"rec.vrx"}, tDir.sPath());
    ASSERT_EQ(r.nExitStatus, 0) << r.sStderr;
    const std::vector<RecordFields> at = atRecordFields(sReadFile(tDir.sFile("rec.mseed")));
    ASSERT_FALSE(at.empty());
    int nSamples = 0;
    for (const RecordFields& f : at) {
        EXPECT_EQ(f.sChannel, "CCC");
        nSamples += f.nSamples;
    }
    EXPECT_EQ(nSamples, 1000);
    // Only CCC feeds samples: the rate-0 channel prints no chunk line.
    EXPECT_EQ(nCountLines(r.sStdout, "nCount: "), 1);
    // The record layout is CCC's: no bytes left over, no records off time.
    EXPECT_EQ(nCountLines(r.sStderr, "tessal: warning: rec.vrx: the channels have different"), 1);
    EXPECT_EQ(nCountLines(r.sStderr, "tessal: warning: rec.vrx: record "), 0) << r.sStderr;
    EXPECT_EQ(r.sStderr.find("after the last whole record"), std::string::npos) << r.sStderr;
}

TEST(ConversionRun, NoChannelOnLeavesAnExistingFileAsItWas) {
    TempDir tDir;
    SyntheticRecording tRec = tStandardRecording(tLayout({"BHZ"}, 5));
    tRec.aSections[0] = tChannelSection(1, "on", std::string("BHZ"));  // not exactly "ON"
    aanWriteRecording(tDir, "rec.vrx", tRec);
    vWriteFile(tDir.sFile("rec.mseed"), "earlier content");
    const ProcessResult r = tRunTessal({"rec.vrx"}, tDir.sPath());
    EXPECT_EQ(r.nExitStatus, 0);
    EXPECT_EQ(r.sStdout, sBanner);
    EXPECT_NE(r.sStderr.find("tessal: warning: rec.vrx: no channel to convert"), std::string::npos);
    EXPECT_EQ(sReadFile(tDir.sFile("rec.mseed")), "earlier content");
}

TEST(ConversionRun, AMissingOutputDirectoryFailsWithStatusThree) {
    TempDir tDir;
    aanWriteRecording(tDir, "rec.vrx", tStandardRecording(tLayout({"BHZ"}, 5)));
    const ProcessResult r = tRunTessal({"rec.vrx", "-outname=nodir/out.ms"}, tDir.sPath());
    EXPECT_EQ(r.nExitStatus, 3);
    EXPECT_EQ(r.sStderr,
              "tessal: error: nodir/out.ms: cannot open for writing: No such file or directory\n");
    EXPECT_FALSE(bFileExists(tDir.sFile("nodir")));
}

TEST(ConversionRun, APipeWithoutReaderAsOutputFailsAtOnce) {
    TempDir tDir;
    aanWriteRecording(tDir, "in.vrx", tStandardRecording(tLayout({"BHZ"}, 5)));
    ASSERT_EQ(mkfifo(tDir.sFile("pipe").c_str(), 0600), 0);
    const ProcessResult r =
        tRunTessal({"in.vrx", "-outname=pipe"}, tDir.sPath(), [] { alarm(10); });
    EXPECT_EQ(r.nSignal, 0);
    EXPECT_EQ(r.nExitStatus, 3);
    EXPECT_EQ(r.sStderr,
              "tessal: error: pipe: cannot open for writing: No such device or address\n");
}

TEST(ConversionRun, TheInputIsNeverItsOwnOutput) {
    TempDir tDir;
    aanWriteRecording(tDir, "rec.vrx", tStandardRecording(tLayout({"BHZ"}, 5)));
    const std::string sBefore = sReadFile(tDir.sFile("rec.vrx"));
    ASSERT_EQ(symlink("rec.vrx", tDir.sFile("alias.ms").c_str()), 0);
    for (const char* szName : {"-outname=rec.vrx", "-outname=./rec.vrx", "-outname=alias.ms"}) {
        const ProcessResult r = tRunTessal({"rec.vrx", szName}, tDir.sPath());
        EXPECT_EQ(r.nExitStatus, 2) << szName;
        EXPECT_NE(r.sStderr.find("is the input recording itself"), std::string::npos);
        EXPECT_EQ(sReadFile(tDir.sFile("rec.vrx")), sBefore);
    }
}

// Runs the conversion with the file size limit at nLimit bytes.
ProcessResult tRunWithSizeLimit(const TempDir& tDir, const std::vector<std::string>& asArgs,
                                rlim_t nLimit) {
    return tRunTessal(asArgs, tDir.sPath(), [nLimit] {
        struct rlimit tLimit = {nLimit, nLimit};
        setrlimit(RLIMIT_FSIZE, &tLimit);
    });
}

TEST(ConversionRun, AFailedWritePutsAnExistingFileBack) {
    TempDir tDir;
    aanWriteRecording(tDir, "rec.vrx", tStandardRecording(tLayout({"BHZ", "BHN"}, 300)));
    const std::string sOld(5000, 'x');
    vWriteFile(tDir.sFile("rec.mseed"), sOld);
    // Room for a few records of the first channel, not for everything.
    const ProcessResult r = tRunWithSizeLimit(tDir, {"rec.vrx"}, 5000 + 20 * 512);
    EXPECT_EQ(r.nExitStatus, 3);
    EXPECT_NE(r.sStderr.find("tessal: error: rec.mseed: cannot write: File too large"),
              std::string::npos)
        << r.sStderr;
    EXPECT_EQ(sReadFile(tDir.sFile("rec.mseed")), sOld);
}

TEST(ConversionRun, AFailedWriteRemovesAFileTheRunCreated) {
    TempDir tDir;
    aanWriteRecording(tDir, "rec.vrx", tStandardRecording(tLayout({"BHZ"}, 300)));
    const ProcessResult r = tRunWithSizeLimit(tDir, {"rec.vrx", "-outname=new.ms"}, 3 * 512);
    EXPECT_EQ(r.nExitStatus, 3);
    EXPECT_FALSE(bFileExists(tDir.sFile("new.ms")));
}

TEST(ConversionRun, InvalidRecordingsAreRefusedWithoutTouchingTheOutput) {
    struct Case {
        const char* szWhat;
        void (*fnBreak)(SyntheticRecording&);
        const char* szReason;
    };
    const Case aCases[] = {
        {"too short", [](SyntheticRecording& t) { t.onFileSize = 4000; }, "too short"},
        {"offset", [](SyntheticRecording& t) { t.tFixed.nDataOffset = -32000; }, "32768"},
        {"year", [](SyntheticRecording& t) { t.nYear = 1969; }, "1969"},
        {"month", [](SyntheticRecording& t) { t.nMonth = 13; }, "13"},
        {"no stream",
         [](SyntheticRecording& t) {
             std::erase_if(t.aSections, [](const SynthSection& s) { return s.sName == "STREAM1"; });
         },
         "STREAM"},
    };
    for (const Case& c : aCases) {
        TempDir tDir;
        SyntheticRecording tRec = tStandardRecording(tLayout({"BHZ"}, 5));
        c.fnBreak(tRec);
        aanWriteRecording(tDir, "bad.vrx", tRec);
        const ProcessResult r = tRunTessal({"bad.vrx"}, tDir.sPath());
        EXPECT_EQ(r.nExitStatus, 1) << c.szWhat;
        EXPECT_EQ(r.sStderr.rfind("tessal: error: bad.vrx: ", 0), 0u) << r.sStderr;
        EXPECT_NE(r.sStderr.find(c.szReason), std::string::npos) << r.sStderr;
        EXPECT_EQ(std::count(r.sStderr.begin(), r.sStderr.end(), '\n'), 1) << r.sStderr;
        EXPECT_FALSE(bFileExists(tDir.sFile("bad.mseed"))) << c.szWhat;
    }
    TempDir tDir;
    const ProcessResult r = tRunTessal({"missing.vrx"}, tDir.sPath());
    EXPECT_EQ(r.nExitStatus, 1);
    EXPECT_EQ(r.sStderr, "tessal: error: missing.vrx: cannot open: No such file or directory\n");
    EXPECT_FALSE(bFileExists(tDir.sFile("missing.mseed")));
}

TEST(ConversionRun, InputsThatAreNotFilesAreRefusedAtOnce) {
    TempDir tDir;
    ASSERT_EQ(mkfifo(tDir.sFile("pipe.vrx").c_str(), 0600), 0);
    ASSERT_EQ(mkdir(tDir.sFile("dir.vrx").c_str(), 0700), 0);
    const struct {
        const char* szInput;
        const char* szReason;
    } aCases[] = {{"pipe.vrx", "is not a regular file"},  // no writer: opening must not wait
                  {"dir.vrx", "is a directory, not a recording"},
                  {"/dev/null", "is not a regular file"}};
    for (const auto& c : aCases) {
        const ProcessResult r =
            tRunTessal({c.szInput, "-outname=out.mseed"}, tDir.sPath(), [] { alarm(10); });
        EXPECT_EQ(r.nSignal, 0) << c.szInput;
        EXPECT_EQ(r.nExitStatus, 1) << c.szInput;
        EXPECT_EQ(r.sStderr, std::string("tessal: error: ") + c.szInput + ": " + c.szReason + "\n");
        EXPECT_FALSE(bFileExists(tDir.sFile("out.mseed")));
    }
}

TEST(ConversionRun, WarningsTellWhatTheOutputCannotShow) {
    TempDir tDir;
    SyntheticRecording tRec = tStandardRecording(tLayout({"BHZ"}, 30));
    tRec.nTrailingBytes = 77;
    tRec.nJumpRecord = 10;  // records 11.. start 5 s late: a gap in the recording
    tRec.nJumpSeconds = 5;
    aanWriteRecording(tDir, "rec.vrx", tRec);
    const ProcessResult r = tRunTessal({"rec.vrx", "-gain"}, tDir.sPath());
    EXPECT_EQ(r.nExitStatus, 0);
    EXPECT_NE(r.sStderr.find("tessal: warning: the gain option has no effect"), std::string::npos);
    EXPECT_NE(r.sStderr.find("rec.vrx: 77 bytes after the last whole record are ignored"),
              std::string::npos);
    EXPECT_NE(r.sStderr.find("record 11 starts at 2004-12-07 13:45:45 UTC, not at "
                             "2004-12-07 13:45:40 UTC as the output assumes (difference +5 s)"),
              std::string::npos)
        << r.sStderr;
    // Twenty records differ: five lines, then a count of the other fifteen.
    EXPECT_EQ(nCountLines(r.sStderr, "tessal: warning: rec.vrx: record "), 5);
    EXPECT_NE(r.sStderr.find("15 more records start off the continuous timeline"),
              std::string::npos);
    // The gain changes nothing: the same output as without it.
    const std::string sGained = sReadFile(tDir.sFile("rec.mseed"));
    ASSERT_EQ(tRunTessal({"rec.vrx", "-outname=plain.ms"}, tDir.sPath()).nExitStatus, 0);
    EXPECT_EQ(sReadFile(tDir.sFile("plain.ms")), sGained);
}

TEST(ConversionRun, AStartAfterTheYearsReadersRecogniseIsWarnedAbout) {
    for (const int16_t nYear : {2100, 2101, 9999}) {
        TempDir tDir;
        SyntheticRecording tRec = tStandardRecording(tLayout({"BHZ"}, 3));
        tRec.nYear = nYear;
        aanWriteRecording(tDir, "rec.vrx", tRec);
        const ProcessResult r = tRunTessal({"rec.vrx"}, tDir.sPath());
        EXPECT_EQ(r.nExitStatus, 0);
        const std::string sExpected =
            nYear == 2100
                ? ""
                : "tessal: warning: rec.vrx: the recording starts at " + std::to_string(nYear) +
                      "-12-07 13:45:30 UTC; many MiniSEED readers do not recognise "
                      "records dated after 2100 (is the recorder's clock wrong?)\n";
        EXPECT_EQ(r.sStderr, sExpected);
        EXPECT_EQ(sReadFile(tDir.sFile("rec.mseed")).size(), 512u) << "converted all the same";
    }
}

TEST(ConversionRun, ChannelListEntriesOutsideTheChannelsAreSkippedWithAWarning) {
    TempDir tDir;
    SyntheticRecording tRec = tStandardRecording(tLayout({"AAA", "BBB"}, 5));
    tRec.tFixed.anChannelList[0] = 40;
    aanWriteRecording(tDir, "rec.vrx", tRec);
    const ProcessResult r = tRunTessal({"rec.vrx"}, tDir.sPath());
    EXPECT_EQ(r.nExitStatus, 0);
    EXPECT_NE(r.sStderr.find("channel list position 1 names channel index 40, outside 0 to 31"),
              std::string::npos)
        << r.sStderr;
    const std::vector<RecordFields> at = atRecordFields(sReadFile(tDir.sFile("rec.mseed")));
    ASSERT_FALSE(at.empty());
    for (const RecordFields& f : at) EXPECT_EQ(f.sChannel, "BBB");
}

TEST(ConversionRun, MoreChannelsThanTheListAndDifferingRatesAreWarnedOnce) {
    TempDir tDir;
    std::vector<std::string> asNames;
    for (int k = 1; k <= 17; ++k) asNames.push_back(std::string("C").append(std::to_string(k)));
    SyntheticRecording tRec = tStandardRecording(tLayout(asNames, 2));
    for (SynthSection& s : tRec.aSections) {
        if (s.sName == "GROUP2") s = tGroupSection(2, 2, 50);
    }
    aanWriteRecording(tDir, "rec.vrx", tRec);
    const ProcessResult r = tRunTessal({"rec.vrx"}, tDir.sPath());
    EXPECT_EQ(r.nExitStatus, 0) << r.sStderr;
    EXPECT_EQ(nCountLines(r.sStderr,
                          "tessal: warning: rec.vrx: 17 channels are switched on but "
                          "the channel list holds 16"),
              1)
        << r.sStderr;
    EXPECT_EQ(nCountLines(r.sStderr, "tessal: warning: rec.vrx: the channels have different rates"),
              1);
    // The sixteen positions of the list are converted, the seventeenth is not.
    EXPECT_EQ(nCountLines(r.sStdout, "Seed block number 000001"), 16);
}

}  // namespace

namespace {

// Starts tessal with standard output into a pipe nobody reads: once the pipe
// is full the program blocks mid-run, with records already in the output.
pid_t nStartBlockedConversion(const TempDir& tDir, const std::string& sInput, int& nReadEnd) {
    int anPipe[2];
    if (pipe(anPipe) != 0) return -1;
    const pid_t nPid = fork();
    if (nPid == 0) {
        dup2(anPipe[1], 1);
        close(anPipe[0]);
        if (chdir(tDir.sPath().c_str()) != 0) _exit(126);
        execl(TESSAL_PROGRAM, TESSAL_PROGRAM, sInput.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    close(anPipe[1]);
    nReadEnd = anPipe[0];
    return nPid;
}

TEST(ConversionRun, AnInterruptedRunPutsTheOutputBack) {
    TempDir tDir;
    StandardLayout t;
    t.nRecordSeconds = 10;
    t.nRecords = 1000;
    // 3 x 1,000,000 samples of noise, some 29000 records: about 600 KB of
    // console text, far more than the pipe and the program's buffer hold.
    t.aeSignals = {SignalKind::WhiteNoise};
    aanWriteRecording(tDir, "rec.vrx", tStandardRecording(t));
    for (const bool bExisting : {false, true}) {
        const std::string sOld = "kept as it was";
        if (bExisting) vWriteFile(tDir.sFile("rec.mseed"), sOld);
        int nReadEnd = -1;
        const pid_t nPid = nStartBlockedConversion(tDir, "rec.vrx", nReadEnd);
        ASSERT_GT(nPid, 0);
        // Wait (at most about 20 s) until records have reached the file.
        struct stat st;
        for (int i = 0; i < 2000; ++i) {
            if (stat(tDir.sFile("rec.mseed").c_str(), &st) == 0 &&
                st.st_size > static_cast<off_t>(sOld.size()) + 4096)
                break;
            usleep(10000);
        }
        ASSERT_GT(st.st_size, static_cast<off_t>(sOld.size()) + 4096);
        kill(nPid, SIGTERM);
        int nStatus = 0;
        waitpid(nPid, &nStatus, 0);
        close(nReadEnd);
        EXPECT_TRUE(WIFSIGNALED(nStatus) && WTERMSIG(nStatus) == SIGTERM);
        if (bExisting) {
            EXPECT_EQ(sReadFile(tDir.sFile("rec.mseed")), sOld);
        } else {
            EXPECT_FALSE(bFileExists(tDir.sFile("rec.mseed")));
        }
    }
}

}  // namespace
