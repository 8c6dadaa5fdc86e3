// Conversions between EpochTime (seconds since 1970-01-01 UTC, no leap
// seconds) and the calendar fields that the recorder file and the MiniSEED
// record header use.
#pragma once

#include <cstdint>

using EpochTime = double;

constexpr int64_t nSecondsPerDay = 86400;

// 9999-12-31 23:59:59 UTC: the last second the calendar fields can hold.
constexpr EpochTime tLastCalendarSecond = 253402300799.0;

// Days of a common year before the first of each month; index 0 exists and
// counts as January.
extern const int16_t nDaysBeforeMonth[13];

// True when nYear is a leap year of the proleptic Gregorian calendar: every
// fourth year, but of the centuries only those divisible by 400. Holds for
// every year, 0 and the negative ones included (year 0 is a leap year).
bool bIsLeapYear(int64_t nYear);

// 1 when nYear is a Gregorian leap year, 0 otherwise (bIsLeapYear).
int16_t nIsLeapYear(int16_t nYear);

// 366 for a leap year, 365 for any other.
int32_t nDaysInYear(int64_t nYear);

// Days of month nMonth (1 to 12) of nYear: 28 to 31.
int32_t nDaysInMonth(int64_t nYear, int32_t nMonth);

// Days from 1970-01-01 to January 1 of nYear in the proleptic Gregorian
// calendar, negative for years before 1970. Exact for |nYear| up to 10^16,
// far beyond the years of any int64 second.
int64_t nDaysBeforeYear(int64_t nYear);

// The UTC calendar fields of one whole second.
struct UtcFields {
    int64_t nYear = 1970;    // proleptic Gregorian: year 0 and negative years exist
    int32_t nMonth = 1;      // 1 to 12
    int32_t nDay = 1;        // 1 to 31
    int32_t nDayOfYear = 1;  // 1 to 366
    int32_t nHour = 0;       // 0 to 23
    int32_t nMinute = 0;     // 0 to 59
    int32_t nSecond = 0;     // 0 to 59 (no leap seconds)
};

// Seconds since 1970-01-01 00:00:00 UTC of second nSecond of minute
// nMinute of hour nHour on day nDayOfYear (1 = January 1) of nYear, with the
// same arithmetic for every year (fields beyond their ranges add on).
int64_t nEpochSeconds(int64_t nYear, int32_t nDayOfYear, int32_t nHour, int32_t nMinute,
                      int32_t nSecond);

// Splits nSeconds since 1970-01-01 00:00:00 UTC (negative before it) into
// UTC calendar fields: those the C library's UTC conversion gives wherever
// it gives any, and the same arithmetic for every other int64 second.
UtcFields tSplitEpochSeconds(int64_t nSeconds);

// Splits t into UTC year, day of year (from 1), hour, minute, second and
// millisecond. The millisecond is rounded to nearest (halves up) and a
// rounding to 1000 carries into the seconds before the split. Works for any
// t from 0 up to the year 9999; a t below 0 is treated as 0.
void vEpochToCalendar(EpochTime t, int32_t& nYear, int32_t& nDayOfYear, int32_t& nHour,
                      int32_t& nMinute, int32_t& nSecond, int32_t& nMillisecond);

// The EpochTime of a calendar date and time, for years from 1970 on and
// months 0 to 12 (0 counts as January). Fields beyond their usual ranges add
// their seconds. Returns NaN for a month outside 0 to 12, which has no table
// entry. The seconds keep their single-precision rounding.
double dCalendarToEpoch(int16_t nYear, int16_t nMonth, int16_t nDay, int16_t nHour, int16_t nMinute,
                        float fSeconds);
