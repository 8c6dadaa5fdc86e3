// What an output file held before a run appends to it: the time spans of
// its records, stream by stream, read from their headers alone, so that a
// run can see that it is about to write a span again (a recording
// converted into the file before).
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "base/WorkerPool.h"
#include "driver/channel/ConvertedChannel.h"
#include "driver/channel/StreamCodes.h"

// What a file holds of each stream: spans from the first sample of a run of
// records to the end of its last.
using HeldSpans = std::map<StreamCodes, std::vector<TimeSpan>>;

// The spans the first nLength bytes of the file at sPath hold, per stream;
// records that follow one another within a second form one span. Empty
// when the file cannot be read (the check is then skipped). Long files are
// read in parts side by side on tPool's threads.
HeldSpans tReadHeldSpans(const std::string& sPath, int64_t nLength, CWorkerPool& tPool);
