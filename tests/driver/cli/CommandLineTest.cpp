// The command line, run as the real program: exact standard output, exit
// statuses, option prefixes, the default output name, and the help and
// version answers of the program and its tools.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <map>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "driver/cli/CommandLine.h"
#include "driver/cli/ThreadCount.h"
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
    EXPECT_EQ(r.sStderr,
              "tessal: the usage above is the original one; tessal --help tells every option, and "
              "that -g scales nothing\n");
}

// What a recording gives alone: its console text, its warnings and error
// lines, its output.
struct LoneRun {
    std::string sStdout, sStderr, sOutput;
    const char* szChannels;  // "3 channels"
};

TEST(CommandLineProgram, ManyRecordingsConvertEachAsALoneRunWould) {
    // Each into its own output, into -outdir, and all into one -outname: the
    // bytes and the console text are those of the lone runs, one after the
    // other; a recording that fails stops none of the others. Standard
    // error adds a line per recording and the verdict: on a card of eight
    // with one cut short, one whose clock jumps and one that is no
    // recording, the verdict names those three.
    TempDir tDir;
    StandardLayout tLayout;
    tLayout.nRecords = 3;
    aanWriteRecording(tDir, "a.vrx", tStandardRecording(tLayout));
    SyntheticRecording tCut = tStandardRecording(tLayout);
    tCut.nTrailingBytes = 100;
    aanWriteRecording(tDir, "cut.vrx", tCut);
    SyntheticRecording tJump = tStandardRecording(tLayout);
    tJump.nJumpRecord = 2;
    tJump.nJumpSeconds = 5;
    aanWriteRecording(tDir, "jump.vrx", tJump);
    vWriteFile(tDir.sFile("bad.vrx"), "not a recording\n");
    tLayout.asChannels = {"HHZ"};
    tLayout.nRate = 250;
    for (const char* szName : {"b.vrx", "d.vrx", "e.vrx", "f.vrx"}) {
        aanWriteRecording(tDir, szName, tStandardRecording(tLayout));
        ++tLayout.nSeed;
    }
    std::map<std::string, LoneRun> mapLone;
    for (const char* szName : {"a", "b", "cut", "jump", "bad", "d", "e", "f"}) {
        const std::string sOut = std::string("lone-") + szName + ".ms";
        const ProcessResult r =
            tRunTessal({std::string(szName) + ".vrx", "-outname=" + sOut}, tDir.sPath());
        const bool bOne = std::string("bdef").find(szName[0]) != std::string::npos;
        mapLone[szName] = {r.sStdout, r.sStderr, sReadFile(tDir.sFile(sOut)),
                           bOne ? "1 channel" : "3 channels"};
        ASSERT_EQ(mapLone[szName].sOutput.empty(), std::string(szName) == "bad") << szName;
    }
    const std::string sA = mapLone["a"].sOutput, sB = mapLone["b"].sOutput;
    // The line of recording szName (3 s from 13:45:30) converted into sOut.
    const auto sLine = [&mapLone](const char* szName, const std::string& sOut,
                                  const std::string& sMore) {
        return "tessal: " + std::string(szName) + ".vrx: converted into " + sOut + ": " +
               mapLone[szName].szChannels + ", 2004-12-07 13:45:30 to 13:45:33 UTC, " +
               std::to_string(mapLone[szName].sOutput.size() / 512) + " records" + sMore + "\n";
    };
    const std::string sVerdict = "tessal: verdict: ";
    const std::string sNoneRead =
        "every recording was converted and synced; none was read back (-verify compares the "
        "records with the recordings)\n";
    const std::string sGain =
        "tessal: warning: the gain option has no effect: samples are written unscaled\n";
    std::string sCardStdout, sCardStderr;
    std::vector<std::pair<const char*, std::string>> atCard;
    const struct {
        const char* szName;
        const char* szOut;
    } aCard[] = {{"a", "card/a.mseed"},     {"cut", "card/cut.mseed"},   {"b", "card/b.mseed"},
                 {"bad", "card/bad.mseed"}, {"jump", "card/jump.mseed"}, {"d", "card/d.mseed"},
                 {"e", "card/e.mseed"},     {"f", "card/f.mseed"}};
    for (const auto& [szName, szOut] : aCard) {
        sCardStdout += mapLone[szName].sStdout;
        sCardStderr += mapLone[szName].sStderr;
        const std::string sMore =
            std::string(", verified") +
            (std::string(szName) == "cut" ? "; cut short: it ends inside a record, which is not "
                                            "converted (see the warning)"
             : std::string(szName) == "jump"
                 ? "; the recorder's clock jumps once (see the warnings)"
                 : "");
        sCardStderr += std::string(szName) == "bad"
                           ? "tessal: bad.vrx: failed (status 1): not a VORN recording (its text "
                             "head holds no CH, GROUP or STREAM section)\n"
                           : sLine(szName, szOut, sMore);
        atCard.emplace_back(szOut, mapLone[szName].sOutput);
    }
    sCardStderr += sVerdict +
                   "8 recordings: 7 converted, 7 verified, 1 cut short, 1 with clock jumps, 1 "
                   "failed, 0 not started; cut.vrx is cut short (its last record is not "
                   "converted), bad.vrx failed (status 1), jump.vrx has clock jumps (its times "
                   "after them may be off); the other 5 were converted, synced, read back and "
                   "found equal to their recordings\n";
    ASSERT_EQ(mkdir(tDir.sFile("out").c_str(), 0755), 0);
    ASSERT_EQ(mkdir(tDir.sFile("card").c_str(), 0755), 0);
    const struct {
        std::vector<std::string> asArgs;
        int nStatus;
        std::vector<std::pair<const char*, std::string>> atOutputs;  // file, content
        std::string sStdout, sStderr;
    } aCases[] = {
        {{"a.vrx", "b.vrx"},
         0,
         {{"a.mseed", sA}, {"b.mseed", sB}},
         mapLone["a"].sStdout + mapLone["b"].sStdout,
         sLine("a", "a.mseed", "") + sLine("b", "b.mseed", "") + sVerdict +
             "2 recordings: 2 converted, 0 verified, 0 cut short, 0 with clock jumps, 0 failed, 0 "
             "not started; " +
             sNoneRead},
        {{"-g", "b.vrx"}, 1, {}, "", ""},  // a file named like an option is a recording
        {{"a.vrx", "--outdir=out", "b.vrx", "--gain"},
         0,
         {{"out/a.mseed", sA}, {"out/b.mseed", sB}},
         mapLone["a"].sStdout + mapLone["b"].sStdout,
         sGain + sLine("a", "out/a.mseed", "") + sGain + sLine("b", "out/b.mseed", "") + sVerdict +
             "2 recordings: 2 converted, 0 verified, 0 cut short, 0 with clock jumps, 0 failed, 0 "
             "not started; " +
             sNoneRead},
        {{"a.vrx", "none.vrx", "b.vrx", "-outname:all.ms"},
         1,
         {{"all.ms", sA + sB}},
         mapLone["a"].sStdout + sBanner + mapLone["b"].sStdout,
         sLine("a", "all.ms", "") +
             "tessal: error: none.vrx: cannot open: No such file or directory\n"
             "tessal: none.vrx: failed (status 1): cannot open: No such file or directory\n" +
             sLine("b", "all.ms", "") + sVerdict +
             "3 recordings: 2 converted, 0 verified, 0 cut short, 0 with clock jumps, 1 failed, 0 "
             "not started; none.vrx failed (status 1); the other 2 were converted and synced\n"},
        {{"a.vrx", "--verify", "b.vrx", "-quiet"},
         0,
         {{"a.mseed", sA}, {"b.mseed", sB}},
         "",
         sLine("a", "a.mseed", ", verified") + sLine("b", "b.mseed", ", verified") + sVerdict +
             "2 recordings: 2 converted, 2 verified, 0 cut short, 0 with clock jumps, 0 failed, 0 "
             "not started; every recording was converted, synced, read back and found equal to "
             "its recording\n"},
        {{"a.vrx", "-quiet", "--", "-outname=c.ms"},
         1,
         {{"a.mseed", sA}},
         "",
         sLine("a", "a.mseed", "") +
             "tessal: error: -outname=c.ms: cannot open: No such file or directory\n"
             "tessal: -outname=c.ms: failed (status 1): cannot open: No such file or directory\n" +
             sVerdict +
             "2 recordings: 1 converted, 0 verified, 0 cut short, 0 with clock jumps, 1 failed, 0 "
             "not started; -outname=c.ms failed (status 1); the other one was converted and "
             "synced\n"},
        {{"a.vrx", "cut.vrx", "b.vrx", "bad.vrx", "jump.vrx", "d.vrx", "e.vrx", "f.vrx",
          "-outdir=card", "-verify"},
         1,
         atCard,
         sCardStdout,
         sCardStderr},
    };
    vWriteFile(tDir.sFile("-g"), "");
    for (const auto& c : aCases) {
        SCOPED_TRACE(c.asArgs[0] + " " + c.asArgs[1]);
        for (const auto& [szFile, sContent] : c.atOutputs) unlink(tDir.sFile(szFile).c_str());
        const ProcessResult r = tRunTessal(c.asArgs, tDir.sPath());
        EXPECT_EQ(r.nExitStatus, c.nStatus) << r.sStderr;
        for (const auto& [szFile, sContent] : c.atOutputs)
            EXPECT_TRUE(sReadFile(tDir.sFile(szFile)) == sContent) << szFile;
        if (c.asArgs[0] == "-g") continue;  // an empty file: its own refusal
        EXPECT_EQ(r.sStdout, c.sStdout);
        EXPECT_EQ(r.sStderr, c.sStderr);
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
                                               {"rec.vrx", "-network=\xC3\xA9"},
                                               // Options that are none, or given twice.
                                               {"rec.vrx", "-outnme=x.mseed"},
                                               {"rec.vrx", "--netwrk=XY"},
                                               {"rec.vrx", "-frobnicate"},
                                               {"rec.vrx", "-G"},
                                               {"rec.vrx", "--help"},
                                               {"rec.vrx", "-quiet=yes"},
                                               {"rec.vrx", "-outnamex.mseed"},
                                               {"rec.vrx", "-network=XY", "--network=AB"},
                                               {"rec.vrx", "-outdir=.", "-outname=x"},
                                               {"-outdir=/mnt/x", "rec.vrx"},
                                               // Codes and the archive.
                                               {"rec.vrx", "-station=TOOLONG"},
                                               {"rec.vrx", "-station=a.b"},
                                               {"rec.vrx", "-location=0"},
                                               {"rec.vrx", "-location=ABC"},
                                               {"rec.vrx", "-channels=HH"},
                                               {"rec.vrx", "-channels=HHZ,,HHE"},
                                               {"rec.vrx", "-channels=HHZ,HHZ"},
                                               {"rec.vrx", "-sds=."},
                                               {"rec.vrx", "-sds=.", "-network=XX", "-outname=x"},
                                               {"rec.vrx", "-outdir=.", "-sds=.", "-network=XX"}}) {
        const ProcessResult r = tRunTessal(asArgs, tDir.sPath());
        EXPECT_EQ(r.nExitStatus, 2) << asArgs.back().substr(0, 20);
        EXPECT_EQ(r.sStdout, sBanner);
        EXPECT_EQ(r.sStderr.rfind("tessal: error: ", 0), 0u) << r.sStderr;
        EXPECT_EQ(std::count(r.sStderr.begin(), r.sStderr.end(), '\n'), 1) << r.sStderr;
        EXPECT_FALSE(bFileExists(tDir.sFile("rec.mseed"))) << asArgs.back().substr(0, 20);
        EXPECT_FALSE(bFileExists(tDir.sFile("2004"))) << "an archive was begun";
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
    for (const char* szOption :
         {"-g,", "-gain", "-outname=", "-outputname=", "-outdir=", "-network=", "-station=",
          "-location=", "-channels=", "-sds=", "-recordtime", "-quiet"})
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
    EXPECT_EQ(tParsed({"rec.vrx", "-outname=x"}).asRecordings, std::vector<std::string>{"rec.vrx"});
}

