// Timing check over the record headers after the first.
#include "driver/RecordingChecks.h"

#include <cmath>
#include <cstdio>
#include <ctime>

#include "recorder/RecorderHeader.h"

std::string sFormatUtc(EpochTime t) {
    const time_t nSeconds = static_cast<time_t>(std::floor(t));
    struct tm tmUtc;
    if (gmtime_r(&nSeconds, &tmUtc) == nullptr) return "?";
    char acText[64];
    std::snprintf(acText, sizeof acText, "%04d-%02d-%02d %02d:%02d:%02d UTC", tmUtc.tm_year + 1900,
                  tmUtc.tm_mon + 1, tmUtc.tm_mday, tmUtc.tm_hour, tmUtc.tm_min, tmUtc.tm_sec);
    return acText;
}

std::string sLateStartWarning(EpochTime tFileStart) {
    int32_t nYear, nDay, nHour, nMinute, nSecond, nMillisecond;
    vEpochToCalendar(tFileStart, nYear, nDay, nHour, nMinute, nSecond, nMillisecond);
    if (nYear <= nLastReaderYear) return "";
    return "the recording starts at " + sFormatUtc(tFileStart) +
           "; many MiniSEED readers do not recognise records dated after " +
           std::to_string(nLastReaderYear) + " (is the recorder's clock wrong?)";
}

std::vector<std::string> asTimingWarnings(const uint8_t* pData, const RecordGeometry& tGeometry,
                                          EpochTime tFileStart, int32_t nRecSeconds) {
    std::vector<std::string> asWarnings;
    int64_t nDiffering = 0;
    for (int64_t r = 1; r < tGeometry.nRecordCount; ++r) {
        const EpochTime tExpected = tFileStart + static_cast<double>(r) * nRecSeconds;
        EpochTime tFound = 0;
        const bool bReadable = bReadRecordTime(pData + r * tGeometry.nRecordSize, tFound);
        if (bReadable && std::fabs(tFound - tExpected) < 1.0) continue;
        if (++nDiffering > nMaxTimingLines) continue;
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
        asWarnings.push_back(acLine);
    }
    if (nDiffering > nMaxTimingLines) {
        asWarnings.push_back(std::to_string(nDiffering - nMaxTimingLines) +
                             " more records start off the continuous timeline");
    }
    return asWarnings;
}
