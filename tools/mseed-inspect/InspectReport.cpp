// The inspector's table: records grouped into channel runs, formatted as
// fixed columns.
#include "InspectReport.h"

#include <strings.h>

#include <cmath>
#include <cstdarg>
#include <cstdio>

#include "driver/PrintableText.h"
#include "mseed/SeedRecord.h"
#include "timeconv/UtcText.h"

namespace {

// Consecutive records of one station and channel, numbered from 000001.
struct ChannelRun {
    std::string sStation, sChannel;
    size_t nFirst = 0, nCount = 0;  // records of the run
    int64_t nSamples = 0;
    int nBadRecords = 0;
    int nSequenceBreaks = 0;
    std::vector<int32_t> anSamples;  // kept only when they are to be compared
};

// Groups the records into runs: a new run begins where the station or
// channel changes or the sequence numbers restart at 1.
std::vector<ChannelRun> atGroupRuns(const RecordWalk& w, bool bKeepSamples) {
    const std::vector<DecodedRecord>& at = w.atRecords;
    std::vector<ChannelRun> atRuns;
    for (size_t i = 0; i < at.size(); ++i) {
        const DecodedRecord& r = at[i];
        const bool bNew = atRuns.empty() || atRuns.back().sStation != r.sStation ||
                          atRuns.back().sChannel != r.sChannel || r.nSequenceNumber == 1;
        if (bNew) atRuns.push_back(ChannelRun{r.sStation, r.sChannel, i, 0, 0, 0, 0, {}});
        ChannelRun& run = atRuns.back();
        if (r.nSequenceNumber != nSequenceNumber(static_cast<int64_t>(run.nCount) + 1))
            ++run.nSequenceBreaks;
        ++run.nCount;
        run.nSamples += static_cast<int64_t>(w.anSampleCounts[i]);
        if (!r.sError.empty()) ++run.nBadRecords;
        if (bKeepSamples)
            run.anSamples.insert(run.anSamples.end(), r.anSamples.begin(), r.anSamples.end());
    }
    return atRuns;
}

// Whether the run's samples equal the next unused expected channel whose
// name is written as the run's channel code.
const char* szCompare(const ChannelRun& run, std::vector<ExpectedChannel>& atExpected) {
    for (ExpectedChannel& t : atExpected) {
        if (t.sName.empty() || strncasecmp(t.sName.c_str(), run.sChannel.c_str(), 3) != 0) continue;
        const bool bSame = t.anSamples == run.anSamples;
        t.sName.clear();  // used
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
        vAppendf(s, "  record at %zu: %06d %s %s %zu samples from %s%s%s\n", r.nOffset,
                 r.nSequenceNumber, sPrintable(r.sStation).c_str(), sPrintable(r.sChannel).c_str(),
                 w.anSampleCounts[i], sFormatTime(tRecordStart(r)).c_str(),
                 r.sError.empty() ? "" : "  ERROR: ", r.sError.c_str());
    }
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

InspectReport tInspectReport(const std::string& sName, const RecordWalk& w, bool bRecords,
                             std::vector<ExpectedChannel>* patExpected) {
    const std::vector<DecodedRecord>& at = w.atRecords;
    InspectReport t;
    std::string& s = t.sText;
    s = sPrintable(sName) + ": " + std::to_string(at.size()) + " records of 512 bytes\n";
    if (bRecords) vAppendRecords(s, w);
    vAppendf(s, "%-5s %-3s %8s %10s  %-24s  %-24s  %-7s%s\n", "STA", "CHA", "records", "samples",
             "first sample", "last sample", "decoded", patExpected ? "  input" : "");
    t.bSound = true;
    for (const ChannelRun& run : atGroupRuns(w, patExpected != nullptr)) {
        const bool bOk = run.nBadRecords == 0 && run.nSequenceBreaks == 0;
        const char* szMatch = patExpected ? szCompare(run, *patExpected) : "";
        t.bSound = t.bSound && bOk && (!patExpected || std::string(szMatch) == "exact");
        vAppendf(s, "%-5s %-3s %8zu %10lld  %-24s  %-24s  %-7s%s%s\n",
                 sPrintable(run.sStation).c_str(), sPrintable(run.sChannel).c_str(), run.nCount,
                 static_cast<long long>(run.nSamples),
                 sFormatTime(tRecordStart(at[run.nFirst])).c_str(),
                 sFormatTime(tRecordLastSample(at[run.nFirst + run.nCount - 1])).c_str(),
                 bOk ? "ok" : "FAILED", patExpected ? "  " : "", szMatch);
        if (run.nBadRecords > 0)
            vAppendf(s, "      %d records did not decode soundly (see --records)\n",
                     run.nBadRecords);
        if (run.nSequenceBreaks > 0)
            vAppendf(s, "      %d sequence numbers out of order\n", run.nSequenceBreaks);
    }
    return t;
}
