// Record codes: the template builder lays them out exactly as the records
// carry them (cut to their fields, BHZ/BHN/BHE in capitals), so every check
// here sees what a reader of the output would see.
#include "driver/run/RecordCodes.h"

#include <algorithm>
#include <cstring>

#include "driver/process/Diagnostics.h"
#include "driver/process/ExitStatus.h"
#include "segments/SegmentEncoding.h"

namespace {

// Offsets and widths of the codes within StreamCodes (record bytes 8 to 19).
constexpr size_t nStationAt = 0, nStationWidth = 5;
constexpr size_t nChannelAt = 7, nChannelWidth = 3;

// True when s is nMin to nMax capital letters or digits.
bool bCapitalCode(const std::string& s, size_t nMin, size_t nMax) {
    return bIsCode(s, nMin, nMax) &&
           std::none_of(s.begin(), s.end(), [](char c) { return c >= 'a' && c <= 'z'; });
}

// The station code and each channel code the records would carry, with the
// option that replaces each; bStation tells which is which.
struct RecordingCode {
    std::string sCode;
    bool bStation;
};

std::vector<RecordingCode> atRecordingCodes(const CommandLine& tArgs,
                                            const std::vector<ChannelCodes>& atCodes) {
    std::vector<RecordingCode> at;
    if (tArgs.sStation.empty() && !atCodes.empty())
        at.push_back({sCodeField(atCodes.front().tCodes, nStationAt, nStationWidth), true});
    if (!tArgs.asChannels.empty()) return at;
    for (const ChannelCodes& t : atCodes) {
        RecordingCode tCode{sCodeField(t.tCodes, nChannelAt, nChannelWidth), false};
        bool bSeen = false;
        for (const RecordingCode& o : at) bSeen = bSeen || (!o.bStation && o.sCode == tCode.sCode);
        if (!bSeen) at.push_back(tCode);
    }
    return at;
}

const char* szReplacedBy(bool bStation) {
    return bStation ? "-station=CODE" : "-channels=C1,C2,...";
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

}  // namespace

std::string sCodeField(const StreamCodes& t, size_t nFrom, size_t nWidth) {
    std::string s(t.data() + nFrom, nWidth);
    return s.erase(s.find_last_not_of(' ') + 1);
}

std::string sStreamName(const StreamCodes& t) {
    return sCodeField(t, 10, 2) + "." + sCodeField(t, nStationAt, nStationWidth) + "." +
           sCodeField(t, 5, 2) + "." + sCodeField(t, nChannelAt, nChannelWidth);
}

std::vector<ChannelCodes> atChannelCodes(const CommandLine& tArgs, const Recording& r,
                                         const std::vector<PlannedChannel>& atPlan) {
    const std::string sStation = tArgs.sStation.empty() ? sStationName(r.tHeader) : tArgs.sStation;
    std::vector<ChannelCodes> at;
    for (size_t i = 0; i < atPlan.size(); ++i) {
        const PlannedChannel& p = atPlan[i];
        ChannelCodes& t = at.emplace_back();
        t.sStation = sStation;
        t.sChannel = tArgs.asChannels.empty() ? std::string(r.tHeader.aChannels[p.nChannel].sName)
                                              : tArgs.asChannels[i];
        const RecordTemplate tTemplate =
            tRecordTemplate(tArgs.sNetwork.c_str(), t.sStation.c_str(), t.sChannel.c_str(),
                            r.aGroups[p.nChannel].nFreq, tArgs.sLocation.c_str());
        std::memcpy(t.tCodes.data(), tTemplate.tHeader.Station_identifier_code, t.tCodes.size());
    }
    return at;
}

int nCodeRefusal(const CommandLine& tArgs, const std::string& sIn, const Recording& r,
                 const std::vector<PlannedChannel>& atPlan) {
    if (!tArgs.asChannels.empty() && tArgs.asChannels.size() != atPlan.size()) {
        vPrintError(sIn + ": -channels gives " + std::to_string(tArgs.asChannels.size()) +
                    " codes, and the recording has " + std::to_string(atPlan.size()) +
                    " channels to convert (" + sChannelNames(r, atPlan) + ")");
        return nExitCommandLine;
    }
    const std::vector<ChannelCodes> atCodes = atChannelCodes(tArgs, r, atPlan);
    if (const std::string s = sCollision(r, atPlan, atCodes); !s.empty()) {
        vPrintError(sIn + ": " + s);
        return nExitBadInput;
    }
    if (tArgs.sArchiveDir.empty()) return nExitSuccess;
    // The archive's paths are made of the codes: only codes that cannot
    // leave their folder, or name another, may stand in them.
    for (const RecordingCode& t : atRecordingCodes(tArgs, atCodes)) {
        if (bCapitalCode(t.sCode, t.bStation ? 1 : 3, t.bStation ? 5 : 3)) continue;
        vPrintError(sIn + ": " + (t.bStation ? "station" : "channel") + " code \"" + t.sCode +
                    "\" cannot name a folder of the archive, which takes capital letters and "
                    "digits only; choose the code with " +
                    szReplacedBy(t.bStation));
        return nExitBadInput;
    }
    return nExitSuccess;
}

std::vector<std::string> asCodeWarnings(const CommandLine& tArgs,
                                        const std::vector<ChannelCodes>& atCodes) {
    std::vector<std::string> as;
    for (const RecordingCode& t : atRecordingCodes(tArgs, atCodes)) {
        if (bCapitalCode(t.sCode, 1, t.bStation ? 5 : 3)) continue;
        as.push_back(std::string(t.bStation ? "station" : "channel") + " code \"" + t.sCode +
                     "\" is not capital letters and digits, as archives expect; the records "
                     "carry it as it is (" +
                     szReplacedBy(t.bStation) + " replaces it)");
    }
    return as;
}
