// Exact sample times. The time of sample i of a run that starts at T0 and
// is sampled at F samples per second is T0 + i / F, which a double does not
// hold exactly; here it is kept as whole microseconds and a remainder in
// units of 1/F microsecond, so that record times can be rounded by one rule
// whatever the run's length, and the rounding never drifts.
#pragma once

#include <cstdint>

#include "timeconv/CalendarTime.h"

constexpr int64_t nMicrosPerDay = nSecondsPerDay * 1000000;

// nMicros + nRest / nRate microseconds since 1970-01-01 00:00:00 UTC,
// 0 <= nRest < nRate.
struct SampleTime {
    int64_t nMicros = 0;
    int64_t nRest = 0;
    int64_t nRate = 1;
};

// The time of sample nIndex (>= 0) of a run whose first sample was taken at
// nStartMicros microseconds since 1970, at nRate (>= 1) samples per second.
SampleTime tSampleTime(int64_t nStartMicros, int64_t nIndex, int32_t nRate);

// t rounded down to a whole tick of 0.0001 s: ticks since 1970.
int64_t nFloorTicks(const SampleTime& t);

// t rounded to the nearest microsecond, halves up.
int64_t nNearestMicros(const SampleTime& t);

// t rounded to the nearest millisecond, halves up.
int64_t nNearestMillis(const SampleTime& t);

// The UTC day of t: days since 1970-01-01. A day begins on a whole
// microsecond, so the rest below a microsecond never moves t into the next.
int64_t nDayOf(const SampleTime& t);

// The first sample (index >= 0) of a run that started at nStartMicros, at
// nRate (>= 1) samples per second, taken at or after nMicros, exactly.
int64_t nFirstSampleFrom(int64_t nStartMicros, int32_t nRate, int64_t nMicros);

// dSeconds since 1970 as whole microseconds (nearest, halves away from
// zero), for a run's start given as an EpochTime; times beyond 9e12 s are
// held at that bound.
int64_t nMicrosOf(double dSeconds);
