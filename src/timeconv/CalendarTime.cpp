// Calendar and epoch conversions. vEpochToCalendar splits whole seconds with
// the proleptic Gregorian day arithmetic (the rule of gmtime, done here in
// 64-bit integers so it needs no time zone and has no 2038 limit);
// dCalendarToEpoch keeps the recorder software's exact double arithmetic.
#include "timeconv/CalendarTime.h"

#include <cmath>
#include <limits>

const int16_t nDaysBeforeMonth[13] = {0, 0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334};

int16_t nIsLeapYear(int16_t nYear) {
    if (nYear % 400 == 0) return 1;
    if (nYear % 4 != 0) return 0;
    return nYear % 100 != 0 ? 1 : 0;
}

namespace {

bool bIsLeap64(int64_t nYear) {
    return (nYear % 4 == 0 && nYear % 100 != 0) || nYear % 400 == 0;
}

// Year and zero-based day of year of a day count since 1970-01-01 (>= 0).
void vSplitDays(int64_t nDays, int64_t& nYear, int64_t& nYearDay) {
    // Whole 400-year cycles first (146097 days each), then year by year.
    const int64_t nCycleDays = 146097;
    nYear = 1970;
    // 2000-01-01 starts a cycle; step to it when possible to keep the loop short.
    const int64_t nDaysTo2000 = 10957;
    if (nDays >= nDaysTo2000) {
        nDays -= nDaysTo2000;
        nYear = 2000 + 400 * (nDays / nCycleDays);
        nDays %= nCycleDays;
    }
    for (;;) {
        int64_t nLen = bIsLeap64(nYear) ? 366 : 365;
        if (nDays < nLen) break;
        nDays -= nLen;
        ++nYear;
    }
    nYearDay = nDays;
}

}  // namespace

void vEpochToCalendar(EpochTime t, int32_t& nYear, int32_t& nDayOfYear, int32_t& nHour,
                      int32_t& nMinute, int32_t& nSecond, int32_t& nMillisecond) {
    // Clamp to the range the fields can hold: before 1970 and beyond 9999 the
    // calendar of this system is not defined.
    if (!(t >= 0.0)) t = 0.0;
    // The last second keeps its milliseconds, but none that would round up
    // into the year 10000.
    if (t > tLastCalendarSecond + 0.999) t = tLastCalendarSecond + 0.999;

    int64_t s = static_cast<int64_t>(t);
    double f = (t - static_cast<double>(s)) * 1000.0;
    int32_t ms = static_cast<int32_t>(f);
    if (f - ms >= 0.5) ++ms;
    if (ms == 1000) {
        ++s;
        ms = 0;
    }

    int64_t nYear64 = 0, nYearDay = 0;
    vSplitDays(s / 86400, nYear64, nYearDay);
    int64_t nSecOfDay = s % 86400;
    nYear = static_cast<int32_t>(nYear64);
    nDayOfYear = static_cast<int32_t>(nYearDay + 1);
    nHour = static_cast<int32_t>(nSecOfDay / 3600);
    nMinute = static_cast<int32_t>(nSecOfDay % 3600 / 60);
    nSecond = static_cast<int32_t>(nSecOfDay % 60);
    nMillisecond = ms;
}

double dCalendarToEpoch(int16_t nYear, int16_t nMonth, int16_t nDay, int16_t nHour,
                        int16_t nMinute, float fSeconds) {
    if (nMonth < 0 || nMonth > 12) return std::numeric_limits<double>::quiet_NaN();
    int32_t y = nYear;
    int32_t nLeapDays = (y - 1969) / 4 - (y - 1901) / 100 + (y - 1601) / 400;
    int32_t nDayInYear = nDaysBeforeMonth[nMonth] + nDay;
    if (nIsLeapYear(nYear) == 1 && nMonth > 2) nDayInYear += 1;
    double dDays = (nLeapDays + (y - 1970) * 365.0) + nDayInYear - 1.0;
    return dDays * 86400.0 + nHour * 3600.0 + nMinute * 60.0 + static_cast<double>(fSeconds);
}
