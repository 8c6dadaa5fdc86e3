// UTC times as text, for messages and reports: "YYYY-MM-DD HH:MM:SS" with
// an optional decimal fraction of the second.
#pragma once

#include <cstdint>
#include <string>

#include "timeconv/CalendarTime.h"

// nSeconds since 1970-01-01 00:00:00 UTC as "YYYY-MM-DD HH:MM:SS" (the fields
// of tSplitEpochSeconds; the year zero-padded to four characters, a minus
// sign included, and longer where it needs more). With nDigits from 1 to 9,
// "." and nFraction (0 to 10^nDigits - 1) in nDigits digits follow.
std::string sUtcText(int64_t nSeconds, int nDigits = 0, int64_t nFraction = 0);

// "2004-12-07 13:45:30 UTC": the second t lies in, as sUtcText writes it;
// "?" when t is not finite or beyond the int64 seconds.
std::string sFormatUtc(EpochTime t);

// nMicros since 1970 as "2004-12-07 13:45:33.840100 UTC".
std::string sMicrosText(int64_t nMicros);

// "FROM to TO": the seconds of a span in microseconds, as sFormatUtc writes them.
std::string sSpanText(int64_t nFromMicros, int64_t nToMicros);
