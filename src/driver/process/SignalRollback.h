// Signals during a run. While outputs are open, SIGINT, SIGTERM and SIGHUP
// (those the run's parent did not ignore) put each back as it was before the
// run, remove the folders the run created, say so on standard error, and then end the program by
// the signal as usual. A fault reading the mapped input (SIGBUS: it shrank under the run) turns its
// pages into zeros and is only noted (bInputShrank): the run puts its output back and fails alone.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <string>
#include <vector>

// Installs the handlers for the run, except for a signal that was ignored
// when the run started, which stays ignored; until vArmRollback, a signal
// only ends the program.
void vInstallRunSignals();

// Gives the four signals the handlers they had before vInstallRunSignals.
void vUninstallRunSignals();

// Most outputs armed at once.
constexpr size_t nMaxArmedOutputs = 8192;

// From now on a signal puts the output open as nFile back: truncated to
// nLength, or removed (by its name sOutputPath) when bCreated. The message
// of an interruption names sOutputPath. False when nMaxArmedOutputs are
// armed already.
bool bArmRollback(int nFile, off_t nLength, bool bCreated, const std::string& sOutputPath);

// From now on the message of an interruption names sWhat and ends in
// "; " and sFate, whatever outputs are armed.
void vSetInterruptMessage(const std::string& sWhat, const std::string& sFate);

// From now on a signal also removes the folders asFolders (deepest last in
// the list; removed from the last to the first), after the outputs.
void vArmFolderRemoval(const std::vector<std::string>& asFolders);

// The output open as nFile needs no putting back any more.
void vDisarmRollback(int nFile);
// Nothing needs putting back any more: no output, no folder.
void vDisarmAll();

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
