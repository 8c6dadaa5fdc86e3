// Record codes: the template builder lays them out exactly as the records
// carry them (cut to their fields, BHZ/BHN/BHE in capitals), so every check
// of them sees what a reader of the output would see.
#include "driver/run/RecordCodes.h"

#include <algorithm>

#include "segments/SegmentEncoding.h"

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
        t.tCodes = tCodesOfRecord(reinterpret_cast<const unsigned char*>(&tTemplate.tHeader));
    }
    return at;
}

std::vector<RecordingCode> atRecordingCodes(const CommandLine& tArgs,
                                            const std::vector<ChannelCodes>& atCodes) {
    std::vector<RecordingCode> at;
    if (tArgs.sStation.empty() && !atCodes.empty())
        at.push_back({sCodeField(atCodes.front().tCodes, tStationField), true});
    if (!tArgs.asChannels.empty()) return at;
    for (const ChannelCodes& t : atCodes) {
        RecordingCode tCode{sCodeField(t.tCodes, tChannelField), false};
        bool bSeen = false;
        for (const RecordingCode& o : at) bSeen = bSeen || (!o.bStation && o.sCode == tCode.sCode);
        if (!bSeen) at.push_back(tCode);
    }
    return at;
}

bool bCapitalCode(const std::string& s, size_t nMin, size_t nMax) {
    return bIsCode(s, nMin, nMax) &&
           std::none_of(s.begin(), s.end(), [](char c) { return c >= 'a' && c <= 'z'; });
}

const char* szReplacedBy(bool bStation) {
    return bStation ? "-station=CODE" : "-channels=C1,C2,...";
}
