// The warnings of a conversion run that goes ahead: about the settings,
// the output and what it held before, the codes, the channels skipped, the
// recording's layout and clock, and names cut to their fields. None stops
// the run or changes a byte of the output.
#pragma once

#include <cstddef>
#include <functional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "base/WorkerPool.h"
#include "driver/channel/ConvertedChannel.h"
#include "driver/cli/CommandLine.h"
#include "driver/input/Recording.h"
#include "driver/output/OutputFile.h"
#include "driver/run/ChannelPlan.h"
#include "driver/run/RecordCodes.h"
#include "recorder/RecordTimeline.h"

// What a run writes into an output file: a span per stream.
using StreamWrites = std::vector<std::pair<StreamCodes, TimeSpan>>;

// What the channels with samples of atChannels write: each its whole span.
StreamWrites atStreamWrites(const std::vector<ConvertedChannel>& atChannels);

// Warns that the output f cannot be locked, if so: the run goes on unlocked.
void vWarnAboutLock(const COutputFile& f);

// Warns about what the output f already holds: that it cannot be locked,
// that it ends in a record cut short, and once per stream that this run
// writes a span it already holds (a recording converted into the file
// before, most likely). The records go in all the same. Returns the
// number of streams warned about for a span they held already.
size_t nWarnAboutHeldRecords(const COutputFile& f, const StreamWrites& atWrites,
                             CWorkerPool& tPool);

// The warnings before the conversion: the command line's, then the
// output's (fnWarnAboutOutput, which returns the number of streams that
// held part of the run's span already, returned here), then the codes',
// the plan's and the recording's layout and clock.
size_t nWarnBeforeConverting(const CommandLine& tArgs, const std::string& sIn, const Recording& r,
                             const ChannelPlan& tPlan, const std::vector<ChannelCodes>& atCodes,
                             const RecordTimeline& tTimeline,
                             const std::function<size_t()>& fnWarnAboutOutput);

// Warns, once per name (setWarned), that records carry the channel's
// station or channel name cut to its header field.
void vWarnAboutCutNames(const ChannelCodes& tCodes, const std::string& sIn,
                        std::set<std::string>& setWarned);
