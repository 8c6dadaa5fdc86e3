// Refusals: the output must not be the input or the console, the records
// must be datable and some must be written, and no two channels may share
// a name; with -sds the codes must name folders.
#include "driver/run/RunRefusals.h"

#include <sys/stat.h>
#include <sys/sysmacros.h>

#include "driver/input/ForeignFile.h"
#include "driver/process/ExitStatus.h"
#include "driver/process/Signals.h"

namespace {

// True when sOutput names the input file itself (by another path, a link or
// a symbolic link); checked before the output is opened, so nothing is touched.
bool bSameFile(const CInputFile& tInput, const std::string& sOutput) {
    struct stat st;
    return stat(sOutput.c_str(), &st) == 0 && st.st_dev == tInput.nDevice() &&
           st.st_ino == tInput.nInode();
}

// True when sOutput names the console: the file on standard output or
// standard error (a terminal, a pipe, a file the console text goes to),
// where records would mix with text. The null device may be both.
bool bIsConsole(const std::string& sOutput) {
    struct stat st;
    if (stat(sOutput.c_str(), &st) != 0) return false;
    if (S_ISCHR(st.st_mode) && st.st_rdev == makedev(1, 3)) return false;
    for (int nFile : {1, 2}) {
        struct stat stConsole;
        if (fstat(nFile, &stConsole) == 0 && stConsole.st_dev == st.st_dev &&
            stConsole.st_ino == st.st_ino)
            return true;
    }
    return false;
}

// The reason a readable input is refused with, sReason, led by "not a VORN
// recording" when the file is none at all: a known file type then says all
// there is to say, any other file keeps sReason as the detail. A damaged
// recording, and an input that could not be read, keep sReason alone.
std::string sInputRefusal(const Recording& r, const std::string& sReason) {
    if (r.tInput.pBytes() == nullptr) return sReason;
    const std::string sKind =
        sForeignFileKind(r.tInput.pBytes(), static_cast<size_t>(r.tInput.nSize()));
    if (sKind.empty()) return sReason;
    std::string s = std::string("not a VORN recording (").append(sKind).append(")");
    if (!bIsKnownFileType(sKind)) s.append("; ").append(sReason);
    return s;
}

// "CH1, CH2, CH3": the recording's names of the planned channels.
std::string sChannelNames(const Recording& r, const std::vector<PlannedChannel>& atPlan) {
    std::string s;
    for (const PlannedChannel& p : atPlan)
        s += (s.empty() ? "" : ", ") + std::string(r.tHeader.aChannels[p.nChannel].sName);
    return s;
}

// Two planned channels with the same codes: an error naming both; empty
// when every channel has codes of its own.
std::string sCollision(const Recording& r, const std::vector<PlannedChannel>& atPlan,
                       const std::vector<ChannelCodes>& atCodes) {
    for (size_t i = 0; i < atCodes.size(); ++i) {
        for (size_t j = 0; j < i; ++j) {
            if (atCodes[i].tCodes != atCodes[j].tCodes) continue;
            return std::string("channels ") + r.tHeader.aChannels[atPlan[j].nChannel].sName +
                   " and " + r.tHeader.aChannels[atPlan[i].nChannel].sName +
                   " would both be written as " + sStreamName(atCodes[i].tCodes) +
                   ", and their samples could no longer be told apart; give each its own code "
                   "with -channels=C1,C2,...";
        }
    }
    return "";
}

// A name from the recording that its code would carry cut short (NORTH01 as
// NORTH), where another recorder's name may be cut alike and their data
// merged in the archive: what to do instead; empty when none is.
std::string sCutName(const CommandLine& tArgs, const std::vector<ChannelCodes>& atCodes) {
    for (const ChannelCodes& t : atCodes) {
        if (tArgs.sStation.empty() && t.sStation.size() > tStationField.nWidth)
            return "station name \"" + t.sStation + "\" would be cut to \"" +
                   t.sStation.substr(0, tStationField.nWidth) +
                   "\" in the archive, where another station's name may be cut alike; choose "
                   "the station's code with -station=CODE";
        if (tArgs.asChannels.empty() && t.sChannel.size() > tChannelField.nWidth)
            return "channel name \"" + t.sChannel + "\" would be cut to \"" +
                   t.sChannel.substr(0, tChannelField.nWidth) +
                   "\" in the archive, where another channel's name may be cut alike; choose "
                   "the channels' codes with -channels=C1,C2,...";
    }
    return "";
}

}  // namespace

