// Every signal disposition of the program, in one place. For the whole
// program, SIGPIPE is ignored: a console whose reader went away is a failed
// write, reported once. For the length of a conversion run, SIGXFSZ is
// ignored (a write past the file size limit fails with EFBIG and is
// reported like any failed write), and SIGINT, SIGTERM and SIGHUP (those
// the run's parent did not ignore) erase the progress line, put every
// armed output back (Rollback.h), say so on standard error, write the
// card's verdict when one is prepared (InterruptVerdict.h) and end the
// program by the signal as usual. A fault reading the mapped input (SIGBUS: it shrank under the
// run) turns its pages into zeros and is only noted (bInputShrank): the
// run puts its output back and fails alone.
#pragma once

#include <cstddef>

// Ignores SIGPIPE for the rest of the program.
void vIgnoreBrokenPipes();

// Installs the run's dispositions, except for a signal that was ignored
// when the run started, which stays ignored; until an output is armed or a
// verdict prepared, a signal only ends the program. Installations nest (a
// card's, then each recording's): only the outermost installs.
void vInstallRunSignals();

// Disarms every output; the outermost installation also gives the signals
// the dispositions they had before vInstallRunSignals.
void vUninstallRunSignals();

// The run's dispositions for the life of the object (a card's, or one
// recording's).
struct CRunSignals {
    CRunSignals() { vInstallRunSignals(); }
    ~CRunSignals() { vUninstallRunSignals(); }
    CRunSignals(const CRunSignals&) = delete;
    CRunSignals& operator=(const CRunSignals&) = delete;
};

// From now on a fault reading the nSize bytes mapped at p marks the input as
// shrunk (bInputShrank) instead of ending the program; vUnwatchInput ends
// that and clears the mark.
void vWatchInput(const void* p, size_t nSize);
void vUnwatchInput();
bool bInputShrank();
