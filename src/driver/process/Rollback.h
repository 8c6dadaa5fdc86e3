// Putting outputs back. While a run's outputs are open they are armed here:
// each with what putting it back needs (truncate to its old length, or
// remove the file the run created), with the folders the run made, and
// with the message an interruption prints. The run's signal handler
// (Signals.h) puts every armed output back with async-signal-safe calls.
#pragma once

#include <sys/types.h>

#include <ctime>

#include <cstddef>
#include <string>
#include <vector>

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

// The output armed as nFile is held open as nKeep from now on (a second
// descriptor that keeps its lock while nFile is closed).
void vRearmRollback(int nFile, int nKeep);

// The output armed as nFile had the nTail bytes at pTail at offset nAt
// cut off: putting it back writes them there again (after cutting the
// file to nAt) and gives the file back its times atTimes (access and
// modification), so that it is as it was. pTail must stay until the output
// is disarmed.
void vArmTail(int nFile, const unsigned char* pTail, size_t nTail, off_t nAt,
              const timespec (&atTimes)[2]);

// From now on a signal also puts a replaced file back: renames szKept
// (the replaced file, kept under another name) to szPath, and removes
// each of the files asTemporary (the replacement before its rename, and
// files the run wrote beside it). Before the rename the renaming finds no
// szKept, or finds it naming the file szPath names still; either way
// szPath ends up naming the file it named before the run.
void vArmReplacement(const std::string& sPath, const std::string& sKept,
                     const std::vector<std::string>& asTemporary);

// Puts the replacement armed for sPath back now, as a signal would, and
// disarms it.
void vPutReplacementBack(const std::string& sPath);

// Forgets the replacements (they stay).
void vDisarmReplacements();

// The output open as nFile needs no putting back any more.
void vDisarmRollback(int nFile);
// Nothing needs putting back any more: no output, no folder; the copies of
// their paths are freed.
void vDisarmAll();

// Puts the output back: removes sPath when bCreated, else cuts it to nLength
// through nFile (or by its name when nFile < 0). Only async-signal-safe calls.
void vPutOutputBack(bool bCreated, const char* szPath, int nFile, off_t nLength);

// Cuts the file open as nFile to nAt, writes the nTail bytes at pTail there
// again and sets its times to atTimes. Only async-signal-safe calls.
void vPutTailBack(int nFile, const unsigned char* pTail, size_t nTail, off_t nAt,
                  const timespec (&atTimes)[2]);

// Puts every armed output back and removes the armed folders; true when
// anything was armed. Only async-signal-safe calls.
bool bPutAllBack();

// Writes the interruption's one line on standard error, naming the signal
// szSignal. Only async-signal-safe calls.
void vWriteInterruptLine(const char* szSignal);

// What became of the output after a failure, for messages that name it
// first: "is left as it was" (and the note of vSetFateNote), or "is removed
// (this run created it)".
std::string sOutputFate(bool bCreated);

// From now on an output left as it was is said to be so with sNote after
// it: what earlier recordings of the card wrote into it, which stays
// ("; what the 2 recordings converted before c.vrx wrote stays"); empty
// for none.
void vSetFateNote(const std::string& sNote);
const std::string& sFateNote();
