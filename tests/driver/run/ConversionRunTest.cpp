// The conversion run end to end: the built program on synthetic recordings.
// Standard output byte for byte, the records' headers, appending, and the
// refusals and restorations that keep a user's files whole.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <functional>
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
    EXPECT_EQ(nCountLines(r.sStdout, "nCount: "), 1);
    // Each skipped channel is named with its rate; the layout is CCC's: no
    // bytes left over, no records off time.
    EXPECT_EQ(r.sStderr,
              "tessal: warning: rec.vrx: channel AAA has FREQ -100, which is no sampling rate; "
              "skipped\n"
              "tessal: warning: rec.vrx: channel BBB has FREQ 0, which is no sampling rate; "
              "skipped\n");
}

TEST(ConversionRun, OutputsThatCannotBeOpenedFailWithStatusThreeAndAPlainReason) {
    TempDir tDir;
    aanWriteRecording(tDir, "rec.vrx", tStandardRecording(tLayout({"BHZ"}, 5)));
    ASSERT_EQ(mkdir(tDir.sFile("adir").c_str(), 0700), 0);
    ASSERT_EQ(symlink("nodir/x", tDir.sFile("dangling").c_str()), 0);
    const struct {
        const char* szOutput;
        const char* szReason;
    } aCases[] = {
        {"nodir/out.ms", "the directory it would be made in does not exist"},
        {"dangling", "it is a symbolic link to a place that does not exist"},
        {"rec.vrx/out.ms", "a part of its path is not a directory"},
        {"adir", "it is a directory"},
    };
    for (const auto& c : aCases) {
        const ProcessResult r =
            tRunTessal({"rec.vrx", std::string("-outname=") + c.szOutput}, tDir.sPath());
        EXPECT_EQ(r.nExitStatus, 3) << c.szOutput;
        EXPECT_EQ(r.sStderr, std::string("tessal: error: ") + c.szOutput +
                                 ": cannot open for writing: " + c.szReason + "\n");
    }
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
              "tessal: error: pipe: cannot open for writing: no process is reading this pipe\n");
}

