// Conversions between EpochTime (seconds since 1970-01-01 UTC, no leap
// seconds) and the calendar fields that the recorder file and the MiniSEED
// record header use.
#pragma once

#include <cstdint>

using EpochTime = double;

// 9999-12-31 23:59:59 UTC: the last second the calendar fields can hold.
constexpr EpochTime tLastCalendarSecond = 253402300799.0;

// Days of a common year before the first of each month; index 0 exists and
// counts as January.
extern const int16_t nDaysBeforeMonth[13];

// 1 when nYear is a Gregorian leap year, 0 otherwise.
int16_t nIsLeapYear(int16_t nYear);

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
double dCalendarToEpoch(int16_t nYear, int16_t nMonth, int16_t nDay, int16_t nHour,
                        int16_t nMinute, float fSeconds);
