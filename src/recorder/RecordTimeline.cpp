// The record timeline: every record header after the first is read and
// compared with the end of the record before it. Each record header lies on
// a page of its own, and the first touch of a page is what the scan costs,
// so long recordings are read in parts side by side; a part finds the time
// where the record before its first one ends by reading back to the last
// valid header.
#include "recorder/RecordTimeline.h"

#include <algorithm>
#include <cmath>

#include "recorder/RecorderHeader.h"

namespace {

// Where record nRecord (1 or later) should start: the end of the record
// before it, or of the last record before it with a valid time plus the
// records in between.
EpochTime tExpectedStart(const uint8_t* pData, const RecordGeometry& g, EpochTime tFileStart,
                         int32_t nRecSeconds, int64_t nRecord) {
    for (int64_t v = nRecord - 1; v >= 1; --v) {
        EpochTime t = 0;
        if (bReadRecordTime(pData + v * g.nRecordSize, t))
            return t + static_cast<double>(nRecord - v) * nRecSeconds;
    }
    return tFileStart + static_cast<double>(nRecord) * nRecSeconds;
}

// Reads records nFrom .. nTo - 1 (nFrom 1 or later) into t.
void vReadPart(const uint8_t* pData, const RecordGeometry& g, EpochTime tFileStart,
               int32_t nRecSeconds, int64_t nFrom, int64_t nTo, RecordTimeline& t) {
    EpochTime tExpected = tExpectedStart(pData, g, tFileStart, nRecSeconds, nFrom);
    for (int64_t r = nFrom; r < nTo; ++r) {
        EpochTime tFound = 0;
        if (!bReadRecordTime(pData + r * g.nRecordSize, tFound)) {
            t.anInvalid.push_back(r);
            t.atInvalidExpected.push_back(tExpected);
            tExpected += nRecSeconds;
            continue;
        }
        if (std::fabs(tFound - tExpected) >= 1.0) t.atJumps.push_back({r, tExpected, tFound});
        tExpected = tFound + nRecSeconds;
    }
}

// The reading of records nFrom .. nTo - 1 as a job for the run's threads.
struct CTimelinePartJob : CPoolJob {
    const uint8_t* pData = nullptr;
    const RecordGeometry* pGeometry = nullptr;
    EpochTime tFileStart = 0;
    int32_t nRecSeconds = 0;
    int64_t nFrom = 0, nTo = 0;
    RecordTimeline tPart;
    void vRun() override {
        vReadPart(pData, *pGeometry, tFileStart, nRecSeconds, nFrom, nTo, tPart);
    }
};

// Fewest records a thread is given: below it, threads cost more than they
// save.
constexpr int64_t nRecordsPerThreadAtLeast = 2048;

template <class T>
void vAppend(std::vector<T>& aTo, const std::vector<T>& aFrom) {
    aTo.insert(aTo.end(), aFrom.begin(), aFrom.end());
}

}  // namespace

RecordTimeline tReadRecordTimeline(const uint8_t* pData, const RecordGeometry& tGeometry,
                                   EpochTime tFileStart, int32_t nRecSeconds, CWorkerPool& tPool) {
    const std::vector<PartRange> atRanges =
        atPartsOf(tGeometry.nRecordCount, nRecordsPerThreadAtLeast, tPool);
    std::vector<CTimelinePartJob> atParts(atRanges.size());
    for (size_t k = 0; k < atParts.size(); ++k) {
        CTimelinePartJob& t = atParts[k];
        t.pData = pData;
        t.pGeometry = &tGeometry;
        t.tFileStart = tFileStart;
        t.nRecSeconds = nRecSeconds;
        t.nFrom = std::max<int64_t>(1, atRanges[k].nFrom);
        t.nTo = atRanges[k].nTo;
        tPool.vSubmit(t);
    }
    RecordTimeline tTimeline;
    for (CTimelinePartJob& t : atParts) {
        tPool.vWait(t);
        vAppend(tTimeline.atJumps, t.tPart.atJumps);
        vAppend(tTimeline.anInvalid, t.tPart.anInvalid);
        vAppend(tTimeline.atInvalidExpected, t.tPart.atInvalidExpected);
    }
    return tTimeline;
}
