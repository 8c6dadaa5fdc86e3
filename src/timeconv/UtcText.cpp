// UTC text of whole seconds since 1970 and a fraction of the second.
#include "timeconv/UtcText.h"

#include <cmath>
#include <cstdio>

#include "timeconv/CalendarTime.h"

std::string sUtcText(int64_t nSeconds, int nDigits, int64_t nFraction) {
    const UtcFields t = tSplitEpochSeconds(nSeconds);
    char ac[64];
    const int n = std::snprintf(ac, sizeof ac, "%04lld-%02d-%02d %02d:%02d:%02d",
                                static_cast<long long>(t.nYear), t.nMonth, t.nDay, t.nHour,
                                t.nMinute, t.nSecond);
    if (nDigits > 0)
        std::snprintf(ac + n, sizeof ac - static_cast<size_t>(n), ".%0*lld", nDigits,
                      static_cast<long long>(nFraction));
    return ac;
}

std::string sFormatUtc(EpochTime t) {
    // NaN, the infinities and times beyond the int64 seconds have no second.
    if (!(std::fabs(t) < 9.2e18)) return "?";
    return sUtcText(static_cast<int64_t>(std::floor(t))) + " UTC";
}

std::string sMicrosText(int64_t nMicros) {
    const int64_t nSeconds = nMicros >= 0 ? nMicros / 1000000 : -((999999 - nMicros) / 1000000);
    return sUtcText(nSeconds, 6, nMicros - nSeconds * 1000000) + " UTC";
}

std::string sSpanText(int64_t nFromMicros, int64_t nToMicros) {
    return sFormatUtc(static_cast<double>(nFromMicros) / 1e6) + " to " +
           sFormatUtc(static_cast<double>(nToMicros) / 1e6);
}
