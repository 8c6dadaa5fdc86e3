// One channel of a conversion in plain values: the codes its records carry,
// its stretches of samples with the exact time of every sample, and what
// its records must hold once converted. A stretch is samples dated from one
// start: a channel has one from the recording's start, and with -recordtime
// one more from each jump of the recorder's clock. The run builds one per
// planned channel; the archive's day files, the spans an output is warned
// about and the read-back of -verify all take their facts from it.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <vector>

#include "driver/channel/StreamCodes.h"
#include "timeconv/SampleTime.h"

// From sample nFirstSample on, the channel's samples are dated from
// nStartMicros (microseconds since 1970): sample i at nStartMicros + (i -
// nFirstSample) / rate.
struct SampleStretch {
    int64_t nFirstSample = 0;
    int64_t nStartMicros = 0;
};

// From nFromMicros up to nToMicros, microseconds since 1970.
struct TimeSpan {
    int64_t nFromMicros = 0;
    int64_t nToMicros = 0;
};

// A channel's samples from nFirst on, nCount of them, into pnOut.
using ChannelSamples = std::function<void(int64_t nFirst, int nCount, int32_t* pnOut)>;

struct ConvertedChannel {
    StreamCodes tCodes{};
    int32_t nRate = 1;
    bool bMicroseconds = false;  // its records carry a blockette 1001
    // Kept to UTC days: no record runs over midnight, and the records of
    // each day are numbered from 000001.
    bool bNumberedByDay = false;
    int64_t nSamples = 0;
    std::vector<SampleStretch> atStretches;  // the first from sample 0, then in sample order
    ChannelSamples fnSamples;
};

// The stretches of a channel whose first sample was taken at nStartMicros
// and whose samples are dated afresh from each of atRestarts on (in sample
// order).
std::vector<SampleStretch> atStretchesFrom(int64_t nStartMicros,
                                           const std::vector<SampleStretch>& atRestarts);

// The first sample after stretch k of c: where the next begins, or the
// channel's end; never before the stretch's own first sample.
int64_t nStretchEnd(const ConvertedChannel& c, size_t k);

// The exact time of sample nIndex of c.
SampleTime tTimeOfSample(const ConvertedChannel& c, int64_t nIndex);

// Where a record whose first sample is sample nIndex of c must start, in
// microseconds: the exact time rounded down to a tick (0.0001 s), or to
// the nearest microsecond where its records carry a blockette 1001.
int64_t nRecordStartDue(const ConvertedChannel& c, int64_t nIndex);

// The span of each stretch with samples: from its first sample to where the
// sample after its last would be.
std::vector<TimeSpan> atStretchSpans(const ConvertedChannel& c);

// What c writes: from its earliest sample to the end of its latest
// stretch; {0, 0} when it has no samples.
TimeSpan tWrittenSpan(const ConvertedChannel& c);

// What c writes on each UTC day (days since 1970), each sample on the day
// of its exact time.
std::map<int64_t, TimeSpan> mapDaySpans(const ConvertedChannel& c);

// True when a sample of c lies after 9999-12-31 23:59:59, the last second
// a record's time can carry.
bool bRunsPastLastSecond(const ConvertedChannel& c);
