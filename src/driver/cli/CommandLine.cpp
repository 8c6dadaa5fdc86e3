// Command-line parsing: the usage and banner texts, the default output
// name, the help and version requests, the recordings, and the options:
// -g (gain: anything beginning with -g), -outname (also -outputname),
// -outdir, -network, -station, -location, -channels and -sds with a value
// after "=" or ":", and -recordtime, -quiet and -verify, each with one or
// two dashes.
#include "driver/cli/CommandLine.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstddef>
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

bool bIsCode(const std::string& sCode, size_t nMin, size_t nMax) {
    if (sCode.size() < nMin || sCode.size() > nMax) return false;
    for (const char c : sCode) {
        const bool bLetter = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
        if (!bLetter && !(c >= '0' && c <= '9')) return false;
    }
    return true;
}

bool bValidNetworkCode(const std::string& sCode) {
    return bIsCode(sCode, 1, nMaxNetworkLength);
}

namespace {

// Abbreviated form of a long path for messages.
std::string sShortened(const std::string& s) {
    return s.size() <= 60 ? s : s.substr(0, 60) + "...";
}

enum class OptionKind {
    OutputName,
    OutputDir,
    Network,
    RecordTime,
    Quiet,
    Verify,
    Station,
    Location,
    Channels,
    Archive,
};

struct OptionName {
    const char* szName;
    OptionKind eKind;
    bool bValue;  // takes "=VALUE" or ":VALUE"
};

constexpr OptionName atOptions[] = {
    {"outname", OptionKind::OutputName, true},
    {"outputname", OptionKind::OutputName, true},
    {"outdir", OptionKind::OutputDir, true},
    {"network", OptionKind::Network, true},
    {"recordtime", OptionKind::RecordTime, false},
    {"quiet", OptionKind::Quiet, false},
    {"verify", OptionKind::Verify, false},
    {"station", OptionKind::Station, true},
    {"location", OptionKind::Location, true},
    {"channels", OptionKind::Channels, true},
    {"sds", OptionKind::Archive, true},
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

// s in ASCII capitals.
std::string sCapitals(const std::string& s) {
    std::string sOut;
    for (const char c : s)
        sOut.push_back(c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c);
    return sOut;
}

// A code option: its field, its length and how it is written in messages.
struct CodeRule {
    const char* szWhat;  // "network code"
    size_t nMin, nMax;
    const char* szLength;   // "1 or 2"
    const char* szExample;  // "-network=XX"
};

constexpr CodeRule tNetworkRule{"network code", 1, nMaxNetworkLength, "1 or 2", "-network=XX"};
constexpr CodeRule tStationRule{"station code", 1, tStationField.nWidth, "1 to 5", "-station=ABC"};
constexpr CodeRule tLocationRule{"location code", tLocationField.nWidth, tLocationField.nWidth, "2",
                                 "-location=00"};

// Applies the value of a code option (-network, -station, -location) into
// sTarget, in capitals; false with sError when it is no such code.
bool bApplyCode(const std::string& sArg, const std::string& sCode, const CodeRule& tRule,
                std::string& sTarget, std::string& sError) {
    if (!bIsCode(sCode, tRule.nMin, tRule.nMax)) {
        sError = "option " + sShortened(sArg) + ": the " + tRule.szWhat + " must be " +
                 tRule.szLength + " letters or digits (write " + tRule.szExample + ")";
        return false;
    }
    sTarget = sCapitals(sCode);
    return true;
}

// Applies the value of -channels: codes of 3 letters or digits, separated
// by commas, none given twice; false with sError otherwise.
bool bApplyChannels(const std::string& sArg, const std::string& sList, CommandLine& tArgs,
                    std::string& sError) {
    std::vector<std::string> as;
    for (size_t nFrom = 0;;) {
        const size_t nComma = sList.find(',', nFrom);
        as.push_back(sCapitals(sList.substr(nFrom, nComma - nFrom)));
        if (nComma == std::string::npos) break;
        nFrom = nComma + 1;
    }
    for (size_t i = 0; i < as.size(); ++i) {
        if (!bIsCode(as[i], tChannelField.nWidth, tChannelField.nWidth)) {
            sError = "option " + sShortened(sArg) +
                     ": each channel code must be 3 letters or digits, the codes separated by "
                     "commas without spaces (write -channels=HHZ,HHN,HHE)";
            return false;
        }
        if (std::count(as.begin(), as.begin() + static_cast<std::ptrdiff_t>(i), as[i]) > 0) {
            sError = "option " + sShortened(sArg) + ": the code " + as[i] +
                     " is given twice, and each channel needs its own";
            return false;
        }
    }
    tArgs.asChannels = as;
    return true;
}

// Applies the value of a path option (-outname, -outdir); false with sError
// when it is empty or too long.
bool bApplyPath(const std::string& sArg, const OptionArgument& t, std::string& sTarget,
                std::string& sError) {
    if (t.sValue.empty()) {
        const bool bFolder = t.sName == "outdir" || t.sName == "sds";
        sError = "option " + sShortened(sArg) + ": no " + (bFolder ? "folder" : "output name") +
                 " after it (write -" + t.sName + "=" + (bFolder ? "DIR" : "NAME") + ")";
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

// How the value of an option is shown in messages.
const char* szValueShown(OptionKind e) {
    switch (e) {
        case OptionKind::Network:
            return "XX";
        case OptionKind::Station:
            return "ABC";
        case OptionKind::Location:
            return "00";
        case OptionKind::Channels:
            return "HHZ,HHN,HHE";
        case OptionKind::OutputDir:
        case OptionKind::Archive:
            return "DIR";
        default:
            return "NAME";
    }
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
                 szValueShown(pOption->eKind) + ")";
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
            return bApplyCode(sArg, t.sValue, tNetworkRule, tArgs.sNetwork, sError);
        case OptionKind::Station:
            return bApplyCode(sArg, t.sValue, tStationRule, tArgs.sStation, sError);
        case OptionKind::Location:
            return bApplyCode(sArg, t.sValue, tLocationRule, tArgs.sLocation, sError);
        case OptionKind::Channels:
            return bApplyChannels(sArg, t.sValue, tArgs, sError);
        case OptionKind::Archive:
            return bApplyPath(sArg, t, tArgs.sArchiveDir, sError);
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

// True when sArg looks like channel codes: letters and digits in pieces
// of at most 3, separated by commas.
bool bLooksLikeCodes(const std::string& sArg) {
    bool bAny = false;
    for (size_t nFrom = 0; nFrom <= sArg.size();) {
        const size_t nComma = std::min(sArg.find(',', nFrom), sArg.size());
        const std::string sPiece = sArg.substr(nFrom, nComma - nFrom);
        if (!sPiece.empty() && !bIsCode(sPiece, 1, tChannelField.nWidth)) return false;
        bAny = bAny || !sPiece.empty();
        nFrom = nComma + 1;
    }
    return bAny;
}

// The refusal of a -channels value (argv[nOption]) that the shell cut at
// spaces: the arguments right after it look like codes and name no file.
// Empty when there are none.
std::string sCodesCutAtSpaces(int argc, const char* const argv[], int nOption) {
    std::string sAfter, sWritten = tSplitOption(argv[nOption]).sValue;
    for (int i = nOption + 1; i < argc && bLooksLikeCodes(argv[i]) && !bExists(argv[i]); ++i) {
        if (!sAfter.empty()) sAfter.push_back(' ');
        sAfter.append(argv[i]);
        if (!sWritten.empty() && sWritten.back() != ',' && argv[i][0] != ',')
            sWritten.push_back(',');
        sWritten.append(argv[i]);
    }
    if (sAfter.empty()) return "";
    return "option " + sShortened(argv[nOption]) + " is followed by " + sShortened(sAfter) +
           ", which name no file: the codes are separated by commas without spaces (write "
           "-channels=" +
           sShortened(sWritten) + ")";
}

// Why the recordings and their output names cannot be carried out (too
// long, -outdir with -outname); empty when they can.
std::string sPathProblem(const CommandLine& tArgs) {
    if (!tArgs.sArchiveDir.empty() && (!tArgs.sOutputName.empty() || !tArgs.sOutputDir.empty()))
        return "-sds cannot be given with -outname or -outdir: the records go into the archive's "
               "day files";
    if (!tArgs.sArchiveDir.empty() && tArgs.sNetwork.empty())
        return "-sds needs a network code for the archive's paths (add -network=XX)";
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
    int nChannelsOption = 0;  // where -channels stands, 0 when it does not
    for (int i = 2; i < argc; ++i) {
        const std::string sArg = argv[i];
        if (!bOptionsEnded && sArg == "--") {
            bOptionsEnded = true;
        } else if (!bOptionsEnded && sArg.size() > 1 && sArg[0] == '-') {
            if (!bApplyOption(sArg, tArgs, abSeen, tResult.sError)) return tResult;
            if (tSplitOption(sArg).sName == "channels") nChannelsOption = i;
        } else {
            tArgs.asRecordings.push_back(sArg);
        }
    }
    if (nChannelsOption > 0) tResult.sError = sCodesCutAtSpaces(argc, argv, nChannelsOption);
    if (tResult.sError.empty()) tResult.sError = sPathProblem(tArgs);
    if (tResult.sError.empty()) tResult.eAction = CommandAction::Convert;
    return tResult;
}
