// The conversion run: one recording in, its channels appended to one
// MiniSEED file, channel after channel.
#pragma once

#include <string>

#include "driver/cli/CommandLine.h"

// Converts the recording sInput into sOutput with the settings of tArgs. Prints the progress
// lines on standard output and every diagnostic on standard error, and
// returns the exit status: 0 when every record arrived, 1 for an input that
// is not a valid recording, 2 when the output is the input itself, 3 when
// the output cannot be opened or written (the file is then put back as it
// was before the run).
int nRunConversion(const CommandLine& tArgs, const std::string& sInput, const std::string& sOutput);
