// Checks of a recording that change no output byte but tell the user what
// the conversion cannot show: bytes after the last whole record, record
// headers whose times leave the continuous timeline the output assumes, and
// a start too late for common readers.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "recorder/ChannelExtraction.h"
#include "segments/WorkerPool.h"

// At most this many time differences are listed one by one.
constexpr int nMaxTimingLines = 5;

// Compares the start time of every record after the first with
// tFileStart + r * nRecSeconds. Returns one warning text per record whose time
// differs by a second or more (or cannot be read), at most nMaxTimingLines,
// followed by one text counting the rest. Long recordings are scanned in
// parts side by side on tPool's threads.
std::vector<std::string> asTimingWarnings(const uint8_t* pData, const RecordGeometry& tGeometry,
                                          EpochTime tFileStart, int32_t nRecSeconds,
                                          CWorkerPool& tPool);

// The last year whose record times MiniSEED readers commonly recognise: their
// check for a record header takes years from 1900 to 2100 only.
constexpr int nLastReaderYear = 2100;

// A warning text when tFileStart lies after nLastReaderYear (a recorder
// clock gone wrong, most likely), else an empty text.
std::string sLateStartWarning(EpochTime tFileStart);

// "2004-12-07 13:45:30 UTC" for messages: the second t lies in, as sUtcText
// writes it; "?" when t is not finite or beyond the int64 seconds.
std::string sFormatUtc(EpochTime t);
