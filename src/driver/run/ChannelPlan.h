// Which list positions of a recording are converted, the warnings about the
// positions skipped, the refusal of a run that would write no record at
// all, and each planned channel as the run's other parts take it: as plain
// values (ConvertedChannel) and as the extraction reads it (ChannelSource).
#pragma once

#include <string>
#include <vector>

#include "driver/channel/ConvertedChannel.h"
#include "driver/input/Recording.h"
#include "recorder/ChannelExtraction.h"

// One channel to convert: its list position and its channel index.
struct PlannedChannel {
    int nPosition;
    int nChannel;
};

struct ChannelPlan {
    std::vector<PlannedChannel> atChannels;    // in list order
    std::vector<std::string> asWarnings;       // positions skipped, and why
    std::vector<std::string> asUnusableRates;  // "NAME has FREQ F" per channel skipped for its rate
};

// Where the samples of planned channel p lie in the data area.
RecordGeometry tGeometryOf(const Recording& r, const PlannedChannel& p);

// The positions whose channel is on and whose FREQ a record can carry
// (1 to 32767); every other switched-on position is named in a warning.
ChannelPlan tPlanChannels(const Recording& r);

// The channel whose record layout stands for the recording's: the first
// planned channel with a rate above 0; null when there is none.
const PlannedChannel* pLayoutChannel(const Recording& r, const std::vector<PlannedChannel>& atPlan);

// Each planned channel as plain values: its rate, samples and stretches
// (one from the recording's start, one more from each of atRestarts), its
// samples read from the mapped recording, kept to days with bDays. Codes
// are the caller's to set.
std::vector<ConvertedChannel> atConvertedChannels(const Recording& r,
                                                  const std::vector<PlannedChannel>& atPlan,
                                                  const std::vector<StretchStart>& atRestarts,
                                                  bool bDays);

// Planned channel p of r as the extraction reads it, under the station and
// channel names szStation and szChannel (which must outlive the result),
// restarting at atRestarts.
ChannelSource tChannelSource(const Recording& r, const PlannedChannel& p, const char* szStation,
                             const char* szChannel, const std::vector<StretchStart>& atRestarts);

// Why the plan would write no record (no channel on, no usable rate, a
// data area shorter than one record, records without samples); empty when
// some planned channel has samples.
std::string sNothingToConvert(const Recording& r, const ChannelPlan& tPlan);
