// The inspector's table: one line per stream, formatted as fixed columns,
// with the notes and, on request, every record and every gap and overlap.
#include "InspectReport.h"

#include <strings.h>

#include <cmath>
#include <cstdarg>
#include <cstdio>

#include "StreamCheck.h"
#include "base/PrintableText.h"
#include "timeconv/UtcText.h"

namespace {

// Whether the samples of stream t (in file order) equal the next unused
// expected channel whose name is written as the stream's channel code.
const char* szCompare(const RecordWalk& w, const Stream& t,
                      std::vector<ExpectedChannel>& atExpected) {
    for (ExpectedChannel& tExpected : atExpected) {
        if (tExpected.sName.empty() ||
            strncasecmp(tExpected.sName.c_str(), t.sChannel.c_str(), 3) != 0)
            continue;
        std::vector<int32_t> anSamples;
        for (size_t i : t.anRecords) {
            const std::vector<int32_t>& an = w.atRecords[i].anSamples;
            anSamples.insert(anSamples.end(), an.begin(), an.end());
        }
        const bool bSame = tExpected.anSamples == anSamples;
        tExpected.sName.clear();  // used
        return bSame ? "exact" : "DIFFERS";
    }
    return "no expected samples";
}

// Appends the printf-formatted text to s.
void vAppendf(std::string& s, const char* szFormat, ...) __attribute__((format(printf, 2, 3)));
void vAppendf(std::string& s, const char* szFormat, ...) {
    va_list ap, apCopy;
    va_start(ap, szFormat);
    va_copy(apCopy, ap);
    const int n = std::vsnprintf(nullptr, 0, szFormat, ap);
    va_end(ap);
    if (n > 0) {
        const size_t nOld = s.size();
        s.resize(nOld + static_cast<size_t>(n) + 1);
        std::vsnprintf(s.data() + nOld, static_cast<size_t>(n) + 1, szFormat, apCopy);
        s.resize(nOld + static_cast<size_t>(n));
    }
    va_end(apCopy);
}

void vAppendRecords(std::string& s, const RecordWalk& w) {
    for (size_t i = 0; i < w.atRecords.size(); ++i) {
        const DecodedRecord& r = w.atRecords[i];
        vAppendf(s, "  record at %zu: %06d %s %zu samples from %s%s%s\n", r.nOffset,
                 r.nSequenceNumber, sStreamName(r).c_str(), w.anSampleCounts[i],
                 sFormatTime(tRecordStart(r)).c_str(),
                 r.sError.empty() ? "" : "  ERROR: ", r.sError.c_str());
    }
}

// The stream's gaps and overlaps, one line each.
void vAppendDiscontinuities(std::string& s, const RecordWalk& w, const Stream& t) {
    for (const Discontinuity& d : t.atGaps)
        vAppendf(s, "      gap of %.6f s before the record at %zu\n", d.dSeconds,
                 w.atRecords[d.nRecord].nOffset);
    for (const Discontinuity& d : t.atOverlaps)
        vAppendf(s, "      overlap of %.6f s at the record at %zu\n", -d.dSeconds,
                 w.atRecords[d.nRecord].nOffset);
}

// The stream's first record that starts before the record before it.
void vAppendOutOfOrder(std::string& s, const RecordWalk& w, const Stream& t) {
    const DecodedRecord &r = w.atRecords[t.nFirstOutOfOrder], &rBefore = w.atRecords[t.nBeforeIt];
    vAppendf(s,
             "      %d %s out of time order, the first at %zu: it starts at %s, before the record "
             "at %zu (%s)\n",
             t.nOutOfOrder, t.nOutOfOrder == 1 ? "record" : "records", r.nOffset,
             sFormatTime(tRecordStart(r)).c_str(), rBefore.nOffset,
             sFormatTime(tRecordStart(rBefore)).c_str());
}

}  // namespace

long long nRoundedSeconds(EpochTime t, long long nPerSecond, long long& nFraction) {
    const long long nUnits = std::llround(t * static_cast<double>(nPerSecond));
    nFraction = ((nUnits % nPerSecond) + nPerSecond) % nPerSecond;
    return (nUnits - nFraction) / nPerSecond;
}

std::string sFormatTime(EpochTime t) {
    if (!std::isfinite(t) || std::fabs(t) > 1e14) return "?";
    long long nFraction;
    const long long nSeconds = nRoundedSeconds(t, 10000, nFraction);
    return sUtcText(nSeconds, 4, nFraction);
}

InspectReport tInspectReport(const std::string& sName, const RecordWalk& w,
                             const ReportOptions& tOptions,
                             std::vector<ExpectedChannel>* patExpected) {
    const std::vector<DecodedRecord>& at = w.atRecords;
    InspectReport t;
    std::string& s = t.sText;
    s = sPrintable(sName) + ": " + std::to_string(at.size()) + " records of 512 bytes\n";
    if (tOptions.bRecords) vAppendRecords(s, w);
    vAppendf(s, "%-2s %-5s %-2s %-3s %8s %10s  %-24s  %-24s  %4s %8s  %-7s%s\n", "NET", "STA",
             "LOC", "CHA", "records", "samples", "first sample", "last sample", "gaps", "overlaps",
             "decoded", patExpected ? "  input" : "");
    t.bSound = true;
    for (const Stream& tStream : atGroupStreams(w)) {
        const bool bDecoded = tStream.nBadRecords == 0;
        const bool bContinuous =
            tStream.atGaps.empty() && tStream.atOverlaps.empty() && tStream.nOutOfOrder == 0;
        const char* szMatch = patExpected ? szCompare(w, tStream, *patExpected) : "";
        t.bSound = t.bSound && bDecoded && (!tOptions.bContinuous || bContinuous) &&
                   (!patExpected || std::string(szMatch) == "exact");
        vAppendf(s, "%-2s %-5s %-2s %-3s %8zu %10lld  %-24s  %-24s  %4zu %8zu  %-7s%s%s\n",
                 sPrintable(tStream.sNetwork).c_str(), sPrintable(tStream.sStation).c_str(),
                 sPrintable(tStream.sLocation).c_str(), sPrintable(tStream.sChannel).c_str(),
                 tStream.anRecords.size(), static_cast<long long>(tStream.nSamples),
                 sFormatTime(tStream.tFirst).c_str(), sFormatTime(tStream.tLast).c_str(),
                 tStream.atGaps.size(), tStream.atOverlaps.size(), bDecoded ? "ok" : "FAILED",
                 patExpected ? "  " : "", szMatch);
        if (tStream.nBadRecords > 0)
            vAppendf(s, "      %d records did not decode soundly (see --records)\n",
                     tStream.nBadRecords);
        if (tStream.nSequenceBreaks > 0)
            vAppendf(s, "      note: %d sequence numbers do not follow the record before\n",
                     tStream.nSequenceBreaks);
        if (tOptions.bContinuous && tStream.nOutOfOrder > 0) vAppendOutOfOrder(s, w, tStream);
        if (tOptions.bRecords) vAppendDiscontinuities(s, w, tStream);
    }
    return t;
}
