// -sds end to end: recordings converted into the day files of an SDS archive.
// libmseed reads each day file back as one trace of that UTC day only,
// numbered from 000001, every sample once; the archive holds exactly the SDS
// paths, created under the user's umask; codes that would collide or could
// not name a folder are refused before anything is written; a run that fails
// or is interrupted after writing several day files leaves the archive
// exactly as it was; recordings go in by their start times.
#include <dirent.h>
#include <gtest/gtest.h>
#include <libmseed.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstddef>
#include <ctime>
#include <map>
#include <string>
#include <vector>

#include "support/ConversionTestSupport.h"
#include "support/FileTree.h"
#include "support/Process.h"
#include "timeconv/UtcText.h"

namespace {

// A day file's path in the archive of network XX; sDay is "YEAR.DAY".
std::string sDayFile(const std::string& sStation, const std::string& sLocation,
                     const std::string& sChannel, const std::string& sDay) {
    return sDay.substr(0, 4) + "/XX/" + sStation + "/" + sChannel + ".D/XX." + sStation + "." +
           sLocation + "." + sChannel + ".D." + sDay;
}

int64_t nEpochMicros(int nYear, int nMonth, int nDay, int nHour, int nMinute, int nSecond) {
    std::tm t{};
    t.tm_year = nYear - 1900;
    t.tm_mon = nMonth - 1;
    t.tm_mday = nDay;  // one past the month's end is the next month's first
    t.tm_hour = nHour;
    t.tm_min = nMinute;
    t.tm_sec = nSecond;
    return static_cast<int64_t>(timegm(&t)) * 1000000;
}

std::vector<std::string> g_asLibmseedLog;
void vCaptureLibmseedLog(char* sz) {
    g_asLibmseedLog.emplace_back(sz ? sz : "");
}

// What one day file holds, by libmseed: the times of its first and last
// samples and its record count.
struct DayFile {
    int64_t nFirst = 0, nLast = 0;
    int nRecords = 0;
};

// Reads the records of sFile, the next day file of channel szChannel (codes
// XX.ABC.00), whose samples so far are an: each record must decode without a
// complaint, be numbered on from 000001 and start at its first sample's time,
// sample an.size() of a run that starts at nStart at nRate; its samples are
// appended to an. The file must be one trace without gap or overlap.
DayFile tReadDayFile(const std::string& sFile, const char* szChannel, int64_t nStart, int nRate,
                     std::vector<int32_t>& an) {
    DayFile t;
    EXPECT_EQ(sFile.size() % 512, 0u);
    g_asLibmseedLog.clear();
    MSTraceList* pList = mstl_init(nullptr);
    for (size_t k = 0; (k + 1) * 512 <= sFile.size(); ++k) {
        std::vector<char> ac(sFile.begin() + static_cast<std::ptrdiff_t>(512 * k),
                             sFile.begin() + static_cast<std::ptrdiff_t>(512 * (k + 1)));
        MSRecord* pMsr = nullptr;
        if (msr_unpack(ac.data(), 512, &pMsr, 1, 0) != MS_NOERROR) {
            ADD_FAILURE() << "record " << k + 1 << " does not decode";
            break;
        }
        EXPECT_STREQ(pMsr->network, "XX");
        EXPECT_STREQ(pMsr->station, "ABC");
        EXPECT_STREQ(pMsr->location, "00");
        EXPECT_STREQ(pMsr->channel, szChannel);
        EXPECT_EQ(pMsr->sequence_number, static_cast<int32_t>(k + 1));
        EXPECT_EQ(pMsr->samprate, nRate);
        const int64_t nTime = nStart + static_cast<int64_t>(an.size()) * 1000000 / nRate;
        EXPECT_EQ(pMsr->starttime, nTime) << "record " << k + 1;
        if (k == 0) t.nFirst = nTime;
        const int32_t* pn = static_cast<const int32_t*>(pMsr->datasamples);
        an.insert(an.end(), pn, pn + pMsr->numsamples);
        t.nLast = nStart + static_cast<int64_t>(an.size() - 1) * 1000000 / nRate;
        // The trace list needs the times alone: without the samples it does
        // not copy the day's samples over again for every record.
        pMsr->numsamples = 0;
        mstl_addmsr(pList, pMsr, 0, 1, -1.0, -1.0);
        msr_free(&pMsr);
        ++t.nRecords;
    }
    for (const std::string& s : g_asLibmseedLog) ADD_FAILURE() << "libmseed: " << s;
    EXPECT_EQ(pList->numtraces, 1);
    EXPECT_EQ(pList->traces != nullptr ? pList->traces->numsegments : 0, 1);
    mstl_free(&pList, 0);
    return t;
}

TEST(ArchiveXcheck, ANightIsCutAtMidnightIntoOneTracePerDayFile) {
    // Three channels, 22:00 to 02:00 at 100 sps: midnight falls at the end of
    // a 10000-sample chunk, or (7 s later) inside one and inside a record.
    const struct {
        int nYear, nMonth, nDay, nSecond;  // the recording starts at 22:00:nSecond
        const char* aszDays[2];            // the day files' YEAR.DAY
        bool bVerify;
    } aRows[] = {
        {2024, 2, 29, 0, {"2024.060", "2024.061"}, false},   // a leap day
        {2024, 12, 31, 7, {"2024.366", "2025.001"}, false},  // a leap year's New Year
        {2024, 2, 29, 7, {"2024.060", "2024.061"}, true},    // read back
    };
    const char* aszCodes[] = {"HHZ", "HHN", "HHE"};
    constexpr int nRate = 100;
    ms_loginit(vCaptureLibmseedLog, nullptr, vCaptureLibmseedLog, nullptr);
    for (const auto& row : aRows) {
        SCOPED_TRACE(std::string(row.aszDays[0]) + " from 22:00:0" + std::to_string(row.nSecond));
        StandardLayout t;
        t.nRate = nRate;
        t.nRecordSeconds = 10;
        t.nRecords = 4 * 360;
        t.aeSignals = {SignalKind::RecorderLike, SignalKind::Extremes, SignalKind::WhiteNoise};
        SyntheticRecording tRec = tStandardRecording(t);
        tRec.nYear = static_cast<int16_t>(row.nYear);
        tRec.nMonth = static_cast<int16_t>(row.nMonth);
        tRec.nDay = static_cast<int16_t>(row.nDay);
        tRec.nHour = 22;
        tRec.nMinute = 0;
        tRec.nSecond = static_cast<int16_t>(row.nSecond);
        TempDir tDir;
        const auto aanExpected = aanWriteRecording(tDir, "rec.vrx", tRec);
        ASSERT_EQ(mkdir(tDir.sFile("archive").c_str(), 0755), 0);
        std::vector<std::string> asArgs = {"rec.vrx",      "-sds=archive", "-network=XX",
                                           "-station=ABC", "-location=00", "-channels=HHZ,HHN,HHE"};
        if (row.bVerify) asArgs.push_back("-verify");
        const ProcessResult r = tRunTessal(asArgs, tDir.sPath(), [] { umask(027); });
        ASSERT_EQ(r.nExitStatus, 0) << r.sStderr;

        // Exactly the six day files and their folders, as the umask allows.
        std::vector<std::string> asFiles;
        for (const char* szCode : aszCodes)
            for (const char* szDay : row.aszDays)
                asFiles.push_back(sDayFile("ABC", "00", szCode, szDay));
        const Tree tArchive = tTree(tDir.sFile("archive"));
        ASSERT_EQ(sDifference(tWithFiles({}, asFiles), tArchive, false), "");
        for (const auto& [sPath, sContent] : tArchive) {
            struct stat st {};
            ASSERT_EQ(stat(tDir.sFile("archive/" + sPath).c_str(), &st), 0);
            EXPECT_EQ(st.st_mode & 07777, sPath.back() == '/' ? 0750u : 0640u) << sPath;
        }

        // Each stream's day files, one after the other, hold its samples; the
        // first ends before midnight, the second begins at it.
        const int64_t nStart = nEpochMicros(row.nYear, row.nMonth, row.nDay, 22, 0, row.nSecond);
        const int64_t nMidnight = nEpochMicros(row.nYear, row.nMonth, row.nDay + 1, 0, 0, 0);
        int nRecords = 0;
        for (size_t p = 0; p < 3; ++p) {
            SCOPED_TRACE(aszCodes[p]);
            std::vector<int32_t> an;
            const DayFile tEve =
                tReadDayFile(tArchive.at(asFiles[2 * p]), aszCodes[p], nStart, nRate, an);
            const DayFile tMorning =
                tReadDayFile(tArchive.at(asFiles[2 * p + 1]), aszCodes[p], nStart, nRate, an);
            EXPECT_EQ(tEve.nFirst, nStart);
            EXPECT_LT(tEve.nLast, nMidnight);
            EXPECT_GE(tEve.nLast + 1000000 / nRate, nMidnight);
            EXPECT_EQ(tMorning.nFirst, nMidnight);
            EXPECT_EQ(an, std::vector<int32_t>(aanExpected[p].begin(), aanExpected[p].end()));
            nRecords += tEve.nRecords + tMorning.nRecords;
        }
        // Every day file's numbering starts its own segment on the console.
        EXPECT_EQ(nCountLines(r.sStdout, "Seed block number 000001"), 6);
        EXPECT_EQ(nCountLines(r.sStdout, "Seed block counts "), nRecords);
        // One line for the recording: its day files, its span in UTC, its
        // records; read back, also the verdict.
        const int64_t nEnd = nStart / 1000000 + 4 * 3600;
        EXPECT_EQ(r.sStderr,
                  "tessal: rec.vrx: converted into 6 day files of archive: 3 channels, " +
                      sUtcText(nStart / 1000000) + " to " + sUtcText(nEnd) + " UTC, " +
                      std::to_string(nRecords) + " records" +
                      (row.bVerify ? ", verified\ntessal: verdict: 1 recording: 1 converted, 1 "
                                     "verified, 0 cut short, 0 with clock jumps, 0 failed, 0 not "
                                     "started; the recording was converted, synced, read back and "
                                     "found equal to it\n"
                                   : "\n"));
    }
}

TEST(ArchiveXcheck, CodesThatCollideOrCannotNameAFolderAreRefusedBeforeAnythingIsWritten) {
    // A five-second recording of day 342 of 2004; a refused run creates
    // nothing, in the archive or beside it.
    const std::string sCollide =
        "tessal: error: rec.vrx: channels CH10 and CH11 would both be written as ";
    const std::string sStationRefused = "tessal: error: rec.vrx: station code \"";
    const struct {
        const char* szStation;
        std::vector<std::string> asChannels;
        std::vector<std::string> asArgs;  // after rec.vrx
        int nStatus;
        std::vector<std::string> asStderr;  // each somewhere in standard error
        std::vector<std::string> asCreated;
    } aCases[] = {
        {"STA", {"CH10", "CH11"}, {}, 1, {sCollide, "-channels="}, {}},
        {"STA",
         {"CH10", "CH11"},
         {"-sds=archive", "-network=XX"},
         1,
         {sCollide + "XX.STA..CH1, and their samples could no longer be told apart; give each its "
                     "own code with -channels=C1,C2,...\n"},
         {}},
        {"STA",
         {"CH10", "CH11"},
         {"-sds=archive", "-network=XX", "-channels=AB1,ab2"},
         0,
         {},
         {"archive/" + sDayFile("STA", "", "AB1", "2004.342"),
          "archive/" + sDayFile("STA", "", "AB2", "2004.342")}},
        {"STA", {"CH10", "CH11"}, {"-channels=AB1,AB2"}, 0, {}, {"rec.mseed"}},
        {"STA",
         {"CH10", "CH11"},
         {"-channels=AB1,AB2,AB3"},
         2,
         {"tessal: error: rec.vrx: -channels gives 3 codes, and the recording has 2 channels to "
          "convert ("},
         {}},
        {"STA", {"CH10", "CH11"}, {"-channels=AB1,ab1"}, 2, {"the code AB1 is given twice"}, {}},
        {"../x",
         {"BHZ", "BHN"},
         {"-sds=archive", "-network=XX"},
         1,
         {sStationRefused + "../x\" cannot name a folder of the archive, which takes capital "
                            "letters and digits only; choose the code with -station=CODE\n"},
         {}},
        {"../..",
         {"BHZ", "BHN"},
         {"-sds=archive", "-network=XX"},
         1,
         {sStationRefused + "../..\""},
         {}},
        {"abc",
         {"BHZ", "BHN"},
         {"-sds=archive", "-network=XX"},
         1,
         {sStationRefused + "abc\""},
         {}},
        {"ABC",
         {"BHZ", "h/z"},
         {"-sds=archive", "-network=XX"},
         1,
         {"tessal: error: rec.vrx: channel code \"h/z\""},
         {}},
        {"ABC",
         {"BHZ", "BHN"},
         {"-sds=nowhere", "-network=XX"},
         3,
         {"tessal: error: nowhere: no such folder for the archive (-sds)\n"},
         {}},
        {"ABC",
         {"BHZ", "BHN"},
         {"-sds=rec.vrx", "-network=XX"},
         3,
         {"tessal: error: rec.vrx: is a file, not a folder; -sds names the folder of the "
          "archive\n"},
         {}},
        {"../x",
         {"BHZ", "h/z"},
         {"-sds=archive", "-network=XX", "-station=abc", "-channels=BHZ,HHN"},
         0,
         {},
         {"archive/" + sDayFile("ABC", "", "BHZ", "2004.342"),
          "archive/" + sDayFile("ABC", "", "HHN", "2004.342")}},
        // Without -sds such codes are written as they are, with a warning.
        {"st a",
         {"BHZ", "hhn"},
         {},
         0,
         {"tessal: warning: rec.vrx: station code \"st a\" is not capital letters and digits, as "
          "archives expect; the records carry it as it is (-station=CODE replaces it)\n",
          "tessal: warning: rec.vrx: channel code \"hhn\" is not capital letters and digits, as "
          "archives expect; the records carry it as it is (-channels=C1,C2,... replaces it)\n"},
         {"rec.mseed"}},
    };
    for (const auto& c : aCases) {
        SCOPED_TRACE(std::string(c.szStation) + " " + c.asChannels[1] + " " +
                     (c.asArgs.empty() ? "" : c.asArgs.back()));
        TempDir tDir;
        StandardLayout t;
        t.sStation = c.szStation;
        t.asChannels = c.asChannels;
        t.nRecords = 5;
        aanWriteRecording(tDir, "rec.vrx", tStandardRecording(t));
        ASSERT_EQ(mkdir(tDir.sFile("archive").c_str(), 0755), 0);
        const Tree tBefore = tTree(tDir.sPath());
        std::vector<std::string> asArgs = c.asArgs;
        asArgs.insert(asArgs.begin(), "rec.vrx");
        const ProcessResult r = tRunTessal(asArgs, tDir.sPath());
        EXPECT_EQ(r.nExitStatus, c.nStatus) << r.sStderr;
        if (c.asStderr.empty()) {
            // A run into the archive says what it wrote, and nothing else.
            const bool bArchive =
                std::find(c.asArgs.begin(), c.asArgs.end(), "-sds=archive") != c.asArgs.end();
            EXPECT_EQ(r.sStderr.rfind("tessal: rec.vrx: converted into 2 day files of archive: 2 "
                                      "channels, 2004-12-07 13:45:30 to 13:45:35 UTC, ",
                                      0),
                      bArchive ? 0 : std::string::npos)
                << r.sStderr;
            EXPECT_EQ(std::count(r.sStderr.begin(), r.sStderr.end(), '\n'), bArchive ? 1 : 0);
        }
        for (const std::string& s : c.asStderr)
            EXPECT_NE(r.sStderr.find(s), std::string::npos) << r.sStderr;
        EXPECT_EQ(sDifference(tWithFiles(tBefore, c.asCreated), tTree(tDir.sPath()), false), "");
        // The codes the records carry are those the files are named by.
        for (const std::string& sFile : c.asCreated) {
            const std::vector<RecordFields> at = atRecordFields(sReadFile(tDir.sFile(sFile)));
            ASSERT_FALSE(at.empty()) << sFile;
            if (sFile == "rec.mseed") continue;
            EXPECT_EQ(at.front().sChannel, sFile.substr(sFile.size() - 14, 3));
            EXPECT_EQ(at.front().sStation.substr(0, 3), sFile.substr(sFile.find("XX/") + 3, 3));
        }
    }
}

// Waits (at most about 20 s) until sPath holds more than nSize bytes.
bool bGrowsPast(const std::string& sPath, off_t nSize) {
    struct stat st {};
    for (int i = 0; i < 2000; ++i) {
        if (stat(sPath.c_str(), &st) == 0 && st.st_size > nSize) return true;
        usleep(10000);
    }
    return false;
}

TEST(ArchiveXcheck, AFailedOrInterruptedRunLeavesTheArchiveAsItWas) {
    // old.vrx fills an hour of New Year's Eve; new.vrx runs from 23:30 for
    // 20 hours into the new year: it appends to both streams' day files of
    // 2024 and creates the folders and day files of 2025. It fails once
    // those grow past a file size limit (which binds root too), or is
    // stopped by SIGTERM while its console, unread, holds it inside them.
    TempDir tDir;
    StandardLayout t;
    t.sStation = "ABC";
    t.asChannels = {"BHZ", "BHN"};
    t.nRate = 20;
    t.nRecordSeconds = 10;
    t.aeSignals = {SignalKind::WhiteNoise};
    t.nRecords = 360;
    SyntheticRecording tOld = tStandardRecording(t);
    t.nRecords = 41 * 180;
    t.nSeed = 2;
    SyntheticRecording tNew = tStandardRecording(t);
    for (SyntheticRecording* p : {&tOld, &tNew}) {
        p->nYear = 2024;
        p->nMonth = 12;
        p->nDay = 31;
        p->nSecond = 0;
    }
    tOld.nHour = 20;
    tOld.nMinute = 0;
    tNew.nHour = 23;
    tNew.nMinute = 30;
    aanWriteRecording(tDir, "old.vrx", tOld);
    aanWriteRecording(tDir, "new.vrx", tNew);
    const std::string sArchive = tDir.sFile("archive");
    ASSERT_EQ(mkdir(sArchive.c_str(), 0755), 0);
    ASSERT_EQ(mkdir(tDir.sFile("whole").c_str(), 0755), 0);
    for (const char* szRecording : {"old.vrx", "new.vrx"})
        ASSERT_EQ(tRunTessal({szRecording, "-sds=whole", "-network=XX"}, tDir.sPath()).nExitStatus,
                  0);
    const Tree tWhole = tTree(tDir.sFile("whole"));
    const std::string sEve = sDayFile("ABC", "", "BHZ", "2024.366"),
                      sMorning = sDayFile("ABC", "", "BHZ", "2025.001");
    ASSERT_EQ(tWhole.count(sMorning), 1u);
    // The limit lets the eve's files grow to their end and stops the
    // morning's half-way.
    const rlim_t nLimit = (tWhole.at(sEve).size() + tWhole.at(sMorning).size()) / 2;
    ASSERT_GT(nLimit, tWhole.at(sEve).size() + 100 * 512);

    ASSERT_EQ(tRunTessal({"old.vrx", "-sds=archive", "-network=XX"}, tDir.sPath()).nExitStatus, 0);
    const Tree tBefore = tTree(sArchive);
    const std::vector<std::string> asArgs = {"new.vrx", "-sds=archive", "-network=XX"};
    for (const int nSignal : {0, SIGTERM}) {
        SCOPED_TRACE(nSignal == 0 ? "file size limit" : "SIGTERM");
        if (nSignal == 0) {
            const ProcessResult r = tRunTessal(asArgs, tDir.sPath(), [nLimit] {
                const struct rlimit tLimit = {nLimit, nLimit};
                setrlimit(RLIMIT_FSIZE, &tLimit);
            });
            EXPECT_EQ(r.nExitStatus, 3);
            EXPECT_NE(r.sStderr.find("File too large"), std::string::npos) << r.sStderr;
        } else {
            BackgroundRun tRun = tStartTessal(asArgs, tDir.sPath(), tDir.sFile("err.txt"));
            ASSERT_GT(tRun.nPid, 0);
            const bool bMorning = bGrowsPast(sArchive + "/" + sMorning, 4096);
            struct stat st {};
            stat((sArchive + "/" + sEve).c_str(), &st);
            kill(tRun.nPid, nSignal);
            EXPECT_EQ(tFinish(tRun).nSignal, nSignal);
            ASSERT_TRUE(bMorning) << "no records reached " << sMorning;
            EXPECT_GT(static_cast<size_t>(st.st_size), tBefore.at(sEve).size());
            EXPECT_NE(sReadFile(tDir.sFile("err.txt")).find("SIGTERM"), std::string::npos);
        }
        EXPECT_EQ(sDifference(tBefore, tTree(sArchive), true), "");
    }
    // The archive takes the run afterwards as if nothing had happened.
    const ProcessResult r = tRunTessal(asArgs, tDir.sPath());
    EXPECT_EQ(r.nExitStatus, 0) << r.sStderr;
    EXPECT_EQ(r.sStderr,
              "tessal: new.vrx: converted into 4 day files of archive: 2 channels, 2024-12-31 "
              "23:30:00 to 2025-01-01 20:00:00 UTC, 24905 records\n");
    EXPECT_EQ(sDifference(tWhole, tTree(sArchive), true), "");
}

TEST(ArchiveXcheck, RecordingsGoInByTheirStartTimesAndOneConvertedAgainChangesNothing) {
    // Two hours of one day, given the later first: the day file holds them
    // in time order. The earlier one converted again is there already.
    TempDir tDir;
    StandardLayout t;
    t.sStation = "ABC";
    t.asChannels = {"HHZ"};
    t.nRecords = 600;
    SyntheticRecording tEarly = tStandardRecording(t), tLate = tStandardRecording(t);
    tEarly.nHour = 10;
    tLate.nHour = 12;
    aanWriteRecording(tDir, "early.vrx", tEarly);
    aanWriteRecording(tDir, "late.vrx", tLate);
    ASSERT_EQ(mkdir(tDir.sFile("archive").c_str(), 0755), 0);
    const ProcessResult r =
        tRunTessal({"late.vrx", "early.vrx", "-sds=archive", "-network=XX"}, tDir.sPath());
    EXPECT_EQ(r.nExitStatus, 0);
    // The recording lines come in the order of conversion.
    EXPECT_EQ(r.sStderr,
              "tessal: early.vrx: converted into 1 day file of archive: 1 channel, 2004-12-07 "
              "10:45:30 to 10:55:30 UTC, 97 records\n"
              "tessal: late.vrx: converted into 1 day file of archive: 1 channel, 2004-12-07 "
              "12:45:30 to 12:55:30 UTC, 97 records\n"
              "tessal: verdict: 2 recordings: 2 converted, 0 verified, 0 cut short, 0 with clock "
              "jumps, 0 failed, 0 not started; every recording was converted and synced; none was "
              "read back (-verify compares the records with the recordings)\n");
    const std::string sFile = "archive/" + sDayFile("ABC", "", "HHZ", "2004.342");
    const std::vector<RecordFields> at = atRecordFields(sReadFile(tDir.sFile(sFile)));
    ASSERT_FALSE(at.empty());
    EXPECT_EQ(at.front().nHour, 10);
    EXPECT_EQ(at.back().nHour, 12);
    for (size_t k = 1; k < at.size(); ++k)
        EXPECT_LE(at[k - 1].nHour * 3600 + at[k - 1].nMinute * 60 + at[k - 1].nSecond,
                  at[k].nHour * 3600 + at[k].nMinute * 60 + at[k].nSecond)
            << "record " << k + 1;

    const std::string sBefore = sReadFile(tDir.sFile(sFile));
    const ProcessResult rAgain =
        tRunTessal({"early.vrx", "-sds=archive", "-network=XX"}, tDir.sPath());
    EXPECT_EQ(rAgain.nExitStatus, 0);
    // Its line says the archive held it all already.
    const std::string sHeld =
        "; all 60,000 samples of 1 stream were already in the archive; nothing written\n";
    ASSERT_GE(rAgain.sStderr.size(), sHeld.size());
    EXPECT_EQ(rAgain.sStderr.substr(rAgain.sStderr.size() - sHeld.size()), sHeld)
        << rAgain.sStderr;
    EXPECT_EQ(sReadFile(tDir.sFile(sFile)), sBefore);
}

}  // namespace
