// Signals during a run. While the output is open, SIGINT, SIGTERM and SIGHUP
// (those the run's parent did not ignore) put it back as it was before the
// run, say so on standard error, and then end the program by the signal as
// usual. A fault reading the mapped input (SIGBUS: it shrank under the run)
// turns its pages into zeros and is only noted (bInputShrank): the run
// puts its output back and fails alone.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <string>

// Installs the handlers for the run, except for a signal that was ignored
// when the run started, which stays ignored; until vArmRollback, a signal
// only ends the program.
void vInstallRunSignals();

// Gives the four signals the handlers they had before vInstallRunSignals.
void vUninstallRunSignals();

// From now on a signal puts the output back through nFile: truncated to
// nLength, or removed (by its name sOutputPath) when bCreated.
void vArmRollback(int nFile, off_t nLength, bool bCreated, const std::string& sOutputPath);

// The output needs no putting back any more.
void vDisarmRollback();

// Puts the output back: removes sPath when bCreated, else cuts it to nLength
// through nFile (or by its name when nFile < 0). Only async-signal-safe calls.
void vPutOutputBack(bool bCreated, const char* szPath, int nFile, off_t nLength);

// From now on a fault reading the nSize bytes mapped at p marks the input as
// shrunk (bInputShrank) instead of ending the program; vUnwatchInput ends
// that and clears the mark.
void vWatchInput(const void* p, size_t nSize);
void vUnwatchInput();
bool bInputShrank();

// What became of the output after a failure, for messages that name it
// first: "is left as it was", or "is removed (this run created it)".
std::string sOutputFate(bool bCreated);
