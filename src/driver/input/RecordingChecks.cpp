// Warnings about a recording's times.
#include "driver/input/RecordingChecks.h"

#include <cmath>
#include <cstdio>

#include "timeconv/UtcText.h"

std::string sLateStartWarning(EpochTime tFileStart) {
    int32_t nYear, nDay, nHour, nMinute, nSecond, nMillisecond;
    vEpochToCalendar(tFileStart, nYear, nDay, nHour, nMinute, nSecond, nMillisecond);
    if (nYear <= nLastReaderYear) return "";
    return "the recording starts at " + sFormatUtc(tFileStart) +
           "; many MiniSEED readers do not recognise records dated after " +
           std::to_string(nLastReaderYear) + " (is the recorder's clock wrong?)";
}

namespace {

// The jump line: "record N starts at T, not at T0 where the record before
// it ends: the recorder's clock jumps by +S s".
std::string sJumpLine(const ClockJump& t) {
    char acLine[256];
    std::snprintf(acLine, sizeof acLine,
                  "record %lld starts at %s, not at %s where the record before it ends: the "
                  "recorder's clock jumps by %+.0f s",
                  static_cast<long long>(t.nRecord + 1), sFormatUtc(t.tFound).c_str(),
                  sFormatUtc(t.tExpected).c_str(), t.tFound - t.tExpected);
    return acLine;
}

std::string sInvalidLine(int64_t nRecord, EpochTime tExpected) {
    return "record " + std::to_string(nRecord + 1) +
           " has no valid start time; it is taken to start at " + sFormatUtc(tExpected) +
           ", where the record before it ends";
}

// "N more TEXT" when there are more than nMaxTimingLines of n.
void vAddCount(std::vector<std::string>& as, size_t n, const char* szWhat) {
    if (n > nMaxTimingLines) as.push_back(std::to_string(n - nMaxTimingLines) + " more " + szWhat);
}

}  // namespace

std::vector<std::string> asTimingWarnings(const RecordTimeline& tTimeline, bool bRecordTime) {
    std::vector<std::string> as;
    const std::vector<ClockJump>& atJumps = tTimeline.atJumps;
    for (size_t k = 0; k < atJumps.size() && k < nMaxTimingLines; ++k)
        as.push_back(sJumpLine(atJumps[k]));
    vAddCount(as, atJumps.size(), "clock jumps");
    const std::vector<int64_t>& anInvalid = tTimeline.anInvalid;
    for (size_t k = 0; k < anInvalid.size() && k < nMaxTimingLines; ++k)
        as.push_back(sInvalidLine(anInvalid[k], tTimeline.atInvalidExpected[k]));
    vAddCount(as, anInvalid.size(), "records without a valid start time");
    if (atJumps.empty()) return as;
    if (bRecordTime) {
        as.push_back(
            "with -recordtime the samples from each jump on are dated by the recorder's clock; "
            "readers see the jumps as gaps and overlaps");
    } else {
        as.push_back(
            "the output dates every sample from the recording's start on one continuous "
            "timeline, not by the recorder's clock after a jump; convert with -recordtime to "
            "follow the recorder's clock");
    }
    return as;
}
