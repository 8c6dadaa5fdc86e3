// Command-line parsing: the usage and complaint texts, the default output
// name, the help and version requests, and the options -g (gain), -outname,
// -outputname, -network and -recordtime, each compared as a case-sensitive
// prefix; the name options and -network are followed by one separator
// character.
#include "driver/CommandLine.h"

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

const char szTooManyText[] = "\n Too many parameters in command string!";

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
std::string sShortened(const char* sz) {
    std::string s(sz);
    return s.size() <= 60 ? s : s.substr(0, 60) + "...";
}

// The warning text for an argument that is no option of this program.
std::string sIgnoredArgument(const char* szArg) {
    const std::string sQuoted = "argument \"" + sShortened(szArg) + "\" is ignored; ";
    if (szArg[0] == '-')
        return sQuoted +
               "it is no option of tessal (-g, -gain, -outname=NAME, -outputname=NAME, "
               "-network=NN, -recordtime)";
    return sQuoted + "one recording is converted per run";
}

// Applies -network with its separator and code; false with sError set when
// the code is not 1 or 2 letters or digits.
bool bApplyNetwork(const char* szArg, size_t nPrefixLen, CommandLine& tArgs, std::string& sError) {
    const std::string sCode = std::strlen(szArg) > nPrefixLen ? szArg + nPrefixLen + 1 : "";
    if (!bValidNetworkCode(sCode)) {
        sError = "option " + sShortened(szArg) +
                 ": the network code must be 1 or 2 letters or digits (write -network=XX)";
        return false;
    }
    tArgs.sNetwork.clear();
    for (const char c : sCode)
        tArgs.sNetwork.push_back(c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c);
    return true;
}

// Applies one option argument; returns false with sError set when the
// option cannot be carried out.
bool bApplyOption(const char* szArg, CommandLine& tArgs, std::string& sError) {
    if (std::strncmp(szArg, "-g", 2) == 0) {
        tArgs.bGain = true;
        return true;
    }
    for (const char* szPrefix : {"-outname", "-outputname"}) {
        const size_t nLen = std::strlen(szPrefix);
        if (std::strncmp(szArg, szPrefix, nLen) != 0) continue;
        // The name starts after the prefix and one separator character.
        const size_t nArgLen = std::strlen(szArg);
        if (nArgLen <= nLen + 1) {
            sError = std::string("option ") + szArg + ": no output name after " + szPrefix +
                     " and its separator (write " + szPrefix + "=NAME)";
            return false;
        }
        tArgs.sOutputName.assign(szArg + nLen + 1);
        return true;
    }
    static const char szNetwork[] = "-network";
    if (std::strncmp(szArg, szNetwork, sizeof szNetwork - 1) == 0)
        return bApplyNetwork(szArg, sizeof szNetwork - 1, tArgs, sError);
    static const char szRecordTime[] = "-recordtime";
    if (std::strncmp(szArg, szRecordTime, sizeof szRecordTime - 1) == 0) {
        tArgs.bRecordTime = true;
        return true;
    }
    tArgs.asSettingWarnings.push_back(sIgnoredArgument(szArg));
    return true;
}

}  // namespace

CommandLineResult tParseCommandLine(int argc, const char* const argv[]) {
    CommandLineResult tResult;
    const int nArgs = argc - 1;
    if (nArgs < 1) {
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
    if (nArgs > 3) {
        tResult.eAction = CommandAction::TooMany;
        tResult.sError = std::to_string(nArgs) +
                         " arguments given; at most 3 are allowed: the recording and two options";
        return tResult;
    }
    tResult.eAction = CommandAction::Refuse;
    CommandLine& tArgs = tResult.tArgs;
    if (std::strlen(argv[1]) > nMaxPathLength) {
        tResult.sError = "input path " + sShortened(argv[1]) + " is longer than " +
                         std::to_string(nMaxPathLength) + " bytes";
        return tResult;
    }
    tArgs.sInputPath = argv[1];
    tArgs.sOutputName = sDefaultOutputName(tArgs.sInputPath);
    for (int i = 2; i <= nArgs; ++i) {
        if (!bApplyOption(argv[i], tArgs, tResult.sError)) return tResult;
    }
    if (tArgs.sOutputName.size() > nMaxPathLength) {
        tResult.sError = "output name " + sShortened(tArgs.sOutputName.c_str()) +
                         " is longer than " + std::to_string(nMaxPathLength) + " bytes";
        return tResult;
    }
    tResult.eAction = CommandAction::Convert;
    return tResult;
}
