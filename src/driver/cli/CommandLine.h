// Command line of tessal: `tessal RECORDING [RECORDING | OPTION]...`.
// Forms the recordings, their output names and the settings the options
// give, or says which text the program shows instead (usage, help, version,
// refusal).
#pragma once

#include <string>
#include <vector>

#include "driver/channel/StreamCodes.h"

// The console texts, byte for byte.
extern const char szUsageText[];
extern const char szBannerText[];

// Longest input path or output name accepted, in bytes (PATH_MAX less the NUL).
constexpr size_t nMaxPathLength = 4095;

struct CommandLine {
    std::vector<std::string> asRecordings;  // in the order given
    std::string sOutputName;  // -outname: the one output of every recording; empty: each its own
    std::string sOutputDir;   // -outdir: the folder of the default output names; empty: none
    bool bGain = false;
    std::string sNetwork;  // network code of every record, capitals; empty for blank
    // Codes that replace the recording's in every record, in capitals;
    // empty: the recording's station and channel names, a blank location.
    std::string sStation;
    std::string sLocation;
    std::vector<std::string> asChannels;  // one per converted channel, in order
    // -sds: the archive folder whose day files take the records; empty: none.
    std::string sArchiveDir;
    // -recordtime: the samples after each jump of the recorder's clock are
    // dated by its record header, not on one timeline from the start.
    bool bRecordTime = false;
    bool bQuiet = false;   // -quiet: nothing on standard output
    bool bVerify = false;  // -verify: the records appended are read back and compared
    int nThreads = 1;      // encoding threads (from the environment, not the command line)
    // False when nThreads is only the number of cores: a small recording is
    // then converted on one thread.
    bool bThreadsChosen = true;
    // Warnings about the settings, for each run to print once its input is
    // accepted.
    std::vector<std::string> asSettingWarnings;
};

enum class CommandAction {
    ShowUsage,    // no argument: print the usage text, status 0
    ShowHelp,     // first argument exactly --help or -h: the help text, status 0
    ShowVersion,  // first argument exactly --version or -V: "tessal VERSION", status 0
    Refuse,       // banner, then sError on standard error, status 2
    Convert,      // each recording: banner, then its conversion run
};

struct CommandLineResult {
    CommandAction eAction = CommandAction::ShowUsage;
    std::string sError;  // the reason, for CommandAction::Refuse
    CommandLine tArgs;
};

// Reads argv as the program's command line. Prints nothing. The first
// argument is a recording; so is every later one that is no option, and
// every one after "--". An option is written with one or two dashes; one
// with a value takes "=" or ":" after its name; each is given at most once,
// but the output name, whose later value wins. An argument that names no
// option, and a first argument that looks like an option and names no
// file, are refused before anything is touched.
CommandLineResult tParseCommandLine(int argc, const char* const argv[]);

// The output of recording sInput: the -outname file, else its default name
// (sDefaultOutputName) in the -outdir folder or beside it.
std::string sOutputNameOf(const CommandLine& tArgs, const std::string& sInput);

// The default output name of an input path: a "." in the file's own name
// (after the last "/") and everything behind the last one become ".mseed";
// a file name without "." after its first character (".hidden") gets
// ".mseed" appended.
std::string sDefaultOutputName(const std::string& sInputPath);

// Longest network code a record's header field holds.
constexpr size_t nMaxNetworkLength = tNetworkField.nWidth;

// True when sCode can be a network code: 1 or 2 ASCII letters or digits.
// sCode in capitals is what the records carry.
bool bValidNetworkCode(const std::string& sCode);

// True when sCode is nMin to nMax ASCII letters or digits.
bool bIsCode(const std::string& sCode, size_t nMin, size_t nMax);
