// The program's console: standard output made safe to lose. A failed write
// to it never stops or damages a conversion; the failure is kept and asked
// for at the end, so the run can report it once, after the output is whole.
#pragma once

// Opens /dev/null on any of descriptors 0, 1 and 2 that is closed, so that
// no file the run opens later can take their numbers.
void vSecureStandardDescriptors();

// Sends everything printed on stdout through a large buffer into descriptor
// 1, keeping the errno of the first write that fails and dropping the text
// from then on instead of retrying it.
void vUseCheckedConsole();

// From now on nothing printed on stdout reaches descriptor 1 (-quiet).
void vSilenceConsole();

// Flushes stdout. Returns 0 when all console text arrived or its reader
// closed the pipe (EPIPE: the reader's choice), else the errno of the first
// failed write (ENOSPC, EIO, ...).
int nConsoleError();
