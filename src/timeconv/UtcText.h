// UTC times as text, for messages and reports: "YYYY-MM-DD HH:MM:SS" with
// an optional decimal fraction of the second.
#pragma once

#include <cstdint>
#include <string>

// nSeconds since 1970-01-01 00:00:00 UTC as "YYYY-MM-DD HH:MM:SS" (the fields
// of tSplitEpochSeconds; the year zero-padded to four characters, a minus
// sign included, and longer where it needs more). With nDigits from 1 to 9,
// "." and nFraction (0 to 10^nDigits - 1) in nDigits digits follow.
std::string sUtcText(int64_t nSeconds, int nDigits = 0, int64_t nFraction = 0);
