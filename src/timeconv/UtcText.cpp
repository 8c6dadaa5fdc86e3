// UTC text of whole seconds since 1970 and a fraction of the second.
#include "timeconv/UtcText.h"

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
