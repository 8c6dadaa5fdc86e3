// mseed-inspect run as a process on inputs that are not (only) MiniSEED
// records: each gives one error line and the right status, never a crash
// and never fields read from bytes that are not a record. Gaps, overlaps
// and records out of order in one file; with --sds, an archive written by
// tessal and then damaged in each of the ways a reader would stumble over.
#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "MiniSeedFile.h"
#include "support/Process.h"
#include "support/TempDir.h"

namespace {

ProcessResult tRunInspect(const std::vector<std::string>& asArgs) {
    return tRunProcess(MSEED_INSPECT_PROGRAM, asArgs);
}

// Three records of one channel: 2100 samples of a slow ramp.
std::string sThreeRecords(const TempDir& tDir) {
    SeedTrace t = tTrace("STA", "BHZ");
    for (int i = 0; i < 2100; ++i) t.anSamples.push_back(i % 300);
    const std::string sPath = tDir.sFile("three.mseed");
    vWriteMiniSeed(sPath, {t});
    return sReadFile(sPath);
}

TEST(MseedInspectTool, BadInputsGiveOneErrorLineNeverFields) {
    TempDir tDir;
    const std::string sRecords = sThreeRecords(tDir);
    ASSERT_EQ(sRecords.size(), 3 * 512u);
    std::string sBadYear = sRecords.substr(0, 512);
    sBadYear[20] = '\x3D';  // year 15732: 0x3D74
    sBadYear[21] = '\x74';
    const std::string sVorn = "[CH1]\r\nSTAT=ON\r\nNAME=BHZ\r\n" + std::string(3000, '\0');

    const struct {
        const char* szName;
        std::function<std::string()> fnMakeInput;  // returns the path to inspect
        int nStatus;
        std::string sStderr;  // after "mseed-inspect: error: PATH: "; "" for none
        std::string sStdoutStart;
    } aCases[] = {
        {"directory", [&] { return tDir.sPath(); }, 2, "is a directory, not a MiniSEED file", ""},
        {"missing", [&] { return tDir.sFile("none"); }, 2, "cannot open: No such file or directory",
         ""},
        {"read error", [] { return std::string("/proc/self/mem"); }, 2,
         "cannot read: Input/output error", ""},
        {"empty",
         [&] {
             vWriteFile(tDir.sFile("empty"), "");
             return tDir.sFile("empty");
         },
         2, "is empty, not a MiniSEED file", ""},
        {"recording",
         [&] {
             vWriteFile(tDir.sFile("r.vrx"), sVorn);
             return tDir.sFile("r.vrx");
         },
         2, "not a MiniSEED record at byte 0 (no sequence number and quality code)", ""},
        {"year 15732",
         [&] {
             vWriteFile(tDir.sFile("y"), sBadYear);
             return tDir.sFile("y");
         },
         2, "not a MiniSEED record at byte 0 (no valid start time)", ""},
        {"text after records",
         [&] {
             vWriteFile(tDir.sFile("t"), sRecords + sVorn);
             return tDir.sFile("t");
         },
         1, "not a MiniSEED record at byte 1536 (no sequence number and quality code)",
         tDir.sFile("t") + ": 3 records of 512 bytes\n"},
        {"few bytes after records",
         [&] {
             vWriteFile(tDir.sFile("f"), sRecords + "0000");
             return tDir.sFile("f");
         },
         1, "not a MiniSEED record at byte 1536 (4 bytes are too few for a record header)",
         tDir.sFile("f") + ": 3 records of 512 bytes\n"},
        {"record cut short",
         [&] {
             vWriteFile(tDir.sFile("c"), sRecords.substr(0, 1100));
             return tDir.sFile("c");
         },
         1, "", tDir.sFile("c") + ": 3 records of 512 bytes\n"},
    };
    for (const auto& c : aCases) {
        const std::string sPath = c.fnMakeInput();
        const ProcessResult p = tRunInspect({sPath, "--records"});
        EXPECT_EQ(p.nExitStatus, c.nStatus) << c.szName << "\n" << p.sStderr;
        EXPECT_EQ(p.sStderr, c.sStderr.empty()
                                 ? ""
                                 : "mseed-inspect: error: " + sPath + ": " + c.sStderr + "\n")
            << c.szName;
        EXPECT_EQ(p.sStdout.substr(0, c.sStdoutStart.size()), c.sStdoutStart) << c.szName;
        if (c.sStdoutStart.empty()) {
            EXPECT_EQ(p.sStdout, "") << c.szName;
        }
    }
    // The record cut short is listed as such, not as a wrong length.
    const ProcessResult p = tRunInspect({tDir.sFile("c"), "--records"});
    EXPECT_NE(p.sStdout.find("ERROR: cut short: the file ends 76 bytes into it"), std::string::npos)
        << p.sStdout;
}

TEST(MseedInspectTool, NamesOutsidePrintableAsciiAreEscaped) {
    TempDir tDir;
    SeedTrace t = tTrace("A\nB", "\xE9Z");
    t.anSamples.assign(100, 7);
    vWriteMiniSeed(tDir.sFile("n.mseed"), {t});
    const ProcessResult p = tRunInspect({tDir.sFile("n.mseed")});
    EXPECT_EQ(p.nExitStatus, 0) << p.sStderr;
    EXPECT_NE(p.sStdout.find("\n   A\\x0AB    \\xE9Z "), std::string::npos) << p.sStdout;
    EXPECT_EQ(p.sStdout.find('\xE9'), std::string::npos);
}

TEST(MseedInspectTool, UsageMistakesAndAFullConsoleGiveOneErrorLine) {
    const ProcessResult pSize = tRunInspect({"x.mseed", "--size", "100x100"});
    EXPECT_EQ(pSize.nExitStatus, 2);
    EXPECT_EQ(pSize.sStderr,
              "mseed-inspect: error: --size needs WIDTHxHEIGHT from 320x200 to 16000x16000, not "
              "\"100x100\"\n");
    const ProcessResult pOption = tRunInspect({"x.mseed", "-x"});
    EXPECT_EQ(pOption.nExitStatus, 2);
    EXPECT_EQ(pOption.sStderr,
              "mseed-inspect: error: unexpected argument \"-x\" (see mseed-inspect --help)\n");
    const ProcessResult pArchiveAndFile = tRunInspect({"--sds", "sds", "--continuous"});
    EXPECT_EQ(pArchiveAndFile.nExitStatus, 2);
    EXPECT_EQ(pArchiveAndFile.sStderr,
              "mseed-inspect: error: --sds DIR takes no file and no other option (see "
              "mseed-inspect --help)\n");
    TempDir tDir;
    const ProcessResult pNoArchive = tRunInspect({"--sds", tDir.sFile("none")});
    EXPECT_EQ(pNoArchive.nExitStatus, 2);
    EXPECT_EQ(pNoArchive.sStdout, "");
    EXPECT_EQ(pNoArchive.sStderr, "mseed-inspect: error: " + tDir.sFile("none") +
                                      ": cannot open the folder: No such file or directory\n");
    sThreeRecords(tDir);
    const ProcessResult pFull = tRunProcess(MSEED_INSPECT_PROGRAM, {tDir.sFile("three.mseed")}, "",
                                            [] { (void)!freopen("/dev/full", "w", stdout); });
    EXPECT_EQ(pFull.nExitStatus, 4);
    EXPECT_EQ(pFull.sStderr, "mseed-inspect: error: standard output: No space left on device\n");
}

TEST(MseedInspectTool, GapsAndOverlapsPerStreamSequenceNumbersOnlyNoted) {
    TempDir tDir;
    const std::string sOnce = sThreeRecords(tDir);
    std::string sShifted = sOnce, sRenumbered = sOnce;
    sShifted[512 + 29] = static_cast<char>(sShifted[512 + 29] + 60);  // record 2: 6 ms late
    sRenumbered[512 + 5] = '9';                                       // record 2 is numbered 000009
    const struct {
        const char* szName;
        std::string sBytes;
        std::string sLine;  // the stream's line from its record count on
        std::string sNote;  // a line that must follow, or ""
        int nStatus, nContinuousStatus;
        std::string sOrderLine;  // the line --continuous adds on records out of order, or ""
    } aCases[] = {
        {"once", sOnce,
         "3       2100  2010-01-01 00:00:00.0000  2010-01-01 00:00:20.9900     0 "
         "       0  ok",
         "", 0, 0, ""},
        {"twice", sOnce + sOnce,
         "6       4200  2010-01-01 00:00:00.0000  2010-01-01 00:00:20.9900     0        3  ok",
         "      overlap of 7.080000 s at the record at 1536", 0, 1,
         "      1 record out of time order, the first at 1536: it starts at 2010-01-01 "
         "00:00:00.0000, before the record at 1024 (2010-01-01 00:00:14.1300)"},
        {"unsorted", sOnce.substr(512, 512) + sOnce.substr(0, 512) + sOnce.substr(1024),
         "3       2100  2010-01-01 00:00:00.0000  2010-01-01 00:00:20.9900     0        0  ok", "",
         0, 1,
         "      1 record out of time order, the first at 512: it starts at 2010-01-01 "
         "00:00:00.0000, before the record at 0 (2010-01-01 00:00:07.0800)"},
        {"shifted", sShifted,
         "3       2100  2010-01-01 00:00:00.0000  2010-01-01 00:00:20.9900     1        1  ok",
         "      gap of 0.006000 s before the record at 512", 0, 1, ""},
        {"renumbered", sRenumbered,
         "3       2100  2010-01-01 00:00:00.0000  2010-01-01 00:00:20.9900     0        0  ok",
         "      note: 2 sequence numbers do not follow the record before", 0, 0, ""},
    };
    for (const auto& c : aCases) {
        const std::string sPath = tDir.sFile(c.szName);
        vWriteFile(sPath, c.sBytes);
        const ProcessResult p = tRunInspect({sPath, "--records"});
        EXPECT_EQ(p.nExitStatus, c.nStatus) << c.szName << "\n" << p.sStdout;
        EXPECT_NE(p.sStdout.find("\n   STA      BHZ " + std::string(8 - 1, ' ') + c.sLine),
                  std::string::npos)
            << c.szName << "\n"
            << p.sStdout;
        if (!c.sNote.empty()) {
            EXPECT_NE(p.sStdout.find("\n" + c.sNote + "\n"), std::string::npos) << c.szName << "\n"
                                                                                << p.sStdout;
        }
        const ProcessResult pContinuous = tRunInspect({sPath, "--continuous"});
        EXPECT_EQ(pContinuous.nExitStatus, c.nContinuousStatus) << c.szName;
        // Only --continuous tells of the order, and only where there is one to tell of.
        EXPECT_EQ(p.sStdout.find("out of time order"), std::string::npos) << c.szName;
        EXPECT_EQ(pContinuous.sStdout.find("out of time order") != std::string::npos,
                  !c.sOrderLine.empty())
            << c.szName << "\n"
            << pContinuous.sStdout;
        if (!c.sOrderLine.empty()) {
            EXPECT_NE(pContinuous.sStdout.find("\n" + c.sOrderLine + "\n"), std::string::npos)
                << c.szName << "\n"
                << pContinuous.sStdout;
        }
    }
}

// An archive of network XX, station ABC, written by tessal from four
// minutes of three channels at 100 sps from 2024-02-29 23:58:00: two day
// files per channel, 18 records each.
std::string sMakeArchive(const TempDir& tDir) {
    const ProcessResult pSynth = tRunProcess(
        VORN_SYNTH_PROGRAM, {"--out", tDir.sFile("rec.vrx"), "--start", "2024-02-29T23:58:00",
                             "--seconds", "240", "--channels", "HHZ,HHN,HHE"});
    EXPECT_EQ(pSynth.nExitStatus, 0) << pSynth.sStderr;
    std::filesystem::create_directory(tDir.sFile("sds"));
    const ProcessResult p =
        tRunTessal({"rec.vrx", "-sds=sds", "-network=XX", "-station=ABC", "-quiet"}, tDir.sPath());
    EXPECT_EQ(p.nExitStatus, 0) << p.sStderr;
    return tDir.sFile("sds");
}

// The record header at p turned little-endian, as another writer may write it.
void vSwapHeader(char* p) {
    for (const int n : {20, 22, 28, 30, 32, 34, 44, 46, 48, 50}) std::swap(p[n], p[n + 1]);
    std::swap(p[40], p[43]);
    std::swap(p[41], p[42]);
}

TEST(MseedInspectTool, AnArchiveCheckNamesEachDayFileWithAProblem) {
    TempDir tDir;
    const std::string sMade = sMakeArchive(tDir);
    const std::string sZ60 = "2024/XX/ABC/HHZ.D/XX.ABC..HHZ.D.2024.060";
    const std::string sZ61 = "2024/XX/ABC/HHZ.D/XX.ABC..HHZ.D.2024.061";
    const std::string sN60 = "2024/XX/ABC/HHN.D/XX.ABC..HHN.D.2024.060";
    const std::string sRecords = sReadFile(sMade + "/" + sZ60);
    ASSERT_EQ(sRecords.size(), 18 * 512u);
    const auto sRecord = [&sRecords](int k) { return sRecords.substr(512 * (k - 1), 512); };
    // Record 18 starts at 23:59:54.19 with 581 samples: 2 s later it runs over midnight.
    std::string sOverMidnight = sRecords;
    sOverMidnight[17 * 512 + 26] = 56;
    std::string sLong = sRecord(18);  // as a record of 4096 bytes
    sLong[48 + 6] = 12;
    sLong.resize(4096, '\0');
    std::string sLittle = sRecords;
    vSwapHeader(&sLittle[4 * 512]);
    const std::string sStart2 = "2024-02-29 23:58:07.050000 UTC";

    const struct {
        const char* szName;
        std::function<void(const std::string&)> fnDamage;  // given the archive's folder
        std::string sProblem;  // the line on the file sZ60 after "ARCHIVE/sZ60: "; "" for none
        std::string sSummary;  // after "ARCHIVE: "
    } aCases[] = {
        {"sound", [](const std::string&) {}, "", "6 day files checked, 0 with problems"},
        {"other byte order, other files",
         [&](const std::string& s) {
             vWriteFile(s + "/" + sZ60, sLittle);
             vWriteFile(s + "/" + sZ60 + ".lock", "");
             vWriteFile(s + "/2024/XX/ABC/XX.ABC..HHZ.E.2024.060", "");
         },
         "", "6 day files checked, 0 with problems, 2 other files left alone"},
        {"doubled", [&](const std::string& s) { vWriteFile(s + "/" + sZ60, sRecords + sRecords); },
         "record 19 starts at 2024-02-29 23:58:00.000000 UTC, before record 18 at 2024-02-29 "
         "23:59:54.190000 UTC; record 19 repeats the span of record 1, 2024-02-29 "
         "23:58:00.000000 UTC to " +
             sStart2 + " (17 more like it)",
         "6 day files checked, 1 with problems"},
        {"unsorted",
         [&](const std::string& s) {
             vWriteFile(s + "/" + sZ60,
                        sRecord(1) + sRecord(3) + sRecord(2) + sRecords.substr(3 * 512));
         },
         "record 3 starts at " + sStart2 + ", before record 2 at 2024-02-29 23:58:14.180000 UTC",
         "6 day files checked, 1 with problems"},
        {"a record of the next day",
         [&](const std::string& s) {
             vWriteFile(s + "/" + sZ60, sRecords + sReadFile(s + "/" + sZ61).substr(0, 512));
         },
         "record 19 starts at 2024-03-01 00:00:00.000000 UTC, not on the file's day 2024-02-29",
         "6 day files checked, 1 with problems"},
        {"records of another channel",
         [&](const std::string& s) { vWriteFile(s + "/" + sZ60, sReadFile(s + "/" + sN60)); },
         "holds XX.ABC..HHN records, not XX.ABC..HHZ: record 1 (17 more like it)",
         "6 day files checked, 1 with problems"},
        {"over midnight", [&](const std::string& s) { vWriteFile(s + "/" + sZ60, sOverMidnight); },
         "record 18 runs over midnight, from 2024-02-29 23:59:56.190000 UTC to its last sample at "
         "2024-03-01 00:00:01.990000 UTC",
         "6 day files checked, 1 with problems"},
        {"two lengths",
         [&](const std::string& s) {
             vWriteFile(s + "/" + sZ60, sRecords.substr(0, 17 * 512) + sLong);
         },
         "records of 512 and 4096 bytes (record 18 the first of 4096)",
         "6 day files checked, 1 with problems"},
        {"torn",
         [&](const std::string& s) {
             vWriteFile(s + "/" + sZ60, sRecords + sRecord(1).substr(0, 100));
         },
         "record 19 is cut short: the file ends 100 bytes into its 512",
         "6 day files checked, 1 with problems"},
    };
    for (const auto& c : aCases) {
        const std::string sArchive =
            tDir.sFile(std::string("archive-") + std::to_string(&c - aCases));
        std::filesystem::copy(sMade, sArchive, std::filesystem::copy_options::recursive);
        c.fnDamage(sArchive);
        const ProcessResult p = tRunInspect({"--sds", sArchive});
        EXPECT_EQ(p.nExitStatus, c.sProblem.empty() ? 0 : 1) << c.szName << "\n" << p.sStderr;
        EXPECT_EQ(p.sStdout,
                  (c.sProblem.empty() ? "" : sArchive + "/" + sZ60 + ": " + c.sProblem + "\n") +
                      sArchive + ": " + c.sSummary + "\n")
            << c.szName;
        EXPECT_EQ(p.sStderr, "") << c.szName;
    }
    // A day file in another channel's folder, where no reader looks for it.
    const std::string sMoved = tDir.sFile("moved");
    std::filesystem::copy(sMade, sMoved, std::filesystem::copy_options::recursive);
    std::filesystem::rename(sMoved + "/" + sZ60,
                            sMoved + "/2024/XX/ABC/HHN.D/XX.ABC..HHZ.D.2024.060");
    // One that cannot be read: an error line, and the walk goes on.
    const std::string sGone = sMoved + "/2024/XX/ABC/HHE.D/XX.ABC..HHE.D.2024.062";
    std::filesystem::create_symlink("XX.ABC..HHE.D.2024.063", sGone);
    const ProcessResult p = tRunInspect({"--sds", sMoved + "/"});
    EXPECT_EQ(p.nExitStatus, 2);
    EXPECT_EQ(p.sStderr,
              "mseed-inspect: error: " + sGone + ": cannot open: No such file or directory\n");
    EXPECT_EQ(p.sStdout, sMoved +
                             "/2024/XX/ABC/HHN.D/XX.ABC..HHZ.D.2024.060: lies in "
                             "2024/XX/ABC/HHN.D/, not in 2024/XX/ABC/HHZ.D/\n" +
                             sMoved + "/: 6 day files checked, 1 with problems, 1 unreadable\n");
}

}  // namespace
