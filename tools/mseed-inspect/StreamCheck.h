// The walked records grouped into streams, one per network, station,
// location and channel (NET.STA.LOC.CHA), in the order the streams first
// appear, and what a reader would find in each: records that do not decode,
// sequence numbers out of order, records out of time order, and the gaps and overlaps between the
// stream's records taken in time order. A record that starts more than half
// a sample period after the latest end of the records before it leaves a
// gap; one that starts more than that before it overlaps them (so a time
// span that repeats one already seen, as in a recording converted twice
// into one file, is an overlap).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "RecordWalk.h"

// A gap (dSeconds > 0) or an overlap (dSeconds < 0) before walked record
// nRecord.
struct Discontinuity {
    size_t nRecord = 0;
    double dSeconds = 0;
};

struct Stream {
    std::string sNetwork, sStation, sLocation, sChannel;
    std::vector<size_t> anRecords;  // walked records of the stream, in file order
    int64_t nSamples = 0;
    int nBadRecords = 0;      // records that did not decode soundly
    int nSequenceBreaks = 0;  // records not numbered one after the record before (nor 000001)
    int nOutOfOrder = 0;      // records that start before the stream's record before them
    size_t nFirstOutOfOrder = 0, nBeforeIt = 0;  // the first such record, and that record before
    std::vector<Discontinuity> atGaps, atOverlaps;
    EpochTime tFirst = 0;  // the first sample of the earliest record
    EpochTime tLast = 0;   // the last sample of the record that ends last
};

// The streams of the walk w.
std::vector<Stream> atGroupStreams(const RecordWalk& w);

// "NET.STA.LOC.CHA" of walked record r, names printable.
std::string sStreamName(const DecodedRecord& r);
