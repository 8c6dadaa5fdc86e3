// The conversion run: one recording in, its channels written into its
// output, channel after channel: one MiniSEED file, or with -sds the day
// files of an archive.
#pragma once

#include <functional>
#include <string>

#include "driver/cli/CommandLine.h"
#include "driver/run/RecordingReport.h"

// Converts the recording sIn into sOut (the output file, or with -sds the
// archive folder) with the settings of tArgs. Prints the progress lines on
// standard output and every diagnostic on standard error, and returns the
// exit status: 0 when every record arrived, 1 for an input that is not a
// valid recording or cannot be converted as asked, 2 for an output or
// codes the command line cannot have, 3 when the output cannot be opened
// or written, 5 when -verify reads back records that differ; on any
// failure the output is put back as it was before the run. What became of
// the recording goes into tSummary (its name and output are the caller's);
// fnClosing, when given, is called once the summary is whole, just before
// the output is closed, and the recording is marked kept from then on for
// an interruption's verdict (InterruptVerdict.h).
int nRunConversion(const CommandLine& tArgs, const std::string& sIn, const std::string& sOut,
                   RecordingSummary& tSummary, const std::function<void()>& fnClosing = {});
