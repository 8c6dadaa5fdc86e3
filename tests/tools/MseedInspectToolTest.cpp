// mseed-inspect run as a process on inputs that are not (only) MiniSEED
// records: each gives one error line and the right status, never a crash
// and never fields read from bytes that are not a record.
#include <gtest/gtest.h>

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
    EXPECT_NE(p.sStdout.find("\nA\\x0AB \\xE9Z "), std::string::npos) << p.sStdout;
    EXPECT_EQ(p.sStdout.find('\xE9'), std::string::npos);
}

TEST(MseedInspectTool, UsageMistakes) {
    const ProcessResult pSize = tRunInspect({"x.mseed", "--size", "100x100"});
    EXPECT_EQ(pSize.nExitStatus, 2);
    EXPECT_EQ(pSize.sStderr,
              "mseed-inspect: error: --size needs WIDTHxHEIGHT from 320x200 to 16000x16000, not "
              "\"100x100\"\n");
    const ProcessResult pOption = tRunInspect({"x.mseed", "-x"});
    EXPECT_EQ(pOption.nExitStatus, 2);
    EXPECT_EQ(pOption.sStderr.rfind("mseed-inspect: error: unexpected argument \"-x\"\n", 0), 0u);
}

}  // namespace
