// Which list positions of a recording are converted, the warnings about the
// positions skipped, and the refusals the choice implies: records the
// calendar cannot date, and a run that would write no record at all.
#pragma once

#include <string>
#include <vector>

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

// True when a planned channel's last sample lies after the last second of
// 9999: the records would carry times the calendar fields cannot hold. The
// channel's samples are one run from the recording's start, or one run
// more from each of atRestarts on.
bool bRunsPastLastSecond(const Recording& r, const std::vector<PlannedChannel>& atPlan,
                         const std::vector<RunRestart>& atRestarts);

// Why the plan would write no record (no channel on, no usable rate, a
// data area shorter than one record, records without samples); empty when
// some planned channel has samples.
std::string sNothingToConvert(const Recording& r, const ChannelPlan& tPlan);
