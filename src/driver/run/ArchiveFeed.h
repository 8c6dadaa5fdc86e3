// Feeding an archive that may hold some of the recording already: before
// anything is written, every day file the run writes (and the day before
// each) is read under the run's locks, what it holds of the recording is
// found, conflicts refuse the recording, and each day file is planned:
// appended to, or replaced in time order. After the run, -verify reads the
// day files again and finds every sample of the recording in them.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "base/WorkerPool.h"
#include "driver/channel/ConvertedChannel.h"
#include "driver/check/HeldStretches.h"
#include "driver/output/ArchiveSink.h"
#include "driver/run/RunRefusals.h"

// What the archive holds of a recording's channels.
struct ArchiveHeld {
    std::vector<std::unique_ptr<CHeldStretches>> apChannels;  // in plan order
    std::vector<std::string> asWarnings;                      // day files whose torn end is cut off
    int64_t nSamplesHeld = 0;
};

// Reads what the open day files of tArchive hold of atChannels (recording
// sIn's) into t and plans each file; a refusal (with nothing yet written) when a file holds
// other samples at the channels' times, records the run cannot read or of
// another length, a torn end that may still be written, or cannot be kept
// in time order.
Refusal tSurveyArchive(const std::string& sIn, CArchiveSink& tArchive, const std::string& sRoot,
                       const std::vector<ConvertedChannel>& atChannels, CWorkerPool& tPool,
                       ArchiveHeld& t);

// -verify for an archive: once tArchive is prepared (every day file as the
// run leaves it, synced), reads every day file again from the disk and
// finds every sample of atChannels (sIn's) in them; a refusal, after the
// archive is put back, when one is missing or in doubt.
Refusal tVerifyArchive(const std::string& sIn, CArchiveSink& tArchive, const std::string& sRoot,
                       const std::vector<ConvertedChannel>& atChannels, CWorkerPool& tPool);
