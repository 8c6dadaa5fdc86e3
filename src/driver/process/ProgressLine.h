// The progress line: while a card converts, one line on standard error that
// is rewritten in place: the recording under way (k of n), its name, what
// it does, the share of the card's work done, the speed and the time left.
// It is shown only on a terminal whose standard output cannot mix with it,
// so no byte of it ever reaches standard output or a file. Only the main
// thread draws it; every other line written to standard error erases it
// first (Diagnostics.h), and so does the signal handler.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// Decides whether the line is shown: when standard error is a terminal and
// either bQuiet (-quiet) or standard output is a regular file or /dev/null.
// The card's work is nTotalWork units (bytes of the recordings).
void vStartProgress(bool bQuiet, int64_t nTotalWork);

// From now on the line names recording nIndex (from 1) of nCount, sName,
// doing szDoing; the recording's work of nWork units begins.
void vProgressRecording(size_t nIndex, size_t nCount, const std::string& sName, int64_t nWork,
                        const char* szDoing);

// The part of the recording's work from dFrom to dTo (shares of it, 0 to 1)
// is under way, doing szDoing (a text that lives as long as the program).
void vProgressDoing(const char* szDoing, double dFrom, double dTo);

// dShare (0 to 1) of the part under way is done. Redraws the line when it
// was erased or last drawn a fifth of a second ago.
void vProgressShare(double dShare);

// The recording's work is done, whatever became of it.
void vProgressRecordingDone();

// Erases the line where it is shown; the next update draws it again.
void vClearProgress();

// Erases the line and shows it no more.
void vEndProgress();

// Erases the line where it is shown and stops every later drawing. Only
// async-signal-safe calls: for the signal handler.
void vClearProgressForSignal();

// The line for nDone of nTotal units of work after dSeconds, recording
// sItem ("3 of 8, rec3.vrx") doing szDoing, cut to nWidth bytes.
std::string sProgressText(const std::string& sItem, const char* szDoing, int64_t nDone,
                          int64_t nTotal, double dSeconds, size_t nWidth);
