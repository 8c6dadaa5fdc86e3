// Many recordings in one run: each converted in the order given, exactly as
// a lone run would convert it, and the statuses combined.
#pragma once

#include "driver/cli/CommandLine.h"

// Converts every recording of tArgs into its output (sOutputNameOf), each
// after its banner (none with -quiet). A recording that fails does not stop
// the others. Returns the status of the first recording that failed, else
// 0. On standard error, besides each recording's own diagnostics, the
// card's report (CardReport.h): a line per recording as it ends and a
// verdict at the end, or on a signal the verdict of what stays converted;
// on a terminal, the progress line (ProgressLine.h). A -outdir or -sds
// folder that is not one fails them all with status 3 before any is
// touched.
int nRunConversions(const CommandLine& tArgs);
