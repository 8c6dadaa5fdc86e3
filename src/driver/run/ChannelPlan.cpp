// Planning the channels of a run from the channel list, the on flags and
// the rates, before anything is written.
#include "driver/run/ChannelPlan.h"

#include <cmath>

#include "mseed/SeedRecord.h"
#include "timeconv/SampleTime.h"

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

const PlannedChannel* pLayoutChannel(const Recording& r,
                                     const std::vector<PlannedChannel>& atPlan) {
    for (const PlannedChannel& p : atPlan)
        if (r.aGroups[p.nChannel].nFreq > 0) return &p;
    return nullptr;
}

std::vector<ConvertedChannel> atConvertedChannels(const Recording& r,
                                                  const std::vector<PlannedChannel>& atPlan,
                                                  const std::vector<StretchStart>& atRestarts,
                                                  bool bDays) {
    std::vector<ConvertedChannel> at;
    for (const PlannedChannel& p : atPlan) {
        ConvertedChannel& c = at.emplace_back();
        const RecordGeometry g = tGeometryOf(r, p);
        c.nRate = r.aGroups[p.nChannel].nFreq;
        c.bMicroseconds = bRateNeedsMicroseconds(c.nRate);
        c.bNumberedByDay = bDays;
        c.nSamples = nChannelSampleCount(r.nDataSize, g);
        std::vector<SampleStretch> atFrom;
        for (const StretchStart& t : atRestarts)
            atFrom.push_back({t.nRecord * nSamplesPerBlock(g), nMicrosOf(t.tStart)});
        c.atStretches = atStretchesFrom(nMicrosOf(r.tFileStart), atFrom);
        c.fnSamples = [pData = r.pData, g](int64_t nFirst, int nCount, int32_t* pnOut) {
            vFillSamples(pData, g, nFirst, nCount, pnOut);
        };
    }
    return at;
}

ChannelSource tChannelSource(const Recording& r, const PlannedChannel& p, const char* szStation,
                             const char* szChannel, const std::vector<StretchStart>& atRestarts) {
    ChannelSource t;
    t.pData = r.pData;
    t.nDataSize = r.nDataSize;
    t.tGeometry = tGeometryOf(r, p);
    t.szStation = szStation;
    t.szChannel = szChannel;
    t.dSampleRate = static_cast<double>(r.aGroups[p.nChannel].nFreq);
    t.tStart = r.tFileStart;
    t.atRestarts = atRestarts;
    return t;
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