// Outputs where records would do harm are refused with status 2 and left
// as they were: the input itself, another file that is not MiniSEED, the
// console. Output that ends in a cut record is appended to, with a warning.
TEST(ConversionRun, OutputsWhereRecordsDoHarmAreRefused) {
    TempDir tDir;
    aanWriteRecording(tDir, "rec.vrx", tStandardRecording(tLayout({"BHZ"}, 5)));
    aanWriteRecording(tDir, "b2.vrx", tStandardRecording(tLayout({"BHN"}, 5)));
    vWriteFile(tDir.sFile("notes.txt"), "000001 is not a record header");
    ASSERT_EQ(symlink("rec.vrx", tDir.sFile("alias.ms").c_str()), 0);
    const struct {
        const char* szOption;
        const char* szFile;  // the file that must keep its bytes
        const char* szReason;
    } aCases[] = {
        {"-outname=rec.vrx", "rec.vrx", "is the input recording itself"},
        {"-outname=./rec.vrx", "rec.vrx", "is the input recording itself"},
        {"-outname=alias.ms", "rec.vrx", "is the input recording itself"},
        {"-outname=b2.vrx", "b2.vrx", "does not begin like a MiniSEED record"},
        {"-outname=notes.txt", "notes.txt", "does not begin like a MiniSEED record"},
        {"-outname=/dev/stdout", nullptr, "is the console (standard output or error) itself"},
        {"-outname=/dev/stderr", nullptr, "is the console (standard output or error) itself"},
    };
    for (const auto& c : aCases) {
        const std::string sBefore = c.szFile ? sReadFile(tDir.sFile(c.szFile)) : "";
        const ProcessResult r = tRunTessal({"rec.vrx", c.szOption}, tDir.sPath());
        EXPECT_EQ(r.nExitStatus, 2) << c.szOption;
        EXPECT_EQ(r.sStdout, sBanner) << c.szOption;
        EXPECT_NE(r.sStderr.find(c.szReason), std::string::npos) << r.sStderr;
        EXPECT_EQ(std::count(r.sStderr.begin(), r.sStderr.end(), '\n'), 1) << r.sStderr;
        if (c.szFile) {
            EXPECT_EQ(sReadFile(tDir.sFile(c.szFile)), sBefore) << c.szOption;
        }
    }
    // A cut record at the end (after a crash) is warned about and kept.
    ASSERT_EQ(tRunTessal({"rec.vrx", "-outname=cut.ms"}, tDir.sPath()).nExitStatus, 0);
    const std::string sCut = sReadFile(tDir.sFile("cut.ms")).substr(0, 300);
    vWriteFile(tDir.sFile("cut.ms"), sCut);
    const ProcessResult r = tRunTessal({"rec.vrx", "-outname=cut.ms"}, tDir.sPath());
    EXPECT_EQ(r.nExitStatus, 0);
    EXPECT_EQ(r.sStderr,
              "tessal: warning: cut.ms: ends in 44 bytes that are not a whole record (a record "
              "cut short, by a crash perhaps); the new records follow them\n");
    EXPECT_EQ(sReadFile(tDir.sFile("cut.ms")).substr(0, 300), sCut);
    EXPECT_EQ(sReadFile(tDir.sFile("cut.ms")).size(), 300u + 512u);
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
    aanWriteRecording(tDir, "old.vrx", tStandardRecording(tLayout({"BHZ"}, 30)));
    ASSERT_EQ(tRunTessal({"old.vrx", "-outname=rec.mseed"}, tDir.sPath()).nExitStatus, 0);
    const std::string sOld = sReadFile(tDir.sFile("rec.mseed"));
    // Room for a few records of the first channel, not for everything.
    const ProcessResult r = tRunWithSizeLimit(tDir, {"rec.vrx"}, sOld.size() + 20 * 512);
    EXPECT_EQ(r.nExitStatus, 3);
    EXPECT_NE(r.sStderr.find("tessal: error: rec.mseed: cannot write: File too large; the file "
                             "is left as it was\n"),
              std::string::npos)
        << r.sStderr;
    EXPECT_EQ(sReadFile(tDir.sFile("rec.mseed")), sOld);
}

