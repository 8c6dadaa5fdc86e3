// The codes each converted channel's records carry (network, station,
// location, channel): the recording's names or the ones the command line
// chooses, laid out as the records carry them.
#pragma once

#include <string>
#include <vector>

#include "driver/channel/StreamCodes.h"
#include "driver/cli/CommandLine.h"
#include "driver/input/Recording.h"
#include "driver/run/ChannelPlan.h"

// The names a planned channel is handed to its writer under, and the codes
// its records carry.
struct ChannelCodes {
    std::string sStation;  // the recording's station name, or -station
    std::string sChannel;  // the recording's channel name, or its -channels code
    StreamCodes tCodes{};
};

// The codes of every planned channel, in plan order. A -channels list must
// have one code per planned channel (tCodeListRefusal checks it first).
std::vector<ChannelCodes> atChannelCodes(const CommandLine& tArgs, const Recording& r,
                                         const std::vector<PlannedChannel>& atPlan);

// A code the records take from the recording (no option replaces it): the
// station code once, each channel code once.
struct RecordingCode {
    std::string sCode;
    bool bStation;  // a station code, else a channel code
};

std::vector<RecordingCode> atRecordingCodes(const CommandLine& tArgs,
                                            const std::vector<ChannelCodes>& atCodes);

// True when s is nMin to nMax capital letters or digits.
bool bCapitalCode(const std::string& s, size_t nMin, size_t nMax);

// The option that replaces a code from the recording: "-station=CODE" or
// "-channels=C1,C2,...".
const char* szReplacedBy(bool bStation);
