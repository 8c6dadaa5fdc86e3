// What a day file of an archive holds, read before a run writes into it:
// its records' start times and numbers in file order, for keeping the file
// in time order and numbering the run's records after the ones before them;
// and which samples of the run's channel it holds already, or where it
// holds other samples at the times of the channel's (a conflict the
// recording is refused for). Every record is read (any writer's: see
// RecordReader.h); one that cannot be read, or of another length than 512
// bytes, refuses the recording.
#pragma once

#include <climits>
#include <cstdint>
#include <string>
#include <vector>

#include "base/WorkerPool.h"
#include "driver/channel/ConvertedChannel.h"
#include "driver/channel/RecordTime.h"
#include "driver/check/HeldStretches.h"

struct DayFileSurvey {
    int64_t nWholeBytes = 0;             // the whole records' bytes
    int64_t nTornBytes = 0;              // bytes after them: the remains of a record cut short
    std::vector<RecordTime> atRecords;   // in file order
    bool bInOrder = true;                // the records are in order of start time
    int64_t nHeldEndMicros = INT64_MIN;  // where the latest record's samples end
    int nStatus = 0;                     // not 0: the recording is refused with this status
    std::string sProblem;                // and this reason (naming the file)
};

// Surveys the first nLength bytes of the day file sPath for channel c (the
// stream the file is for): what the file is, and the samples of c it holds
// added to tHeld. Read in parts on tPool.
DayFileSurvey tSurveyDayFile(const std::string& sPath, int64_t nLength, const ConvertedChannel& c,
                             CHeldStretches& tHeld, CWorkerPool& tPool);

// Adds to tHeld the samples of c held by the records of c's stream in the
// day file sPath of the day before nDay that run into nDay; a conflict
// there refuses the recording as in tSurveyDayFile. A file that is missing
// or cannot be read holds nothing.
DayFileSurvey tSurveyDayBefore(const std::string& sPath, int64_t nDay, const ConvertedChannel& c,
                               CHeldStretches& tHeld);
