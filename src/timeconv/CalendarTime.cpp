// Calendar and epoch conversions. The leap-year rule, the day counts and the
// split of whole seconds into calendar fields are the proleptic Gregorian
// arithmetic of the C library's UTC conversion, done here in 64-bit integers
// so that it needs no time zone and has no 2038 limit; dCalendarToEpoch keeps
// the recorder software's exact double arithmetic.
#include "timeconv/CalendarTime.h"

#include <cmath>
#include <limits>

const int16_t nDaysBeforeMonth[13] = {0, 0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334};

bool bIsLeapYear(int64_t nYear) {
    return (nYear % 4 == 0 && nYear % 100 != 0) || nYear % 400 == 0;
}

int16_t nIsLeapYear(int16_t nYear) {
    return bIsLeapYear(nYear) ? 1 : 0;
}

int32_t nDaysInYear(int64_t nYear) {
    return bIsLeapYear(nYear) ? 366 : 365;
}

namespace {

// a / b rounded towards minus infinity (b > 0).
int64_t nFloorDiv(int64_t a, int64_t b) {
    return a / b - (a % b < 0 ? 1 : 0);
}

// Leap years from year 1 to nYear; for nYear below 0 minus those from
// nYear + 1 to 0. The difference of two counts is the number of leap years
// in between, on either side of year 0.
int64_t nLeapYearsThrough(int64_t nYear) {
    return nFloorDiv(nYear, 4) - nFloorDiv(nYear, 100) + nFloorDiv(nYear, 400);
}

// Days of a year (from 0) before the first of nMonth (1 to 12).
int32_t nDaysBeforeMonthOf(int64_t nYear, int32_t nMonth) {
    return nDaysBeforeMonth[nMonth] + (nMonth > 2 && bIsLeapYear(nYear) ? 1 : 0);
}

}  // namespace

int32_t nDaysInMonth(int64_t nYear, int32_t nMonth) {
    const int32_t nNextMonthStart =
        nMonth == 12 ? nDaysInYear(nYear) : nDaysBeforeMonthOf(nYear, nMonth + 1);
    return nNextMonthStart - nDaysBeforeMonthOf(nYear, nMonth);
}

int64_t nDaysBeforeYear(int64_t nYear) {
    return 365 * (nYear - 1970) + nLeapYearsThrough(nYear - 1) - nLeapYearsThrough(1969);
}

int64_t nEpochSeconds(int64_t nYear, int32_t nDayOfYear, int32_t nHour, int32_t nMinute,
                      int32_t nSecond) {
    const int64_t nDays = nDaysBeforeYear(nYear) + nDayOfYear - 1;
    return nDays * nSecondsPerDay + nHour * int64_t{3600} + nMinute * int64_t{60} + nSecond;
}

UtcFields tSplitEpochSeconds(int64_t nSeconds) {
    // The remainder first: nDays * 86400 would overflow at the ends of int64.
    int64_t nSecondOfDay = nSeconds % nSecondsPerDay;
    if (nSecondOfDay < 0) nSecondOfDay += nSecondsPerDay;
    const int64_t nDays = nFloorDiv(nSeconds, nSecondsPerDay);

    // 400 years have 146097 days, and no year starts more than two days off
    // that average pace: the estimate is at most one year off either way.
    UtcFields t;
    t.nYear = 1970 + nFloorDiv(nDays * 400, 146097);
    while (nDaysBeforeYear(t.nYear) > nDays) --t.nYear;
    while (nDaysBeforeYear(t.nYear + 1) <= nDays) ++t.nYear;

    const int32_t nYearDay = static_cast<int32_t>(nDays - nDaysBeforeYear(t.nYear));
    t.nMonth = 12;
    while (nDaysBeforeMonthOf(t.nYear, t.nMonth) > nYearDay) --t.nMonth;
    t.nDay = nYearDay - nDaysBeforeMonthOf(t.nYear, t.nMonth) + 1;
    t.nDayOfYear = nYearDay + 1;
    t.nHour = static_cast<int32_t>(nSecondOfDay / 3600);
    t.nMinute = static_cast<int32_t>(nSecondOfDay % 3600 / 60);
    t.nSecond = static_cast<int32_t>(nSecondOfDay % 60);
    return t;
}

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

    const UtcFields tFields = tSplitEpochSeconds(s);
    nYear = static_cast<int32_t>(tFields.nYear);
    nDayOfYear = tFields.nDayOfYear;
    nHour = tFields.nHour;
    nMinute = tFields.nMinute;
    nSecond = tFields.nSecond;
    nMillisecond = ms;
}

double dCalendarToEpoch(int16_t nYear, int16_t nMonth, int16_t nDay, int16_t nHour, int16_t nMinute,
                        float fSeconds) {
    if (nMonth < 0 || nMonth > 12) return std::numeric_limits<double>::quiet_NaN();
    int32_t y = nYear;
    int32_t nLeapDays = (y - 1969) / 4 - (y - 1901) / 100 + (y - 1601) / 400;
    int32_t nDayInYear = nDaysBeforeMonth[nMonth] + nDay;
    if (nIsLeapYear(nYear) == 1 && nMonth > 2) nDayInYear += 1;
    double dDays = (nLeapDays + (y - 1970) * 365.0) + nDayInYear - 1.0;
    return dDays * 86400.0 + nHour * 3600.0 + nMinute * 60.0 + static_cast<double>(fSeconds);
}
