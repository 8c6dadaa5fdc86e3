// Command-line parsing: the usage and banner texts, the default output
// name, the help and version requests, the recordings, and the options:
// -g (gain: anything beginning with -g), -outname (also -outputname),
// -outdir and -network with a value after "=" or ":", and -recordtime,
// -quiet and -verify, each with one or two dashes.
#include "driver/CommandLine.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstring>

const char szUsageText[] =
    "\nTessal v1.0. Program for convert seismic from VORN 2 MiniSEED format.\n"
    "\nUsage:\ttessal INPUT_FILE [OPTION]\n"
    "\nOptions:\n"
    "              -g, -gain                         - output data is gained.\n"
    "              -outname, -outputname    - new output file name.\n"
    "\nExample:\n"
    "     tessal p14a1731.vrx \n"
    "     tessal p14a1731.vrx -outname=new_name.ext\n"
    "     tessal p14a1731.vrx -outname=new_name.ext -g\n"
    "     tessal p14a1731.vrx -gain\n";

const char szBannerText[] =
    "\nTessal v1.0. Program for convert seismic from VORN 2 MiniSEED format.\n";

std::string sDefaultOutputName(const std::string& sInputPath) {
    const size_t nSlash = sInputPath.rfind('/');
    const size_t nNameStart = nSlash == std::string::npos ? 0 : nSlash + 1;
    // A leading "." marks a hidden file, not an extension.
    const size_t nDot = sInputPath.rfind('.');
    if (nDot == std::string::npos || nDot <= nNameStart) return sInputPath + ".mseed";
    return sInputPath.substr(0, nDot + 1) + "mseed";
}

bool bValidNetworkCode(const std::string& sCode) {
    if (sCode.empty() || sCode.size() > nMaxNetworkLength) return false;
    for (const char c : sCode) {
        const bool bLetter = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
        if (!bLetter && !(c >= '0' && c <= '9')) return false;
    }
    return true;
}

namespace {

// Abbreviated form of a long path for messages.
std::string sShortened(const std::string& s) {
    return s.size() <= 60 ? s : s.substr(0, 60) + "...";
}

enum class OptionKind { OutputName, OutputDir, Network, RecordTime, Quiet, Verify };

struct OptionName {
    const char* szName;
    OptionKind eKind;
    bool bValue;  // takes "=VALUE" or ":VALUE"
};

constexpr OptionName atOptions[] = {
    {"outname", OptionKind::OutputName, true},     {"outputname", OptionKind::OutputName, true},
    {"outdir", OptionKind::OutputDir, true},       {"network", OptionKind::Network, true},
    {"recordtime", OptionKind::RecordTime, false}, {"quiet", OptionKind::Quiet, false},
    {"verify", OptionKind::Verify, false},
};

// How an option is written in messages: "-outname=" or "-quiet".
std::string sShown(const OptionName& t) {
    return std::string("-") + t.szName + (t.bValue ? "=" : "");
}

// Edit distance between a and b (insertions, deletions, substitutions).
size_t nDistance(const std::string& a, const std::string& b) {
    std::vector<size_t> an(b.size() + 1);
    for (size_t j = 0; j <= b.size(); ++j) an[j] = j;
    for (size_t i = 1; i <= a.size(); ++i) {
        size_t nDiagonal = an[0];
        an[0] = i;
        for (size_t j = 1; j <= b.size(); ++j) {
            const size_t nAbove = an[j];
            an[j] = std::min({an[j] + 1, an[j - 1] + 1, nDiagonal + (a[i - 1] != b[j - 1])});
            nDiagonal = nAbove;
        }
    }
    return an[b.size()];
}

// The option whose name is nearest to sName, as written in messages.
std::string sNearestOption(const std::string& sName) {
    const OptionName* pBest = &atOptions[0];
    for (const OptionName& t : atOptions)
        if (nDistance(sName, t.szName) < nDistance(sName, pBest->szName)) pBest = &t;
    return sShown(*pBest);
}

// An option argument split up: its name without dashes, and its value
// after the first "=" or ":" (bValue false when there is none).
struct OptionArgument {
    std::string sName;
    std::string sValue;
    bool bValue = false;
};

OptionArgument tSplitOption(const std::string& sArg) {
    OptionArgument t;
    const size_t nDashes = sArg.compare(0, 2, "--") == 0 ? 2 : 1;
    const size_t nSeparator = sArg.find_first_of("=:", nDashes);
    t.sName = sArg.substr(nDashes, nSeparator - nDashes);
    if (nSeparator != std::string::npos) {
        t.bValue = true;
        t.sValue = sArg.substr(nSeparator + 1);
    }
    return t;
}

// Applies the value of -network; false with sError when it is no code.
bool bApplyNetwork(const std::string& sArg, const std::string& sCode, CommandLine& tArgs,
                   std::string& sError) {
    if (!bValidNetworkCode(sCode)) {
        sError = "option " + sShortened(sArg) +
                 ": the network code must be 1 or 2 letters or digits (write -network=XX)";
        return false;
    }
    tArgs.sNetwork.clear();
    for (const char c : sCode)
        tArgs.sNetwork.push_back(c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c);
    return true;
}

// Applies the value of a path option (-outname, -outdir); false with sError
// when it is empty or too long.
bool bApplyPath(const std::string& sArg, const OptionArgument& t, std::string& sTarget,
                std::string& sError) {
    if (t.sValue.empty()) {
        sError = "option " + sShortened(sArg) + ": no " +
                 (t.sName == "outdir" ? "folder" : "output name") + " after it (write -" + t.sName +
                 "=" + (t.sName == "outdir" ? "DIR" : "NAME") + ")";
        return false;
    }
    if (t.sValue.size() > nMaxPathLength) {
        sError = "option " + sShortened(sArg) + ": the name is longer than " +
                 std::to_string(nMaxPathLength) + " bytes";
        return false;
    }
    sTarget = t.sValue;
    return true;
}

// Applies option argument sArg; false with sError when it names no option,
// lacks or has a value it should not, repeats an option, or cannot be
// carried out. abSeen marks the options given so far.
bool bApplyOption(const std::string& sArg, CommandLine& tArgs, std::vector<bool>& abSeen,
                  std::string& sError) {
    // Anything beginning with -g is the gain option.
    if (sArg.compare(0, 2, "-g") == 0 || sArg == "--gain" || sArg == "--g") {
        tArgs.bGain = true;
        return true;
    }
    const OptionArgument t = tSplitOption(sArg);
    const OptionName* pOption = nullptr;
    for (const OptionName& o : atOptions)
        if (t.sName == o.szName) pOption = &o;
    if (pOption == nullptr || (!pOption->bValue && t.bValue)) {
        sError = "unknown option " + sShortened(sArg) + " (did you mean " +
                 (pOption ? sShown(*pOption) : sNearestOption(t.sName)) + "?)";
        return false;
    }
    if (pOption->bValue && !t.bValue) {
        sError = "option " + sShortened(sArg) + " needs a value (write " + sShown(*pOption) +
                 (pOption->eKind == OptionKind::Network ? "XX)" : "NAME)");
        return false;
    }
    const size_t nKind = static_cast<size_t>(pOption->eKind);
    if (abSeen[nKind] && pOption->eKind != OptionKind::OutputName) {
        sError = "option " + sShown(*pOption) + " is given more than once";
        return false;
    }
    abSeen[nKind] = true;
    switch (pOption->eKind) {
        case OptionKind::OutputName:
            return bApplyPath(sArg, t, tArgs.sOutputName, sError);
        case OptionKind::OutputDir:
            return bApplyPath(sArg, t, tArgs.sOutputDir, sError);
        case OptionKind::Network:
            return bApplyNetwork(sArg, t.sValue, tArgs, sError);
        case OptionKind::RecordTime:
            tArgs.bRecordTime = true;
            return true;
        case OptionKind::Quiet:
            tArgs.bQuiet = true;
            return true;
        case OptionKind::Verify:
            tArgs.bVerify = true;
            return true;
    }
    return true;
}

// True when something exists at sPath (a file named like an option).
bool bExists(const std::string& sPath) {
    struct stat st;
    return lstat(sPath.c_str(), &st) == 0;
}

// Why the recordings and their output names cannot be carried out (too
// long, -outdir with -outname); empty when they can.
std::string sPathProblem(const CommandLine& tArgs) {
    if (!tArgs.sOutputName.empty() && !tArgs.sOutputDir.empty())
        return "-outdir and -outname cannot be given together: -outname names the one output of "
               "every recording, -outdir the folder of their own outputs";
    for (const std::string& sInput : tArgs.asRecordings) {
        if (sInput.size() > nMaxPathLength)
            return "input path " + sShortened(sInput) + " is longer than " +
                   std::to_string(nMaxPathLength) + " bytes";
        const std::string sOutput = sOutputNameOf(tArgs, sInput);
        if (sOutput.size() > nMaxPathLength)
            return "output name " + sShortened(sOutput) + " is longer than " +
                   std::to_string(nMaxPathLength) + " bytes";
    }
    return "";
}

}  // namespace

