// A record of a file as keeping the file in time order needs it: where the
// record starts and the number it carries.
#pragma once

#include <cstdint>

struct RecordTime {
    int64_t nStartMicros = 0;      // its first sample, microseconds since 1970
    int32_t nSequenceNumber = -1;  // -1 when it carries no number
};
