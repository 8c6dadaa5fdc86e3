// Command line of tessal: `tessal INPUT_FILE [OPTION]`.
// Forms the input path, the output name, the gain flag and the network code,
// or says which text the program shows instead (usage, help, version,
// complaint, refusal).
#pragma once

#include <string>
#include <vector>

// The console texts, byte for byte.
extern const char szUsageText[];
extern const char szTooManyText[];
extern const char szBannerText[];

// Longest input path or output name accepted, in bytes (PATH_MAX less the NUL).
constexpr size_t nMaxPathLength = 4095;

struct CommandLine {
    std::string sInputPath;
    std::string sOutputName;
    bool bGain = false;
    std::string sNetwork;  // network code of every record, capitals; empty for blank
    // -recordtime: the samples after each jump of the recorder's clock are
    // dated by its record header, not on one timeline from the start.
    bool bRecordTime = false;
    int nThreads = 1;  // encoding threads (from the environment, not the command line)
    // False when nThreads is only the number of cores: a small recording is
    // then converted on one thread.
    bool bThreadsChosen = true;
    // Warnings about the command line and its settings (one per argument
    // that is neither a gain nor an output-name nor a network option), for
    // the run to print once the input is accepted.
    std::vector<std::string> asSettingWarnings;
};

enum class CommandAction {
    ShowUsage,    // no input argument: print the usage text, status 0
    ShowHelp,     // first argument exactly --help or -h: the help text, status 0
    ShowVersion,  // first argument exactly --version or -V: "tessal VERSION", status 0
    TooMany,      // more than three arguments: the complaint, sError, status -5
    Refuse,       // banner, then sError on standard error, status 2
    Convert,      // banner, then the conversion run with tArgs
};

struct CommandLineResult {
    CommandAction eAction = CommandAction::ShowUsage;
    std::string sError;  // the reason, for CommandAction::Refuse and TooMany
    CommandLine tArgs;
};

// Reads argv as the program's command line. Prints nothing.
CommandLineResult tParseCommandLine(int argc, const char* const argv[]);

// The default output name of an input path: a "." in the file's own name
// (after the last "/") and everything behind the last one become ".mseed";
// a file name without "." after its first character (".hidden") gets
// ".mseed" appended.
std::string sDefaultOutputName(const std::string& sInputPath);

// Longest network code a record's header field holds.
constexpr size_t nMaxNetworkLength = 2;

// True when sCode can be a network code: 1 or 2 ASCII letters or digits.
// sCode in capitals is what the records carry.
bool bValidNetworkCode(const std::string& sCode);