std::string sOutputNameOf(const CommandLine& tArgs, const std::string& sInput) {
    if (!tArgs.sOutputName.empty()) return tArgs.sOutputName;
    const std::string sDefault = sDefaultOutputName(sInput);
    if (tArgs.sOutputDir.empty()) return sDefault;
    const size_t nSlash = sDefault.rfind('/');
    return tArgs.sOutputDir + "/" +
           (nSlash == std::string::npos ? sDefault : sDefault.substr(nSlash + 1));
}

CommandLineResult tParseCommandLine(int argc, const char* const argv[]) {
    CommandLineResult tResult;
    if (argc < 2) {
        tResult.eAction = CommandAction::ShowUsage;
        return tResult;
    }
    // A request for help or the version is the first argument exactly; the
    // rest of the line is not looked at.
    const std::string sFirst = argv[1];
    if (sFirst == "--help" || sFirst == "-h") {
        tResult.eAction = CommandAction::ShowHelp;
        return tResult;
    }
    if (sFirst == "--version" || sFirst == "-V") {
        tResult.eAction = CommandAction::ShowVersion;
        return tResult;
    }
    tResult.eAction = CommandAction::Refuse;
    if (!sFirst.empty() && sFirst[0] == '-' && !bExists(sFirst)) {
        tResult.sError = sShortened(sFirst) +
                         ": no such recording, and the recording comes first: tessal "
                         "RECORDING [RECORDING | OPTION]...";
        return tResult;
    }
    CommandLine& tArgs = tResult.tArgs;
    tArgs.asRecordings.push_back(sFirst);
    std::vector<bool> abSeen(std::size(atOptions), false);
    bool bOptionsEnded = false;
    for (int i = 2; i < argc; ++i) {
        const std::string sArg = argv[i];
        if (!bOptionsEnded && sArg == "--") {
            bOptionsEnded = true;
        } else if (!bOptionsEnded && sArg.size() > 1 && sArg[0] == '-') {
            if (!bApplyOption(sArg, tArgs, abSeen, tResult.sError)) return tResult;
        } else {
            tArgs.asRecordings.push_back(sArg);
        }
    }
    tResult.sError = sPathProblem(tArgs);
    if (tResult.sError.empty()) tResult.eAction = CommandAction::Convert;
    return tResult;
}
