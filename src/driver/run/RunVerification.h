// -verify: the records a run wrote, read back after a sync and compared
// with the recording, record by record.
#pragma once

#include <string>
#include <vector>

#include "driver/channel/ConvertedChannel.h"
#include "driver/output/OutputSink.h"
#include "driver/run/RunRefusals.h"

// Reads back the records this run appended to tOutput (sOut) and compares
// them with atExpected, the recording sIn's channels in the order they were
// written. Nothing when every record is right; else the failure (status 3
// when they cannot be read back, 5 when one differs), after tOutput is put
// back.
Refusal tVerifyOutput(const std::string& sIn, const std::string& sOut,
                      std::vector<ConvertedChannel> atExpected, COutputSink& tOutput);
