// Warnings about a recording's times that change no output byte: jumps of
// the recorder's clock and record headers without a valid time, and a start
// too late for common readers.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "recorder/RecordTimeline.h"
#include "timeconv/CalendarTime.h"

// At most this many clock jumps, and as many records without a valid start
// time, are listed one by one.
constexpr int nMaxTimingLines = 10;

// The warnings about the recorder's clock in tTimeline: one per jump and one
// per record without a valid start time (at most nMaxTimingLines of each,
// then a count of the rest), and after any jump a closing line on how the
// output dates the samples after it: on the recording's one timeline, or,
// with bRecordTime (-recordtime), by the recorder's clock.
std::vector<std::string> asTimingWarnings(const RecordTimeline& tTimeline, bool bRecordTime);

// The last year whose record times MiniSEED readers commonly recognise: their
// check for a record header takes years from 1900 to 2100 only.
constexpr int nLastReaderYear = 2100;

// A warning text when tFileStart lies after nLastReaderYear (a recorder
// clock gone wrong, most likely), else an empty text.
std::string sLateStartWarning(EpochTime tFileStart);
