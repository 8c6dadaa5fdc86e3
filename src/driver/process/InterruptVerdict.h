// The verdict an interruption prints on a card of recordings: which stay
// converted, which one is put back, which never started. The main thread
// prepares it, before each recording and after each, in three forms, one
// for each state the recording under way may be in when a signal comes;
// the signal handler only picks one and writes it (Signals.h).
#pragma once

#include <string>

// The verdict for a signal from now on: "tessal: verdict: interrupted by
// SIGNAL" followed by sPutBack when the handler put an output back, by sKept
// when the recording under way is marked kept (vMarkRecordingKept), else by
// sNotStarted. Each text is made printable and ends the line.
void vPrepareInterruptVerdict(const std::string& sPutBack, const std::string& sNotStarted,
                              const std::string& sKept);

// Marks the recording under way as kept (bKept) or not, once its output is
// being closed: from then on, unless an output is put back, it stays.
void vMarkRecordingKept(bool bKept);

// A signal from now on prints no verdict.
void vDropInterruptVerdict();

// Writes the verdict prepared, if any, naming the signal szSignal; bPutBack
// when the handler put an output back. Only async-signal-safe calls.
void vWriteInterruptVerdict(const char* szSignal, bool bPutBack);
