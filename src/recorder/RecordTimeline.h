// What the record headers after the first say about the recorder's clock.
// Each record should start where the record before it ends: its header time
// plus the record length. A record that starts a second or more away from
// that is a jump of the clock; the records after it follow the new time,
// so a jump is found once, where it happens. A record whose header time is
// not a valid time is no jump: it stays on the timeline of the records
// before it.
#pragma once

#include <cstdint>
#include <vector>

#include "base/WorkerPool.h"
#include "recorder/ChannelExtraction.h"
#include "timeconv/CalendarTime.h"

// Record nRecord (counted from 0) starts at tFound, not at tExpected, where
// the record before it ends.
struct ClockJump {
    int64_t nRecord = 0;
    EpochTime tExpected = 0;
    EpochTime tFound = 0;
};

// The records that start a second or more away from the record before them,
// and those without a valid start time (counted from 0), in record order.
struct RecordTimeline {
    std::vector<ClockJump> atJumps;
    std::vector<int64_t> anInvalid;
    std::vector<EpochTime> atInvalidExpected;  // where each of them is taken to start
};

// Reads the start time of every whole record after the first (the first
// starts at tFileStart), records nRecSeconds long, laid out as tGeometry
// says. Long recordings are read in parts side by side on tPool's threads.
RecordTimeline tReadRecordTimeline(const uint8_t* pData, const RecordGeometry& tGeometry,
                                   EpochTime tFileStart, int32_t nRecSeconds, CWorkerPool& tPool);
