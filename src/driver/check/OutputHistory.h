// What an output file held before a run appends to it: the time spans of
// its records, stream by stream, read from their headers alone, so that a
// run can see that it is about to write a span again (a recording
// converted into the file before).
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "base/WorkerPool.h"

// A stream as records carry it: station, location, channel and network,
// record bytes 8 to 19, blank padded.
using StreamCodes = std::array<char, 12>;

// From the first sample of a run of records to the end of its last, in
// microseconds since 1970.
struct HeldSpan {
    int64_t nFromMicros = 0;
    int64_t nToMicros = 0;
};

// The spans the first nLength bytes of the file at sPath hold, per stream;
// records that follow one another within a second form one span. Empty
// when the file cannot be read (the check is then skipped). Long files are
// read in parts side by side on tPool's threads.
std::map<StreamCodes, std::vector<HeldSpan>> tReadHeldSpans(const std::string& sPath,
                                                            int64_t nLength, CWorkerPool& tPool);
