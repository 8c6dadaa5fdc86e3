// Planning the channels of a run from the channel list, the on flags and
// the rates, before anything is written.
#include "driver/run/ChannelPlan.h"

#include <cmath>

#include "mseed/SeedRecord.h"

RecordGeometry tGeometryOf(const Recording& r, const PlannedChannel& p) {
    return tRecordGeometry(r.nDataSize, r.aGroups[p.nChannel].nFreq, p.nPosition, r.nRecSeconds,
                           r.tHeader.nChannelCount);
}

namespace {

std::string sJoined(const std::vector<std::string>& as) {
    std::string s;
    for (const std::string& sPart : as) s += (s.empty() ? "" : ", ") + sPart;
    return s;
}

}  // namespace

ChannelPlan tPlanChannels(const Recording& r) {
    ChannelPlan t;
    const int nCount = r.tHeader.nChannelCount;
    if (nCount > nRecorderChannelListLength) {
        t.asWarnings.push_back(
            std::to_string(nCount) + " channels are switched on but the channel list holds " +
            std::to_string(nRecorderChannelListLength) + "; only those are converted");
    }
    for (int i = 0; i < nCount && i < nRecorderChannelListLength; ++i) {
        const int c = r.tHeader.anChannelList[i];
        if (c < 0 || c >= nRecorderChannelSlots) {
            // The list holds channel numbers from 0 (CH1); positions are
            // counted from 1 like every count in messages.
            t.asWarnings.push_back("channel list position " + std::to_string(i + 1) + " holds " +
                                   std::to_string(c) +
                                   ", which names no channel (0 to 31 stand for CH1 to CH32); "
                                   "skipped");
            continue;
        }
        if (r.tHeader.aChannels[c].bOn != 1) continue;
        const int32_t nFreq = r.aGroups[c].nFreq;
        const std::string sChannel = r.tHeader.aChannels[c].sName;
        if (nFreq <= 0 || nFreq > nMaxSeedRate) {
            t.asUnusableRates.push_back(sChannel + " has FREQ " + std::to_string(nFreq));
            // Above the limit, its low 16 bits would give the records another
            // rate, or a period.
            t.asWarnings.push_back("channel " + t.asUnusableRates.back() +
                                   (nFreq > 0 ? ", above " + std::to_string(nMaxSeedRate) +
                                                    ", the highest rate a record can carry; skipped"
                                              : ", which is no sampling rate; skipped"));
            continue;
        }
        t.atChannels.push_back({i, c});
    }
    return t;
}

bool bRunsPastLastSecond(const Recording& r, const std::vector<PlannedChannel>& atPlan,
                         const std::vector<RunRestart>& atRestarts) {
    for (const PlannedChannel& p : atPlan) {
        const double dSampleRate = r.aGroups[p.nChannel].nFreq;
        const RecordGeometry g = tGeometryOf(r, p);
        // Each run: its start, and the records it lasts up to the next one.
        for (size_t k = 0; k <= atRestarts.size(); ++k) {
            const int64_t nFrom = k == 0 ? 0 : atRestarts[k - 1].nRecord;
            const int64_t nTo = k < atRestarts.size() ? atRestarts[k].nRecord : g.nRecordCount;
            const EpochTime tStart = k == 0 ? r.tFileStart : atRestarts[k - 1].tStart;
            const double dSamples = static_cast<double>(nTo - nFrom) * g.dBlockSamples;
            if (dSamples >= 1 && tStart + (dSamples - 1) / dSampleRate >= tLastCalendarSecond + 1)
                return true;
        }
    }
    return false;
}

std::string sNothingToConvert(const Recording& r, const ChannelPlan& tPlan) {
    if (r.tHeader.nChannelCount <= 0)
        return "no channel is switched on (no CH section has STAT=ON); there is nothing to convert";
    if (tPlan.atChannels.empty()) {
        if (tPlan.asUnusableRates.empty())
            return "the channel list names no switched-on channel; there is nothing to convert";
        return "no switched-on channel has a rate a record can carry (FREQ 1 to " +
               std::to_string(nMaxSeedRate) + "): " + sJoined(tPlan.asUnusableRates);
    }
    for (const PlannedChannel& p : tPlan.atChannels)
        if (nChannelSampleCount(r.nDataSize, tGeometryOf(r, p)) > 0) return "";
    // Every planned channel comes out empty: say why for the first.
    const PlannedChannel& p = tPlan.atChannels.front();
    const double dSampleRate = r.aGroups[p.nChannel].nFreq;
    const double dRecordSize = 2.0 * r.tHeader.nChannelCount * r.nRecSeconds * dSampleRate + 256.0;
    if (r.nRecSeconds > 0 && dRecordSize > static_cast<double>(r.nDataSize)) {
        return "the data area holds " + std::to_string(r.nDataSize) +
               " bytes, less than one record (" + std::to_string(std::llround(dRecordSize)) +
               " bytes); there is nothing to convert";
    }
    return "the records hold no samples (REC_SIZE_SEC is " + std::to_string(r.nRecSeconds) +
           "); there is nothing to convert";
}
