// The codes each converted channel's records carry (network, station,
// location, channel): the recording's names or the ones the command line
// chooses, and the checks on them: no two channels under one name, codes
// archives accept, codes that can name an archive's folders.
#pragma once

#include <string>
#include <vector>

#include "driver/run/ChannelPlan.h"
#include "driver/cli/CommandLine.h"
#include "driver/check/OutputHistory.h"
#include "driver/input/Recording.h"

// The names a planned channel is handed to its writer under, and the codes
// its records carry.
struct ChannelCodes {
    std::string sStation;  // the recording's station name, or -station
    std::string sChannel;  // the recording's channel name, or its -channels code
    StreamCodes tCodes{};  // record bytes 8 to 19
};

// The codes of every planned channel, in plan order. A -channels list must
// have one code per planned channel (nCodeRefusal checks it first).
std::vector<ChannelCodes> atChannelCodes(const CommandLine& tArgs, const Recording& r,
                                         const std::vector<PlannedChannel>& atPlan);

// Refuses, with one error line naming sIn, a -channels list of the wrong
// length (status 2), two channels that would carry the same codes (status
// 1), and with -sds a code from the recording that cannot name a folder of
// the archive (status 1); 0 when the codes are sound.
int nCodeRefusal(const CommandLine& tArgs, const std::string& sIn, const Recording& r,
                 const std::vector<PlannedChannel>& atPlan);

// Warnings about codes from the recording that are not capital letters and
// digits, once per code, each naming the option that replaces it.
std::vector<std::string> asCodeWarnings(const CommandLine& tArgs,
                                        const std::vector<ChannelCodes>& atCodes);

// Field nFrom..nFrom+nWidth-1 of the codes, its trailing blanks dropped.
std::string sCodeField(const StreamCodes& t, size_t nFrom, size_t nWidth);

// NET.STA.LOC.CHA of the codes, blanks dropped (XX.ABC..HHZ).
std::string sStreamName(const StreamCodes& t);