TEST(CommandLineOptions, GainIsAnyArgumentStartingWithLowerCaseDashG) {
    EXPECT_TRUE(tParsed({"rec.vrx", "-g"}).bGain);
    EXPECT_TRUE(tParsed({"rec.vrx", "-gain"}).bGain);
    EXPECT_TRUE(tParsed({"rec.vrx", "-gxyz"}).bGain);
    EXPECT_TRUE(tParsed({"rec.vrx", "--gain"}).bGain);
    EXPECT_FALSE(tParsed({"rec.vrx"}).bGain);
    // Every other argument is a recording, in the order given.
    const CommandLine t = tParsed({"rec.vrx", "-g", "b.vrx", "--quiet", "c.vrx", "--", "-x"});
    EXPECT_EQ(t.asRecordings, (std::vector<std::string>{"rec.vrx", "b.vrx", "c.vrx", "-x"}));
    EXPECT_TRUE(t.bQuiet);
    EXPECT_TRUE(t.asSettingWarnings.empty());
}

TEST(CommandLineOptions, UnknownOptionsAreRefusedNamingTheNearest) {
    const struct {
        const char* szArg;
        const char* szError;
    } aCases[] = {
        {"-outnme=x.mseed", "unknown option -outnme=x.mseed (did you mean -outname=?)"},
        {"--netwrk=XY", "unknown option --netwrk=XY (did you mean -network=?)"},
        {"-quite", "unknown option -quite (did you mean -quiet?)"},
        {"-quiet:1", "unknown option -quiet:1 (did you mean -quiet?)"},
        {"-outname", "option -outname needs a value (write -outname=NAME)"},
        {"-outdir=", "option -outdir=: no folder after it (write -outdir=DIR)"},
        {"-station=TOOLONG",
         "option -station=TOOLONG: the station code must be 1 to 5 letters or digits (write "
         "-station=ABC)"},
        {"-location=0",
         "option -location=0: the location code must be 2 letters or digits (write -location=00)"},
        {"-channels=HHZ,,HHE",
         "option -channels=HHZ,,HHE: each channel code must be 3 letters or digits, the codes "
         "separated by commas without spaces (write -channels=HHZ,HHN,HHE)"},
        {"-channels=HHZ, HHN, HHE",
         "option -channels=HHZ,: each channel code must be 3 letters or digits, the codes "
         "separated by commas without spaces (write -channels=HHZ,HHN,HHE)"},
        {"-channels=HHZ HHN HHE",
         "option -channels=HHZ is followed by HHN HHE, which name no file: the codes are "
         "separated by commas without spaces (write -channels=HHZ,HHN,HHE)"},
        {"-channels=hhz ,hhn ,hhe -quiet",
         "option -channels=hhz is followed by ,hhn ,hhe, which name no file: the codes are "
         "separated by commas without spaces (write -channels=hhz,hhn,hhe)"},
        {"-channels=HHZ,hhz",
         "option -channels=HHZ,hhz: the code HHZ is given twice, and each channel needs its own"},
        {"-sds=arch", "-sds needs a network code for the archive's paths (add -network=XX)"},
    };
    for (const auto& c : aCases) {
        // Arguments with blanks stand for what a shell makes of them.
        std::vector<std::string> asArgs = {"tessal", "rec.vrx"};
        for (size_t nFrom = 0, nBlank = 0; nBlank != std::string::npos; nFrom = nBlank + 1) {
            nBlank = std::string(c.szArg).find(' ', nFrom);
            asArgs.push_back(std::string(c.szArg).substr(nFrom, nBlank - nFrom));
        }
        std::vector<const char*> aszArgs;
        for (const std::string& sArg : asArgs) aszArgs.push_back(sArg.c_str());
        const CommandLineResult r =
            tParseCommandLine(static_cast<int>(aszArgs.size()), aszArgs.data());
        EXPECT_EQ(r.eAction, CommandAction::Refuse) << c.szArg;
        EXPECT_EQ(r.sError, c.szError);
    }
}

