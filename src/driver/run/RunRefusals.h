// The refusals of a conversion run, all made before anything is written:
// each says why, naming the file it is about, and gives the exit status.
// The run prints the one error line.
#pragma once

#include <string>
#include <vector>

#include "driver/channel/ConvertedChannel.h"
#include "driver/cli/CommandLine.h"
#include "driver/input/Recording.h"
#include "driver/run/ChannelPlan.h"
#include "driver/run/RecordCodes.h"

// A refusal: the exit status (0: the run may go on) and the error line.
struct Refusal {
    int nStatus = 0;
    std::string sMessage;
    explicit operator bool() const { return nStatus != 0; }
};

// The input sIn that could not be loaded into r, for sReason; led by "not
// a VORN recording" when the file is none at all, and said plainly when it
// shrank while it was read.
Refusal tLoadRefusal(const std::string& sIn, const Recording& r, const std::string& sReason);

// The error line of a recording that shrank while it was read; sFate, when
// given, says what became of the output.
std::string sShrankError(const std::string& sIn, const std::string& sFate = "");

// An output that is the input or the console (status 2), a recording whose
// samples run past the last calendar second, or that has nothing to
// convert (status 1).
Refusal tRecordingRefusal(const std::string& sIn, const std::string& sOut, const Recording& r,
                          const ChannelPlan& tPlan,
                          const std::vector<ConvertedChannel>& atChannels);

// A -channels list of the wrong length (status 2).
Refusal tCodeListRefusal(const CommandLine& tArgs, const std::string& sIn, const Recording& r,
                         const ChannelPlan& tPlan);

// Two channels that would carry the same codes, and with -sds a code from
// the recording that cannot name a folder of the archive (status 1).
Refusal tCodeRefusal(const CommandLine& tArgs, const std::string& sIn, const Recording& r,
                     const ChannelPlan& tPlan, const std::vector<ChannelCodes>& atCodes);
