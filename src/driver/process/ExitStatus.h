// The program's exit statuses.
#pragma once

constexpr int nExitSuccess = 0;        // usage shown, or conversion done
constexpr int nExitBadInput = 1;       // input unreadable or not a valid recording
constexpr int nExitCommandLine = 2;    // command line that cannot be carried out
constexpr int nExitOutputFailed = 3;   // output could not be opened or written
constexpr int nExitConsoleFailed = 4;  // output complete, standard output not written
constexpr int nExitVerifyFailed = 5;   // records read back differ from the recording