TEST(CommandLineOptions, NetworkCodeIsWrittenInCapitalsAfterOneSeparator) {
    EXPECT_EQ(tParsed({"rec.vrx"}).sNetwork, "");
    EXPECT_EQ(tParsed({"rec.vrx", "-network=xy"}).sNetwork, "XY");
    EXPECT_EQ(tParsed({"rec.vrx", "-network:7"}).sNetwork, "7");
    EXPECT_EQ(tParsed({"rec.vrx", "--network=Xa"}).sNetwork, "XA");
    const CommandLine t = tParsed({"rec.vrx", "-network=Z9", "-outname=o.ms"});
    EXPECT_EQ(t.sOutputName, "o.ms");
    EXPECT_EQ(t.sNetwork, "Z9");
    EXPECT_FALSE(tParsed({"rec.vrx"}).bRecordTime);
    EXPECT_TRUE(tParsed({"rec.vrx", "-recordtime", "-network=xy"}).bRecordTime);
    EXPECT_TRUE(tParsed({"rec.vrx", "--recordtime"}).bRecordTime);

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

TEST(CommandLineOptions, TheFirstArgumentIsARecordingWhateverItLooksLike) {
    // Only the exact words ask for help or the version; a first argument
    // that looks like an option is a recording when a file has its name.
    TempDir tDir;
    const std::string sOption = tDir.sFile("-outname=x.ms");
    vWriteFile(sOption, "");
    const CommandLine t = tParsed({sOption.c_str(), "-g"});
    EXPECT_EQ(t.asRecordings, std::vector<std::string>{sOption});
    EXPECT_TRUE(t.bGain);
    for (const char* sz : {"--helpme", "-help", "--Version", "-v", "-H"}) {
        const char* aszArgs[] = {"tessal", sz};
        const CommandLineResult r = tParseCommandLine(2, aszArgs);
        EXPECT_EQ(r.eAction, CommandAction::Refuse) << sz;
        EXPECT_NE(r.sError.find("the recording comes first"), std::string::npos) << r.sError;
    }
    for (const char* sz : {"tests-only-help", "rec"}) EXPECT_EQ(tParsed({sz}).asRecordings[0], sz);
    // -outdir puts each default name into the folder.
    const CommandLine tDirected = tParsed({"card/a.vrx", "b.x.vrx", "-outdir=/out"});
    EXPECT_EQ(sOutputNameOf(tDirected, "card/a.vrx"), "/out/a.mseed");
    EXPECT_EQ(sOutputNameOf(tDirected, "b.x.vrx"), "/out/b.x.mseed");
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
    EXPECT_EQ(tParsed({sPath.c_str(), "-outname=x"}).asRecordings[0], sPath);
    const std::string sShorter = std::string(4089, 'p') + ".vrx";
    EXPECT_EQ(sOutputNameOf(tParsed({sShorter.c_str()}), sShorter),
              std::string(4089, 'p') + ".mseed");
}

}  // namespace
