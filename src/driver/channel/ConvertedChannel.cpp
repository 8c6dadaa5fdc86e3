// A channel's stretches and times, worked out in exact integer time
// (SampleTime), so that every user of them places each sample alike.
#include "driver/channel/ConvertedChannel.h"

#include <algorithm>

#include "timeconv/CalendarTime.h"

std::vector<SampleStretch> atStretchesFrom(int64_t nStartMicros,
                                           const std::vector<SampleStretch>& atRestarts) {
    std::vector<SampleStretch> at{{0, nStartMicros}};
    at.insert(at.end(), atRestarts.begin(), atRestarts.end());
    return at;
}

int64_t nStretchEnd(const ConvertedChannel& c, size_t k) {
    const int64_t nFirst = c.atStretches[k].nFirstSample;
    const int64_t nNext =
        k + 1 < c.atStretches.size() ? c.atStretches[k + 1].nFirstSample : c.nSamples;
    return std::max(nFirst, std::min(nNext, c.nSamples));
}

SampleTime tTimeOfSample(const ConvertedChannel& c, int64_t nIndex) {
    const SampleStretch* p = &c.atStretches.front();
    for (const SampleStretch& t : c.atStretches)
        if (t.nFirstSample <= nIndex) p = &t;
    return tSampleTime(p->nStartMicros, nIndex - p->nFirstSample, c.nRate);
}

int64_t nRecordStartDue(const ConvertedChannel& c, int64_t nIndex) {
    const SampleTime t = tTimeOfSample(c, nIndex);
    return c.bMicroseconds ? nNearestMicros(t) : nFloorTicks(t) * 100;
}

std::vector<TimeSpan> atStretchSpans(const ConvertedChannel& c) {
    std::vector<TimeSpan> at;
    for (size_t k = 0; k < c.atStretches.size(); ++k) {
        const SampleStretch& s = c.atStretches[k];
        const int64_t nCount = nStretchEnd(c, k) - s.nFirstSample;
        if (nCount <= 0) continue;
        at.push_back({s.nStartMicros, tSampleTime(s.nStartMicros, nCount, c.nRate).nMicros});
    }
    return at;
}

TimeSpan tWrittenSpan(const ConvertedChannel& c) {
    const std::vector<TimeSpan> at = atStretchSpans(c);
    if (at.empty()) return {};
    TimeSpan t = at.front();
    for (const TimeSpan& s : at) {
        t.nFromMicros = std::min(t.nFromMicros, s.nFromMicros);
        t.nToMicros = std::max(t.nToMicros, s.nToMicros);
    }
    return t;
}

std::map<int64_t, TimeSpan> mapDaySpans(const ConvertedChannel& c) {
    std::map<int64_t, TimeSpan> map;
    for (size_t k = 0; k < c.atStretches.size(); ++k) {
        const SampleStretch& s = c.atStretches[k];
        const int64_t nCount = nStretchEnd(c, k) - s.nFirstSample;
        if (nCount <= 0) continue;
        const SampleTime tFirst = tSampleTime(s.nStartMicros, 0, c.nRate);
        const SampleTime tLast = tSampleTime(s.nStartMicros, nCount - 1, c.nRate);
        const int64_t nEnd = tSampleTime(s.nStartMicros, nCount, c.nRate).nMicros;
        for (int64_t nDay = nDayOf(tFirst); nDay <= nDayOf(tLast); ++nDay) {
            const int64_t nFrom = std::max(tFirst.nMicros, nDay * nMicrosPerDay);
            const int64_t nTo = std::min(nEnd, (nDay + 1) * nMicrosPerDay);
            const auto [it, bNew] = map.try_emplace(nDay, TimeSpan{nFrom, nTo});
            if (bNew) continue;
            it->second.nFromMicros = std::min(it->second.nFromMicros, nFrom);
            it->second.nToMicros = std::max(it->second.nToMicros, nTo);
        }
    }
    return map;
}

bool bRunsPastLastSecond(const ConvertedChannel& c) {
    const int64_t nEndOfCalendar = (static_cast<int64_t>(tLastCalendarSecond) + 1) * 1000000;
    for (size_t k = 0; k < c.atStretches.size(); ++k) {
        const SampleStretch& s = c.atStretches[k];
        const int64_t nCount = nStretchEnd(c, k) - s.nFirstSample;
        if (nCount > 0 &&
            tSampleTime(s.nStartMicros, nCount - 1, c.nRate).nMicros >= nEndOfCalendar)
            return true;
    }
    return false;
}
