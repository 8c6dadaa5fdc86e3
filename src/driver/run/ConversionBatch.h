// Many recordings in one run: each converted in the order given, exactly as
// a lone run would convert it, and the statuses combined.
#pragma once

#include "driver/cli/CommandLine.h"

// Converts every recording of tArgs into its output (sOutputNameOf), each
// after its banner (none with -quiet). A recording that fails does not stop
// the others. Returns the status of the first recording that failed, else
// 0; when several recordings were given and any failed, a last line on
// standard error names each failed one with its status. A -outdir folder
// that does not exist fails them all with status 3 before any is touched.
int nRunConversions(const CommandLine& tArgs);