TEST(ConversionRun, AFailedWriteRemovesAFileTheRunCreated) {
    // A write that fails, and a sync that does: the records may not be on
    // the disk, so the run is no success.
    TempDir tDir;
    aanWriteRecording(tDir, "rec.vrx", tStandardRecording(tLayout({"BHZ"}, 300)));
    const ProcessResult rLimit = tRunWithSizeLimit(tDir, {"rec.vrx", "-outname=new.ms"}, 3 * 512);
    const ProcessResult rSync = tRunTessal({"rec.vrx", "-outname=new.ms"}, tDir.sPath(),
                                           [] { vFailSystemCall(__NR_fsync, EIO); });
    for (const auto& [r, szReason] :
         {std::pair{rLimit, "File too large"}, std::pair{rSync, "Input/output error"}}) {
        EXPECT_EQ(r.nExitStatus, 3);
        EXPECT_EQ(r.sStderr, std::string("tessal: error: new.ms: cannot write: ") + szReason +
                                 "; the file is removed (this run created it)\n");
        EXPECT_FALSE(bFileExists(tDir.sFile("new.ms")));
    }
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
        // Runs that would write no record.
        {"no channel on",
         [](SyntheticRecording& t) {
             t.aSections[0] = tChannelSection(1, "on", std::string("BHZ"));
         },
         "no channel is switched on"},
        {"no usable rate",
         [](SyntheticRecording& t) {
             for (SynthSection& s : t.aSections)
                 if (s.sName == "GROUP1") s = tGroupSection(1, 1, 0);
             t.aSections.push_back(tChannelSection(2, "ON", std::string("BHN")));
             t.aSections.push_back(tGroupSection(2, 2, 40000));
             t.tFixed.anChannelList[1] = 1;
         },
         "no switched-on channel has a rate a record can carry (FREQ 1 to 32767): BHZ has FREQ "
         "0, BHN has FREQ 40000"},
        {"shorter than a record",
         [](SyntheticRecording& t) { t.onFileSize = nDefaultDataOffset + 455; },
         "the data area holds 455 bytes, less than one record (456 bytes)"},
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
    EXPECT_NE(r.sStderr.find("rec.vrx: the recording ends inside record 31 (77 of its"),
              std::string::npos);
    // The clock jumps once: one line, not one per record after it, and how
    // to follow the recorder's clock.
    EXPECT_NE(r.sStderr.find("rec.vrx: record 11 starts at 2004-12-07 13:45:45 UTC, not at "
                             "2004-12-07 13:45:40 UTC where the record before it ends: the "
                             "recorder's clock jumps by +5 s\n"),
              std::string::npos)
        << r.sStderr;
    EXPECT_EQ(nCountLines(r.sStderr, "tessal: warning: rec.vrx: record "), 1);
    EXPECT_NE(r.sStderr.find("convert with -recordtime to follow the recorder's clock\n"),
              std::string::npos);
    // The gain changes nothing: the same output as without it.
    const std::string sGained = sReadFile(tDir.sFile("rec.mseed"));
    ASSERT_EQ(tRunTessal({"rec.vrx", "-outname=plain.ms"}, tDir.sPath()).nExitStatus, 0);
    EXPECT_EQ(sReadFile(tDir.sFile("plain.ms")), sGained);
    // Converted into the same file again: one warning for the stream whose
    // span the file already holds; the records go in all the same.
    const ProcessResult rAgain = tRunTessal({"rec.vrx", "-outname=plain.ms"}, tDir.sPath());
    EXPECT_EQ(rAgain.nExitStatus, 0);
    EXPECT_EQ(nCountLines(rAgain.sStderr,
                          "tessal: warning: plain.ms: stream .ABC..BHZ already "
                          "holds 2004-12-07 13:45:30 UTC to 2004-12-07 "),
              1)
        << rAgain.sStderr;
    EXPECT_NE(rAgain.sStderr.find("the recording may have been converted into this file before"),
              std::string::npos);
    EXPECT_TRUE(sReadFile(tDir.sFile("plain.ms")) == sGained + sGained);
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
    EXPECT_NE(r.sStderr.find("channel list position 1 holds 40, which names no channel"),
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

// A recording whose conversion prints far more console text than a pipe and
// the program's buffer hold: 3 x 1,000,000 samples of noise, some 29000
// records, about 600 KB of text.
void vWriteTalkativeRecording(const TempDir& tDir, const std::string& sName) {
    StandardLayout t;
    t.nRecordSeconds = 10;
    t.nRecords = 1000;
    t.aeSignals = {SignalKind::WhiteNoise};
    aanWriteRecording(tDir, sName, tStandardRecording(t));
}

// Waits (at most about 20 s) until sPath holds more than nSize bytes.
bool bGrowsPast(const std::string& sPath, off_t nSize) {
    struct stat st;
    for (int i = 0; i < 2000; ++i) {
        if (stat(sPath.c_str(), &st) == 0 && st.st_size > nSize) return true;
        usleep(10000);
    }
    return false;
}

// A run stopped mid-way, by a signal or by its input shrinking under it,
// puts the output back and says so; a signal ignored when it started (a
// hangup under nohup) does not stop it. In a card of recordings, the
// verdict says which stay converted, which is put back and which never
// started, and the output's sentence says what earlier recordings wrote
// into it stays.
TEST(ConversionRun, AnInterruptedRunPutsTheOutputBack) {
    TempDir tDir;
    aanWriteRecording(tDir, "old.vrx", tStandardRecording(tLayout({"BHZ"}, 30)));
    aanWriteRecording(tDir, "new.vrx", tStandardRecording(tLayout({"BHN"}, 30)));
    ASSERT_EQ(tRunTessal({"old.vrx", "-outname=alone-old.ms"}, tDir.sPath()).nExitStatus, 0);
    const std::string sOldAlone = sReadFile(tDir.sFile("alone-old.ms"));
    const std::string sOldLine =
        "tessal: old.vrx: converted into rec.mseed: 1 channel, 2004-12-07 "
        "13:45:30 to 13:46:00 UTC, " +
        std::to_string(sOldAlone.size() / 512) + " records\n";
    const struct {
        std::vector<std::string> asArgs;
        bool bExisting;  // rec.mseed holds old.vrx's records before the run
        bool bShrink;    // the input is cut instead of the run being signalled
        int nSignal;
        bool bIgnored;  // the signal was ignored when the run started (nohup)
        std::string sStderr;
    } aCases[] = {
        {{"rec.vrx"},
         false,
         false,
         SIGTERM,
         false,
         "tessal: error: rec.mseed: interrupted by SIGTERM; the file is removed (this run created "
         "it)\n"},
        {{"rec.vrx"},
         true,
         false,
         SIGTERM,
         false,
         "tessal: error: rec.mseed: interrupted by SIGTERM; the file is left as it was\n"},
        // A recording that shrinks fails alone: the one after it converts.
        {{"rec.vrx", "old.vrx"},
         true,
         true,
         0,
         false,
         "tessal: error: rec.vrx: the recording shrank while it was read; the output rec.mseed is "
         "left as it was\n"
         "tessal: rec.vrx: failed (status 1): the recording shrank while it was read\n"
         "tessal: old.vrx: converted into old.mseed: 1 channel, 2004-12-07 13:45:30 to 13:46:00 "
         "UTC, " +
             std::to_string(sOldAlone.size() / 512) +
             " records\n"
             "tessal: verdict: 2 recordings: 1 converted, 0 verified, 0 cut short, 0 with clock "
             "jumps, 1 failed, 0 not started; rec.vrx failed (status 1); the other one was "
             "converted and synced\n"},
        {{"rec.vrx"}, true, false, SIGHUP, true, ""},  // a hangup under nohup: the run goes on
        // The second recording of three is stopped in the middle.
        {{"old.vrx", "rec.vrx", "new.vrx", "-outname=rec.mseed"},
         false,
         false,
         SIGINT,
         false,
         sOldLine +
             "tessal: error: rec.mseed: interrupted by SIGINT; the file is left as it was; what "
             "the recording converted into it before rec.vrx wrote stays\n"
             "tessal: verdict: interrupted by SIGINT; 3 recordings: 1 converted, 0 verified, 0 cut "
             "short, 0 with clock jumps, 0 failed, 1 put back, 1 not started; stay converted: "
             "old.vrx; put back: rec.vrx; never started: new.vrx\n"},
    };
    for (const auto& c : aCases) {
        SCOPED_TRACE(c.sStderr.substr(0, 60));
        vWriteTalkativeRecording(tDir, "rec.vrx");
        unlink(tDir.sFile("rec.mseed").c_str());
        std::string sOld;
        if (c.bExisting) {
            ASSERT_EQ(tRunTessal({"old.vrx", "-outname=rec.mseed"}, tDir.sPath()).nExitStatus, 0);
            sOld = sReadFile(tDir.sFile("rec.mseed"));
        }
        // What rec.mseed holds before rec.vrx's run begins.
        const std::string sBefore = c.asArgs[0] == "old.vrx" ? sOldAlone : sOld;
        // Nobody reads the console: the run blocks mid-way, records written.
        const int nIgnored = c.bIgnored ? c.nSignal : 0;
        unlink(tDir.sFile("old.mseed").c_str());
        BackgroundRun tRun =
            tStartTessal(c.asArgs, tDir.sPath(), tDir.sFile("err.txt"), [nIgnored] {
                if (nIgnored != 0) std::signal(nIgnored, SIG_IGN);
            });
        ASSERT_GT(tRun.nPid, 0);
        ASSERT_TRUE(bGrowsPast(tDir.sFile("rec.mseed"), static_cast<off_t>(sBefore.size()) + 4096));
        if (c.bShrink) {
            ASSERT_EQ(truncate(tDir.sFile("rec.vrx").c_str(), 1 << 20), 0);
        }
        if (c.nSignal != 0) kill(tRun.nPid, c.nSignal);
        if (c.bShrink || c.bIgnored) {
            char acText[65536];
            while (read(tRun.nConsole, acText, sizeof acText) > 0) {
            }
        }
        const ProcessResult r = tFinish(tRun);
        if (c.bIgnored) {
            // The run finished as if nothing had happened.
            EXPECT_EQ(r.nSignal, 0);
            EXPECT_EQ(r.nExitStatus, 0);
            EXPECT_EQ(sReadFile(tDir.sFile("err.txt")), "");
            ASSERT_EQ(tRunTessal({"rec.vrx", "-outname=alone.mseed"}, tDir.sPath()).nExitStatus, 0);
            EXPECT_TRUE(sReadFile(tDir.sFile("rec.mseed")) ==
                        sOld + sReadFile(tDir.sFile("alone.mseed")));
            continue;
        }
        EXPECT_EQ(r.nSignal, c.nSignal);
        EXPECT_EQ(r.nExitStatus, c.bShrink ? 1 : -1);
        if (!sBefore.empty()) {
            EXPECT_TRUE(sReadFile(tDir.sFile("rec.mseed")) == sBefore);
        } else {
            EXPECT_FALSE(bFileExists(tDir.sFile("rec.mseed")));
        }
        EXPECT_EQ(sReadFile(tDir.sFile("err.txt")), c.sStderr);
        EXPECT_EQ(bFileExists(tDir.sFile("old.mseed")), c.bShrink);
        EXPECT_FALSE(bFileExists(tDir.sFile("new.mseed")));
    }
}

// Whether process nPid is blocked writing to its descriptor nFile.
bool bBlockedWriting(pid_t nPid, int nFile) {
    std::string s = sReadFile("/proc/" + std::to_string(nPid) + "/syscall");
    return s.rfind(std::to_string(SYS_write) + " 0x" + std::to_string(nFile) + " ", 0) == 0;
}

// A signal between two recordings: the first stays converted, the second
// never started, and the verdict says so. The run is held between them by
// a full standard error, on which the first recording's line waits.
TEST(ConversionRun, AnInterruptionBetweenTwoRecordingsSaysWhatStays) {
    TempDir tDir;
    aanWriteRecording(tDir, "old.vrx", tStandardRecording(tLayout({"BHZ"}, 30)));
    aanWriteRecording(tDir, "new.vrx", tStandardRecording(tLayout({"BHN"}, 30)));
    ASSERT_EQ(tRunTessal({"old.vrx", "-outname=alone.ms"}, tDir.sPath()).nExitStatus, 0);
    int anErr[2];
    ASSERT_EQ(pipe(anErr), 0);
    fcntl(anErr[1], F_SETFL, O_NONBLOCK);
    const std::string sFull(65536, 'x');
    size_t nFull = 0;
    for (ssize_t n; (n = write(anErr[1], sFull.data(), 4096)) > 0;) nFull += static_cast<size_t>(n);
    fcntl(anErr[1], F_SETFL, 0);
    const int nErrWrite = anErr[1];
    BackgroundRun tRun = tStartTessal({"old.vrx", "new.vrx", "-quiet"}, tDir.sPath(),
                                      tDir.sFile("err.txt"), [nErrWrite] { dup2(nErrWrite, 2); });
    close(anErr[1]);
    ASSERT_GT(tRun.nPid, 0);
    bool bBlocked = false;
    for (int i = 0; i < 2000 && !bBlocked; ++i) {
        bBlocked = bBlockedWriting(tRun.nPid, 2);
        if (!bBlocked) usleep(10000);
    }
    ASSERT_TRUE(bBlocked) << "the run never wrote its first line";
    kill(tRun.nPid, SIGINT);
    std::string sErr;
    char ac[65536];
    for (ssize_t n; (n = read(anErr[0], ac, sizeof ac)) > 0;)
        sErr.append(ac, static_cast<size_t>(n));
    close(anErr[0]);
    EXPECT_EQ(tFinish(tRun).nSignal, SIGINT);
    ASSERT_GE(sErr.size(), nFull);
    // The waiting line goes out first when the pipe empties before the
    // signal is taken.
    sErr.erase(0, nFull);
    const std::string sLine =
        "tessal: old.vrx: converted into old.mseed: 1 channel, 2004-12-07 "
        "13:45:30 to 13:46:00 UTC, ";
    if (sErr.rfind(sLine, 0) == 0) sErr.erase(0, sErr.find('\n') + 1);
    EXPECT_EQ(sErr,
              "tessal: verdict: interrupted by SIGINT; 2 recordings: 1 converted, 0 verified, 0 "
              "cut short, 0 with clock jumps, 0 failed, 0 put back, 1 not started; stay "
              "converted: old.vrx; never started: new.vrx\n");
    EXPECT_TRUE(sReadFile(tDir.sFile("old.mseed")) == sReadFile(tDir.sFile("alone.ms")));
    EXPECT_FALSE(bFileExists(tDir.sFile("new.mseed")));
}

// The lines a terminal shows of sBytes, each without its trailing blanks:
// "\r" takes the cursor back to the line's start, and what follows
// overwrites what stood there. sLast gets the line the cursor stands on at
// the end.
std::vector<std::string> asScreenLines(const std::string& sBytes, std::string& sLast) {
    std::vector<std::string> as;
    std::string sLine;
    size_t nColumn = 0;
    for (const char c : sBytes) {
        if (c == '\r') {
            nColumn = 0;
        } else if (c == '\n') {
            as.push_back(sLine.substr(0, sLine.find_last_not_of(' ') + 1));
            sLine.clear();
            nColumn = 0;
        } else {
            if (nColumn == sLine.size())
                sLine.push_back(c);
            else
                sLine[nColumn] = c;
            ++nColumn;
        }
    }
    sLast = sLine.substr(0, sLine.find_last_not_of(' ') + 1);
    return as;
}

// The progress line shows on a terminal only where it cannot mix with the
// console text: with -quiet, or standard output in a file or /dev/null. It
// is cut to the terminal's width, names the recording and what it does,
// leaves nothing behind on the lines printed after it, and is gone at the
// end; it never reaches standard output, nor standard error in a file.
TEST(ConversionRun, AProgressLineShowsOnATerminalOnly) {
    TempDir tDir;
    const std::string sLong = "a-recording-whose-name-is-longer-than-the-terminal-is-wide.vrx";
    aanWriteRecording(tDir, "one.vrx", tStandardRecording(tLayout({"BHZ", "BHN"}, 200)));
    aanWriteRecording(tDir, sLong, tStandardRecording(tLayout({"BHZ"}, 300)));
    const std::vector<std::string> asCard = {"one.vrx", sLong, "-verify", "-outdir=out"};
    ASSERT_EQ(mkdir(tDir.sFile("out").c_str(), 0755), 0);
    const ProcessResult rPlain = tRunTessal(asCard, tDir.sPath());
    ASSERT_EQ(rPlain.nExitStatus, 0) << rPlain.sStderr;
    ASSERT_EQ(std::count(rPlain.sStderr.begin(), rPlain.sStderr.end(), '\n'), 3) << rPlain.sStderr;
    const auto fnTo = [](const std::string& sFile, int nFile) {
        return [sFile, nFile] {
            const int n = open(sFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            dup2(n, nFile);
        };
    };
    const std::string sStdout = tDir.sFile("stdout.txt"), sStderr = tDir.sFile("stderr.txt");
    enum class Screen { ErrorLines, AllLines, Nothing };  // what the terminal keeps
    const struct {
        const char* szWhat;
        bool bQuiet;
        std::function<void()> fnInChild;
        bool bProgress;
        Screen eScreen;
    } aCases[] = {
        {"-quiet", true, nullptr, true, Screen::ErrorLines},
        {"standard output into /dev/null", false, fnTo("/dev/null", 1), true, Screen::ErrorLines},
        {"standard output into a file", false, fnTo(sStdout, 1), true, Screen::ErrorLines},
        {"standard output on the terminal", false, nullptr, false, Screen::AllLines},
        {"standard error into a file", true, fnTo(sStderr, 2), false, Screen::Nothing},
    };
    for (const auto& c : aCases) {
        SCOPED_TRACE(c.szWhat);
        std::vector<std::string> asArgs = asCard;
        if (c.bQuiet) asArgs.push_back("-quiet");
        for (const std::string& sFile :
             {sStdout, sStderr, tDir.sFile("out/one.mseed"),
              tDir.sFile("out/" + sLong.substr(0, sLong.size() - 3) + "mseed")})
            unlink(sFile.c_str());
        const ProcessResult r = tRunTessalOnTerminal(asArgs, tDir.sPath(), 60, c.fnInChild);
        EXPECT_EQ(r.nExitStatus, 0);
        EXPECT_EQ(r.sStdout.find("% done") != std::string::npos, c.bProgress);
        // Each drawing of the line fits the terminal, one column to spare.
        for (size_t n = r.sStdout.find('\r'); n != std::string::npos;
             n = r.sStdout.find('\r', n + 1)) {
            const size_t nEnd = std::min(r.sStdout.find_first_of("\r\n", n + 1), r.sStdout.size());
            const std::string sDrawn = r.sStdout.substr(n + 1, nEnd - n - 1);
            if (sDrawn.find("% done") != std::string::npos) {
                EXPECT_LE(sDrawn.size(), 59u) << sDrawn;
            }
        }
        if (c.bProgress) {
            for (const char* sz : {"tessal: 1 of 2, one.vrx: converting; ",
                                   "tessal: 2 of 2, a-recording-whose-name-is-longer-tha",
                                   ": reading back; ", ": syncing; "})
                EXPECT_NE(r.sStdout.find(sz), std::string::npos) << sz;
        }
        // Files take exactly what a run without a terminal writes.
        if (bFileExists(sStdout)) {
            EXPECT_EQ(sReadFile(sStdout), rPlain.sStdout);
        }
        if (bFileExists(sStderr)) {
            EXPECT_EQ(sReadFile(sStderr), rPlain.sStderr);
        }
        // The screen keeps the lines of such a run and nothing of the
        // progress line, on them or after them.
        std::string sLast, sIgnored;
        std::vector<std::string> asScreen = asScreenLines(r.sStdout, sLast);
        EXPECT_EQ(sLast, "");
        switch (c.eScreen) {
            case Screen::ErrorLines:
                EXPECT_EQ(asScreen, asScreenLines(rPlain.sStderr, sIgnored));
                break;
            case Screen::AllLines: {
                std::vector<std::string> asAll =
                    asScreenLines(rPlain.sStdout + rPlain.sStderr, sIgnored);
                std::sort(asAll.begin(), asAll.end());
                std::sort(asScreen.begin(), asScreen.end());
                EXPECT_EQ(asScreen, asAll);
                break;
            }
            case Screen::Nothing:
                EXPECT_EQ(r.sStdout, "");
                break;
        }
    }

    // Stopped while it waits on an output nobody reads, the run erases the
    // line before the lines of the interruption.
    vWriteTalkativeRecording(tDir, "big.vrx");
    ASSERT_EQ(mkfifo(tDir.sFile("out.fifo").c_str(), 0600), 0);
    const int nReader = open(tDir.sFile("out.fifo").c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(nReader, 0);
    const ProcessResult r =
        tRunTessalOnTerminal({"big.vrx", sLong, "-quiet", "-outname=out.fifo"}, tDir.sPath(), 60,
                             nullptr, [](pid_t nPid, const std::string& sSoFar) {
                                 if (sSoFar.find("big.vrx: converting; ") != std::string::npos)
                                     kill(nPid, SIGINT);
                             });
    close(nReader);
    EXPECT_EQ(r.nSignal, SIGINT);
    std::string sLast;
    const std::vector<std::string> asScreen = asScreenLines(r.sStdout, sLast);
    EXPECT_EQ(sLast, "");
    ASSERT_EQ(asScreen.size(), 2u) << r.sStdout;
    EXPECT_EQ(asScreen[0].rfind("tessal: error: out.fifo: interrupted by SIGINT; ", 0), 0u)
        << asScreen[0];
    EXPECT_EQ(asScreen[1],
              "tessal: verdict: interrupted by SIGINT; 2 recordings: 0 converted, 0 "
              "verified, 0 cut short, 0 with clock jumps, 0 failed, 1 put back, 1 not "
              "started; none stays converted; put back: big.vrx; never started: " +
                  sLong);
}

// A console that fails costs nothing of the output: a reader that leaves
// early (like head -1) ends the run as usual, a full device gives status 4.
TEST(ConversionRun, TheConsoleNeverCostsTheOutput) {
    TempDir tDir;
    vWriteTalkativeRecording(tDir, "rec.vrx");
    ASSERT_EQ(tRunTessal({"rec.vrx", "-outname=alone.mseed"}, tDir.sPath()).nExitStatus, 0);
    const std::string sComplete = sReadFile(tDir.sFile("alone.mseed"));

    BackgroundRun tRun =
        tStartTessal({"rec.vrx", "-outname=closed.mseed"}, tDir.sPath(), tDir.sFile("err.txt"));
    char acFirst[64];
    EXPECT_GT(read(tRun.nConsole, acFirst, sizeof acFirst), 0);
    const ProcessResult rClosed = tFinish(tRun);  // closes the pipe unread
    EXPECT_EQ(rClosed.nSignal, 0);
    EXPECT_EQ(rClosed.nExitStatus, 0);
    EXPECT_EQ(sReadFile(tDir.sFile("err.txt")), "");
    EXPECT_TRUE(sReadFile(tDir.sFile("closed.mseed")) == sComplete);

    const ProcessResult rFull = tRunTessal({"rec.vrx", "-outname=full.mseed"}, tDir.sPath(), [] {
        const int nFull = open("/dev/full", O_WRONLY);
        dup2(nFull, 1);
    });
    EXPECT_EQ(rFull.nExitStatus, 4);
    EXPECT_EQ(rFull.sStderr,
              "tessal: error: standard output: No space left on device; full.mseed is complete\n");
    EXPECT_TRUE(sReadFile(tDir.sFile("full.mseed")) == sComplete);

    // A closed standard output: the output file must not take descriptor 1
    // and receive the console text.
    const ProcessResult rShut =
        tRunTessal({"rec.vrx", "-outname=shut.mseed"}, tDir.sPath(), [] { close(1); });
    EXPECT_EQ(rShut.nExitStatus, 0);
    EXPECT_TRUE(sReadFile(tDir.sFile("shut.mseed")) == sComplete);
}

// Where the file system cannot lock (flock fails, here by a seccomp filter),
// the run goes on unlocked and says so.
TEST(ConversionRun, AnOutputThatCannotBeLockedIsWrittenWithAWarning) {
    TempDir tDir;
    aanWriteRecording(tDir, "rec.vrx", tStandardRecording(tLayout({"BHZ"}, 20)));
    ASSERT_EQ(tRunTessal({"rec.vrx", "-outname=locked.ms"}, tDir.sPath()).nExitStatus, 0);
    const ProcessResult r =
        tRunTessal({"rec.vrx"}, tDir.sPath(), [] { vFailSystemCall(__NR_flock, ENOLCK); });
    EXPECT_EQ(r.nExitStatus, 0);
    EXPECT_EQ(r.sStderr,
              "tessal: warning: rec.mseed: cannot be locked (No locks available); the run goes "
              "on unlocked, so runs writing this file at the same time may mix their records\n");
    EXPECT_EQ(sReadFile(tDir.sFile("rec.mseed")), sReadFile(tDir.sFile("locked.ms")));
}

}  // namespace
