// Opening a run's output, of either kind: the one output file, or with
// -sds the day files of an archive that the channels' samples fall into,
// read for what they hold of the recording before anything is written.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "base/WorkerPool.h"
#include "driver/channel/ConvertedChannel.h"
#include "driver/output/ArchiveSink.h"
#include "driver/output/OutputSink.h"
#include "driver/output/RunOutput.h"
#include "driver/run/ArchiveFeed.h"
#include "driver/run/RunRefusals.h"

// The run's output once open, and the warnings about what it held before
// (to be given when the run's warnings are; they return the number of
// streams, or day files, that held part of the run's span already).
struct OpenedOutput {
    std::unique_ptr<CRunOutput> pOutput;
    COutputSink* pFile = nullptr;      // the output, when it is one file
    CArchiveSink* pArchive = nullptr;  // the output, when it is an archive
    ArchiveHeld tHeld;                 // what the archive holds of the recording
    std::function<size_t()> fnWarn;
    size_t nDayFiles = 0;  // with an archive, the day files the run writes into
};

// Opens sOut, the output file of recording sIn, or with bArchive the
// archive folder whose day files take atChannels, into t (the warnings read
// what it held on tPool); a refusal when it cannot be opened or written as
// it is, with the output left as it was.
Refusal tOpenOutput(const std::string& sIn, const std::string& sOut, bool bArchive,
                    const std::vector<ConvertedChannel>& atChannels, CWorkerPool& tPool,
                    OpenedOutput& t);
