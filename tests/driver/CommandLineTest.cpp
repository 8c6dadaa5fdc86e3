// The command line, run as the real program: exact standard output, exit
// statuses, option prefixes, the default output name, and the help and
// version answers of the program and its tools.
#include <gtest/gtest.h>

#include <algorithm>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "driver/CommandLine.h"
#include "driver/ThreadCount.h"
#include "support/ConversionTestSupport.h"
#include "support/Process.h"

namespace {

const std::string sBanner =
    "\nTessal v1.0. Program for convert seismic from VORN 2 MiniSEED format.\n";

TEST(CommandLineProgram, NoArgumentPrintsTheUsageTextAndSucceeds) {
    const ProcessResult r = tRunTessal({});
    EXPECT_EQ(r.nExitStatus, 0);
    EXPECT_EQ(r.sStdout,
              "\nTessal v1.0. Program for convert seismic from VORN 2 MiniSEED format.\n"
              "\nUsage:\ttessal INPUT_FILE [OPTION]\n\nOptions:\n"
              "              -g, -gain                         - output data is gained.\n"
              "              -outname, -outputname    - new output file name.\n"
              "\nExample:\n     tessal p14a1731.vrx \n"
              "     tessal p14a1731.vrx -outname=new_name.ext\n"
              "     tessal p14a1731.vrx -outname=new_name.ext -g\n"
              "     tessal p14a1731.vrx -gain\n");
    EXPECT_EQ(r.sStderr, "");
}

TEST(CommandLineProgram, FourArgumentsGiveTheComplaintWithoutBanner) {
    // The network and record-time options count toward the two options like
    // the others.
    for (const std::vector<std::string>& asArgs :
         std::vector<std::vector<std::string>>{{"a.vrx", "-g", "-outname=x", "extra"},
                                               {"a.vrx", "-network=XX", "-g", "-outname=x"},
                                               {"a.vrx", "-recordtime", "-g", "-outname=x"}}) {
        const ProcessResult r = tRunTessal(asArgs);
        EXPECT_EQ(r.nExitStatus, 251) << asArgs[1];  // -5 as the low byte of the status
        EXPECT_EQ(r.sStdout, "\n Too many parameters in command string!");
        EXPECT_EQ(r.sStderr,
                  "tessal: error: 4 arguments given; at most 3 are allowed: the recording and "
                  "two options\n");
    }
}

TEST(CommandLineProgram, OverlongPathsEmptyOutputNamesAndBadNetworkCodesAreRefused) {
    // A real recording beside the run: a refusal that came too late would
    // convert it into rec.mseed.
    TempDir tDir;
    StandardLayout tLayout;
    tLayout.nRecords = 2;
    aanWriteRecording(tDir, "rec.vrx", tStandardRecording(tLayout));
    const std::string sLong(4096, 'a');
    for (const std::vector<std::string>& asArgs :
         std::vector<std::vector<std::string>>{{sLong},
                                               {"rec.vrx", "-outname=" + sLong},
                                               {"rec.vrx", "-outname="},
                                               {"rec.vrx", "-outputname"},
                                               {"rec.vrx", "-outname"},
                                               {"rec.vrx", "-network=ABC"},
                                               {"rec.vrx", "-network="},
                                               {"rec.vrx", "-network"},
                                               {"rec.vrx", "-g", "-network=A."},
                                               {"rec.vrx", "-network= A"},
                                               {"rec.vrx", "-network=\xC3\xA9"}}) {
        const ProcessResult r = tRunTessal(asArgs, tDir.sPath());
        EXPECT_EQ(r.nExitStatus, 2) << asArgs.back().substr(0, 20);
        EXPECT_EQ(r.sStdout, sBanner);
        EXPECT_EQ(r.sStderr.rfind("tessal: error: ", 0), 0u) << r.sStderr;
        EXPECT_EQ(std::count(r.sStderr.begin(), r.sStderr.end(), '\n'), 1) << r.sStderr;
        EXPECT_FALSE(bFileExists(tDir.sFile("rec.mseed"))) << asArgs.back().substr(0, 20);
    }
}

TEST(CommandLineProgram, EveryProgramAnswersHelpAndVersion) {
    const std::string sVersion = TESSAL_VERSION;
    EXPECT_TRUE(std::regex_match(sVersion, std::regex("[0-9]+\\.[0-9]+\\.[0-9]+"))) << sVersion;
    const struct {
        const char* szName;
        const char* szPath;
    } aPrograms[] = {{"tessal", TESSAL_PROGRAM},
                     {"vorn-synth", VORN_SYNTH_PROGRAM},
                     {"mseed-inspect", MSEED_INSPECT_PROGRAM}};
    for (const auto& p : aPrograms) {
        for (const char* szHelp : {"--help", "-h"}) {
            const ProcessResult r = tRunProcess(p.szPath, {szHelp});
            EXPECT_EQ(r.nExitStatus, 0) << p.szName << " " << szHelp;
            EXPECT_EQ(r.sStderr, "") << p.szName << " " << szHelp;
            EXPECT_EQ(r.sStdout.rfind(std::string("Usage: ") + p.szName + " ", 0), 0u)
                << p.szName << " " << szHelp;
            EXPECT_NE(r.sStdout.find(std::string("man ") + p.szName), std::string::npos)
                << p.szName;
        }
        for (const char* szVersion : {"--version", "-V"}) {
            const ProcessResult r = tRunProcess(p.szPath, {szVersion});
            EXPECT_EQ(r.nExitStatus, 0) << p.szName << " " << szVersion;
            EXPECT_EQ(r.sStderr, "") << p.szName << " " << szVersion;
            EXPECT_EQ(r.sStdout, std::string(p.szName) + " " + sVersion + "\n");
        }
    }
    // tessal's help names every option it knows, and is the answer whatever follows.
    const ProcessResult r = tRunTessal({"-h", "rec.vrx", "-g", "-outname=x"});
    EXPECT_EQ(r.nExitStatus, 0);
    EXPECT_EQ(r.sStdout, tRunTessal({"--help"}).sStdout);
    for (const char* szOption : {"-g,", "-gain", "-outname=", "-outputname=", "-network="})
        EXPECT_NE(r.sStdout.find(szOption), std::string::npos) << szOption;
}

CommandLine tParsed(std::vector<const char*> apArgs) {
    apArgs.insert(apArgs.begin(), "tessal");
    const CommandLineResult r = tParseCommandLine(static_cast<int>(apArgs.size()), apArgs.data());
    EXPECT_EQ(r.eAction, CommandAction::Convert) << r.sError;
    return r.tArgs;
}

TEST(CommandLineOptions, OutputNameOptionsSkipOneSeparatorAndTheLaterWins) {
    EXPECT_EQ(tParsed({"rec.vrx", "-outname=out.ms"}).sOutputName, "out.ms");
    EXPECT_EQ(tParsed({"rec.vrx", "-outputname=out.ms"}).sOutputName, "out.ms");
    EXPECT_EQ(tParsed({"rec.vrx", "-outname:out.ms"}).sOutputName, "out.ms");
    EXPECT_EQ(tParsed({"rec.vrx", "-outname=a", "-outputname=b"}).sOutputName, "b");
    EXPECT_EQ(tParsed({"rec.vrx", "-outputname=b", "-outname=a"}).sOutputName, "a");
    EXPECT_EQ(tParsed({"rec.vrx", "-outname=x"}).sInputPath, "rec.vrx");
}

TEST(CommandLineOptions, GainIsAnyArgumentStartingWithLowerCaseDashG) {
    EXPECT_TRUE(tParsed({"rec.vrx", "-g"}).bGain);
    EXPECT_TRUE(tParsed({"rec.vrx", "-gain"}).bGain);
    EXPECT_TRUE(tParsed({"rec.vrx", "-gxyz"}).bGain);
    EXPECT_FALSE(tParsed({"rec.vrx", "-G"}).bGain);
    EXPECT_FALSE(tParsed({"rec.vrx"}).bGain);
    // Unknown options are ignored, each with a warning the run prints.
    const CommandLine t = tParsed({"rec.vrx", "-OUTNAME=x", "b.vrx"});
    EXPECT_EQ(t.sOutputName, "rec.mseed");
    EXPECT_FALSE(t.bGain);
    EXPECT_EQ(t.asSettingWarnings,
              (std::vector<std::string>{
                  "argument \"-OUTNAME=x\" is ignored; it is no option of tessal (-g, -gain, "
                  "-outname=NAME, -outputname=NAME, -network=NN, -recordtime)",
                  "argument \"b.vrx\" is ignored; one recording is converted per run"}));
    EXPECT_TRUE(tParsed({"rec.vrx", "-g", "-outname=x"}).asSettingWarnings.empty());
}

TEST(CommandLineOptions, NetworkCodeIsWrittenInCapitalsAfterOneSeparator) {
    EXPECT_EQ(tParsed({"rec.vrx"}).sNetwork, "");
    EXPECT_EQ(tParsed({"rec.vrx", "-network=xy"}).sNetwork, "XY");
    EXPECT_EQ(tParsed({"rec.vrx", "-network:7"}).sNetwork, "7");
    EXPECT_EQ(tParsed({"rec.vrx", "-networkXa1"}).sNetwork, "A1");
    EXPECT_EQ(tParsed({"rec.vrx", "-network=ab", "-network=CD"}).sNetwork, "CD");
    const CommandLine t = tParsed({"rec.vrx", "-network=Z9", "-outname=o.ms"});
    EXPECT_EQ(t.sOutputName, "o.ms");
    EXPECT_EQ(t.sNetwork, "Z9");
    EXPECT_EQ(tParsed({"rec.vrx", "-NETWORK=abc"}).sNetwork, "");  // not the option: ignored
    EXPECT_FALSE(tParsed({"rec.vrx"}).bRecordTime);
    EXPECT_TRUE(tParsed({"rec.vrx", "-recordtime", "-network=xy"}).bRecordTime);
    EXPECT_FALSE(tParsed({"rec.vrx", "-RECORDTIME"}).bRecordTime);  // ignored with a warning

    for (const char* sz : {"A", "z", "0", "AB", "a9", "99"})
        EXPECT_TRUE(bValidNetworkCode(sz)) << sz;
    for (const char* sz : {"", "ABC", "A-", " A", "A ", "_", "\t", "\xC3\xA9"})
        EXPECT_FALSE(bValidNetworkCode(sz)) << sz;
}

TEST(CommandLineOptions, TheThreadSettingIsAWholeNumberOrTheCores) {
    const int nCores =
        std::clamp(static_cast<int>(std::thread::hardware_concurrency()), 1, nMaxThreads);
    const struct {
        const char* szSetting;
        int nThreads;
        bool bChosen;
        bool bWarned;
    } aCases[] = {
        {nullptr, nCores, false, false},
        {"", nCores, false, false},
        {"1", 1, true, false},
        {"3", 3, true, false},
        {"999", nMaxThreads, true, false},
        {"0", nCores, false, true},
        {"-2", nCores, false, true},
        {"2x", nCores, false, true},
        {"x", nCores, false, true},
    };
    for (const auto& c : aCases) {
        SCOPED_TRACE(c.szSetting ? c.szSetting : "(unset)");
        std::string sWarning;
        const ThreadSetting t = tThreadSetting(c.szSetting, sWarning);
        EXPECT_EQ(t.nThreads, c.nThreads);
        EXPECT_EQ(t.bChosen, c.bChosen);
        EXPECT_EQ(sWarning.empty(), !c.bWarned);
    }
}

TEST(CommandLineOptions, AnOptionGivenFirstIsTheInputPath) {
    const CommandLine t = tParsed({"-outname=x.ms", "-g"});
    EXPECT_EQ(t.sInputPath, "-outname=x.ms");
    EXPECT_EQ(t.sOutputName, "-outname=x.mseed");
    EXPECT_TRUE(t.bGain);
    // Only the exact words ask for help or the version; others are paths.
    for (const char* sz : {"--helpme", "-help", "--Version", "-v", "-H"})
        EXPECT_EQ(tParsed({sz}).sInputPath, sz);
    // Later, they are options that have no effect.
    EXPECT_EQ(tParsed({"rec.vrx", "--help", "-V"}).sOutputName, "rec.mseed");
}

TEST(DefaultOutputName, OnlyTheFileNamesOwnDotIsReplaced) {
    EXPECT_EQ(sDefaultOutputName("p14a1731.vrx"), "p14a1731.mseed");
    EXPECT_EQ(sDefaultOutputName("dir/a.b.vrx"), "dir/a.b.mseed");
    EXPECT_EQ(sDefaultOutputName("data.old/rec"), "data.old/rec.mseed");
    EXPECT_EQ(sDefaultOutputName("./rec"), "./rec.mseed");
    EXPECT_EQ(sDefaultOutputName("rec"), "rec.mseed");
    EXPECT_EQ(sDefaultOutputName("rec."), "rec.mseed");
    EXPECT_EQ(sDefaultOutputName("/abs/x.old/.hidden"), "/abs/x.old/.hidden.mseed");
    EXPECT_EQ(sDefaultOutputName(".hidden"), ".hidden.mseed");
    EXPECT_EQ(sDefaultOutputName(".hidden.vrx"), ".hidden.mseed");
}

TEST(DefaultOutputName, PathsAndNamesUpTo4095BytesAreAccepted) {
    const std::string sPath = std::string(4091, 'p') + ".vrx";
    ASSERT_EQ(sPath.size(), 4095u);
    EXPECT_EQ(tParsed({sPath.c_str(), "-outname=x"}).sInputPath, sPath);
    const std::string sShorter = std::string(4089, 'p') + ".vrx";
    EXPECT_EQ(tParsed({sShorter.c_str()}).sOutputName, std::string(4089, 'p') + ".mseed");
}

}  // namespace
