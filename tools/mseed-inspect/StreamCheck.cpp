// Streams: grouping by the four codes, then the continuity check over each
// stream's sound records in time order, in whole microseconds.
#include "StreamCheck.h"

#include <algorithm>
#include <cmath>

#include "base/PrintableText.h"
#include "mseed/SeedRecord.h"

namespace {

// An empty stream of record r's codes.
Stream tNewStream(const DecodedRecord& r) {
    Stream t;
    t.sNetwork = r.sNetwork;
    t.sStation = r.sStation;
    t.sLocation = r.sLocation;
    t.sChannel = r.sChannel;
    return t;
}

bool bSameStream(const Stream& t, const DecodedRecord& r) {
    return t.sNetwork == r.sNetwork && t.sStation == r.sStation && t.sLocation == r.sLocation &&
           t.sChannel == r.sChannel;
}

// The gaps and overlaps of the sound records of t, in time order.
void vFindDiscontinuities(const RecordWalk& w, Stream& t) {
    std::vector<size_t> an;
    for (size_t i : t.anRecords)
        if (w.atRecords[i].sError.empty() && dRecordRate(w.atRecords[i]) > 0) an.push_back(i);
    std::stable_sort(an.begin(), an.end(), [&w](size_t a, size_t b) {
        return nRecordStartMicros(w.atRecords[a]) < nRecordStartMicros(w.atRecords[b]);
    });
    double dLatestEnd = 0;  // microseconds
    for (size_t k = 0; k < an.size(); ++k) {
        const DecodedRecord& r = w.atRecords[an[k]];
        const double dRate = dRecordRate(r);
        const double dStart = static_cast<double>(nRecordStartMicros(r));
        const double dEnd = dStart + static_cast<double>(w.anSampleCounts[an[k]]) * 1e6 / dRate;
        if (k > 0) {
            const double dDifference = dStart - dLatestEnd;
            const double dTolerance = 0.5e6 / dRate;  // half a sample period
            if (dDifference > dTolerance) t.atGaps.push_back({an[k], dDifference / 1e6});
            if (dDifference < -dTolerance) t.atOverlaps.push_back({an[k], dDifference / 1e6});
        }
        dLatestEnd = k == 0 ? dEnd : std::max(dLatestEnd, dEnd);
    }
}

// The first and last sample times of t.
void vFindSpan(const RecordWalk& w, Stream& t) {
    for (size_t k = 0; k < t.anRecords.size(); ++k) {
        const DecodedRecord& r = w.atRecords[t.anRecords[k]];
        const EpochTime tStart = tRecordStart(r), tLast = tRecordLastSample(r);
        t.tFirst = k == 0 ? tStart : std::min(t.tFirst, tStart);
        t.tLast = k == 0 ? tLast : std::max(t.tLast, tLast);
    }
}

// Whether walked record i goes on from the stream's record before it: its
// number follows (or starts again at 000001), and it starts no earlier.
void vCompareWithBefore(const RecordWalk& w, Stream& t, size_t i) {
    const DecodedRecord &r = w.atRecords[i], &rBefore = w.atRecords[t.anRecords.back()];
    if (r.nSequenceNumber != 1 && r.nSequenceNumber != nSequenceNumber(rBefore.nSequenceNumber + 1))
        ++t.nSequenceBreaks;
    if (nRecordStartMicros(r) >= nRecordStartMicros(rBefore)) return;
    if (t.nOutOfOrder++ == 0) {
        t.nFirstOutOfOrder = i;
        t.nBeforeIt = t.anRecords.back();
    }
}

}  // namespace

std::string sStreamName(const DecodedRecord& r) {
    return sPrintable(r.sNetwork + "." + r.sStation + "." + r.sLocation + "." + r.sChannel);
}

std::vector<Stream> atGroupStreams(const RecordWalk& w) {
    std::vector<Stream> at;
    size_t nCurrent = 0;  // the stream of the record before: records come in runs
    for (size_t i = 0; i < w.atRecords.size(); ++i) {
        const DecodedRecord& r = w.atRecords[i];
        if (at.empty() || !bSameStream(at[nCurrent], r)) {
            const auto it = std::find_if(at.begin(), at.end(),
                                         [&r](const Stream& t) { return bSameStream(t, r); });
            nCurrent = static_cast<size_t>(it - at.begin());
            if (it == at.end()) at.push_back(tNewStream(r));
        }
        Stream& t = at[nCurrent];
        if (!t.anRecords.empty()) vCompareWithBefore(w, t, i);
        t.anRecords.push_back(i);
        t.nSamples += static_cast<int64_t>(w.anSampleCounts[i]);
        if (!r.sError.empty()) ++t.nBadRecords;
    }
    for (Stream& t : at) {
        vFindDiscontinuities(w, t);
        vFindSpan(w, t);
    }
    return at;
}