Refusal tLoadRefusal(const std::string& sIn, const Recording& r, const std::string& sReason) {
    if (bInputShrank()) return {nExitBadInput, sShrankError(sIn)};
    return {nExitBadInput, sIn + ": " + sInputRefusal(r, sReason)};
}

std::string sShrankError(const std::string& sIn, const std::string& sFate) {
    std::string s = sIn + ": the recording shrank while it was read";
    return sFate.empty() ? s : s + "; " + sFate;
}

Refusal tRecordingRefusal(const std::string& sIn, const std::string& sOut, const Recording& r,
                          const ChannelPlan& tPlan,
                          const std::vector<ConvertedChannel>& atChannels) {
    if (bSameFile(r.tInput, sOut))
        return {nExitCommandLine,
                sOut + ": the output is the input recording itself; choose another name"};
    if (bIsConsole(sOut))
        return {nExitCommandLine, sOut +
                                      ": the output is the console (standard output or error) "
                                      "itself; records would mix with the program's text; "
                                      "choose another name"};
    for (const ConvertedChannel& c : atChannels) {
        if (bRunsPastLastSecond(c))
            return {nExitBadInput, sIn +
                                       ": the recording runs past 9999-12-31 23:59:59, the last "
                                       "time a record can carry"};
    }
    if (const std::string s = sNothingToConvert(r, tPlan); !s.empty())
        return {nExitBadInput, sIn + ": " + sInputRefusal(r, s)};
    return {};
}

Refusal tCodeListRefusal(const CommandLine& tArgs, const std::string& sIn, const Recording& r,
                         const ChannelPlan& tPlan) {
    const std::vector<PlannedChannel>& atPlan = tPlan.atChannels;
    if (tArgs.asChannels.empty() || tArgs.asChannels.size() == atPlan.size()) return {};
    return {nExitCommandLine, sIn + ": -channels gives " + std::to_string(tArgs.asChannels.size()) +
                                  " codes, and the recording has " + std::to_string(atPlan.size()) +
                                  " channels to convert (" + sChannelNames(r, atPlan) + ")"};
}

Refusal tCodeRefusal(const CommandLine& tArgs, const std::string& sIn, const Recording& r,
                     const ChannelPlan& tPlan, const std::vector<ChannelCodes>& atCodes) {
    if (const std::string s = sCollision(r, tPlan.atChannels, atCodes); !s.empty())
        return {nExitBadInput, sIn + ": " + s};
    if (tArgs.sArchiveDir.empty()) return {};
    if (const std::string s = sCutName(tArgs, atCodes); !s.empty())
        return {nExitBadInput, sIn + ": " + s};
    // The archive's paths are made of the codes: only codes that cannot
    // leave their folder, or name another, may stand in them.
    for (const RecordingCode& t : atRecordingCodes(tArgs, atCodes)) {
        const size_t nMin = t.bStation ? 1 : tChannelField.nWidth;
        const size_t nMax = t.bStation ? tStationField.nWidth : tChannelField.nWidth;
        if (bCapitalCode(t.sCode, nMin, nMax)) continue;
        return {nExitBadInput, sIn + ": " + (t.bStation ? "station" : "channel") + " code \"" +
                                   t.sCode +
                                   "\" cannot name a folder of the archive, which takes capital "
                                   "letters and digits only; choose the code with " +
                                   szReplacedBy(t.bStation)};
    }
    return {};
}
