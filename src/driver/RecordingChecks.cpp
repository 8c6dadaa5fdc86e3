// Timing check over the record headers after the first.
#include "driver/RecordingChecks.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "recorder/RecorderHeader.h"
#include "timeconv/UtcText.h"

std::string sFormatUtc(EpochTime t) {
    // NaN, the infinities and times beyond the int64 seconds have no second.
    if (!(std::fabs(t) < 9.2e18)) return "?";
    return sUtcText(static_cast<int64_t>(std::floor(t))) + " UTC";
}

std::string sLateStartWarning(EpochTime tFileStart) {
    int32_t nYear, nDay, nHour, nMinute, nSecond, nMillisecond;
    vEpochToCalendar(tFileStart, nYear, nDay, nHour, nMinute, nSecond, nMillisecond);
    if (nYear <= nLastReaderYear) return "";
    return "the recording starts at " + sFormatUtc(tFileStart) +
           "; many MiniSEED readers do not recognise records dated after " +
           std::to_string(nLastReaderYear) + " (is the recorder's clock wrong?)";
}

namespace {

// What a scan of some records found: how many start off the timeline, and
// the lines for the first nMaxTimingLines of them.
struct TimingScan {
    int64_t nDiffering = 0;
    std::vector<std::string> asLines;
};

// Scans records nFrom .. nTo - 1 (the first is 1 or later) into t.
void vScanRecordTimes(const uint8_t* pData, const RecordGeometry& tGeometry, EpochTime tFileStart,
                      int32_t nRecSeconds, int64_t nFrom, int64_t nTo, TimingScan& t) {
    for (int64_t r = nFrom; r < nTo; ++r) {
        const EpochTime tExpected = tFileStart + static_cast<double>(r) * nRecSeconds;
        EpochTime tFound = 0;
        const bool bReadable = bReadRecordTime(pData + r * tGeometry.nRecordSize, tFound);
        if (bReadable && std::fabs(tFound - tExpected) < 1.0) continue;
        if (++t.nDiffering > nMaxTimingLines) continue;
        char acLine[256];
        if (bReadable) {
            std::snprintf(acLine, sizeof acLine,
                          "record %lld starts at %s, not at %s as the output assumes "
                          "(difference %+.0f s)",
                          static_cast<long long>(r + 1), sFormatUtc(tFound).c_str(),
                          sFormatUtc(tExpected).c_str(), tFound - tExpected);
        } else {
            std::snprintf(acLine, sizeof acLine,
                          "record %lld has no valid start time (expected %s)",
                          static_cast<long long>(r + 1), sFormatUtc(tExpected).c_str());
        }
        t.asLines.push_back(acLine);
    }
}

// The scan of records nFrom .. nTo - 1 as a job for the run's threads.
struct CTimingScanJob : CPoolJob {
    const uint8_t* pData = nullptr;
    const RecordGeometry* pGeometry = nullptr;
    EpochTime tFileStart = 0;
    int32_t nRecSeconds = 0;
    int64_t nFrom = 0, nTo = 0;
    TimingScan tScan;
    void vRun() override {
        vScanRecordTimes(pData, *pGeometry, tFileStart, nRecSeconds, nFrom, nTo, tScan);
    }
};

// Fewest records a scanning thread is given: below it, threads cost more
// than they save.
constexpr int64_t nRecordsPerThreadAtLeast = 2048;

}  // namespace

std::vector<std::string> asTimingWarnings(const uint8_t* pData, const RecordGeometry& tGeometry,
                                          EpochTime tFileStart, int32_t nRecSeconds,
                                          CWorkerPool& tPool) {
    // Each record header is on a page of its own, and the first touch of a
    // page is what the scan costs: the parts are scanned side by side.
    const int64_t nRecords = tGeometry.nRecordCount;
    const int64_t nParts =
        std::clamp<int64_t>(nRecords / nRecordsPerThreadAtLeast, 1, tPool.nThreads());
    std::vector<CTimingScanJob> atParts(static_cast<size_t>(nParts));
    for (int64_t k = 0; k < nParts; ++k) {
        CTimingScanJob& t = atParts[static_cast<size_t>(k)];
        t.pData = pData;
        t.pGeometry = &tGeometry;
        t.tFileStart = tFileStart;
        t.nRecSeconds = nRecSeconds;
        t.nFrom = std::max<int64_t>(1, nRecords * k / nParts);
        t.nTo = nRecords * (k + 1) / nParts;
        tPool.vSubmit(t);
    }
    for (CTimingScanJob& t : atParts) tPool.vWait(t);

    std::vector<std::string> asWarnings;
    int64_t nDiffering = 0;
    for (const CTimingScanJob& t : atParts) {
        nDiffering += t.tScan.nDiffering;
        for (const std::string& s : t.tScan.asLines)
            if (asWarnings.size() < nMaxTimingLines) asWarnings.push_back(s);
    }
    if (nDiffering > nMaxTimingLines) {
        asWarnings.push_back(std::to_string(nDiffering - nMaxTimingLines) +
                             " more records start off the continuous timeline");
    }
    return asWarnings;
}
