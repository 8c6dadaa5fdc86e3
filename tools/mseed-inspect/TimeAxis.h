// The shared UTC time axis of the quick-look plot: tick times at a round
// step (fractions of a second up to many days) chosen for the span and the
// room, and their labels.
#pragma once

#include <string>
#include <vector>

#include "timeconv/CalendarTime.h"

struct TimeTick {
    EpochTime t = 0;
    std::string sLabel;  // "HH:MM:SS.fff", "HH:MM:SS", "HH:MM" or "YYYY-MM-DD" by the step
};

// The round step in seconds (1, 2 or 5 times a power of ten below a minute,
// then 1, 2, 5, 10, 15 or 30 minutes, 1, 2, 3, 6 or 12 hours, 1, 2 or 5
// times a power of ten days): the smallest that puts at most nMaxTicks
// ticks on [tFrom, tTo]. nMaxTicks is at least 1.
double dTickStep(EpochTime tFrom, EpochTime tTo, int nMaxTicks);

// Ticks at the multiples of dTickStep within [tFrom, tTo]. A label shows
// what the step needs (fractions of a second, seconds, minutes, or the
// date); a tick at midnight below a step of a day shows the date instead.
std::vector<TimeTick> atTimeTicks(EpochTime tFrom, EpochTime tTo, int nMaxTicks);
