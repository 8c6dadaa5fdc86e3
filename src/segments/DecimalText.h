// Numbers of the console lines written by hand, byte for byte as printf
// writes them: a long run prints tens of thousands of chunk lines from the
// thread that writes the records, and printf's "%f" costs more there than
// the encoding of a chunk's samples on another core.
#pragma once

#include <cstdint>

// True when pPutFixed6 writes d: a finite value below 10^12 in magnitude
// (every time and rate a recording can give), on a compiler with 128-bit
// integers.
bool bFitsFixed6(double d);

// Writes d at p as printf's "%f" does (a '-' for a negative value or -0,
// the whole part, a point and six decimals, rounded to nearest with ties to
// even); d must satisfy bFitsFixed6. Returns the end; at most 21 bytes.
char* pPutFixed6(char* p, double d);

// Writes the decimal digits of n at p. Returns the end; at most 20 bytes.
char* pPutUnsigned(char* p, uint64_t n);

// Writes n at p as printf's "%d" does. Returns the end; at most 11 bytes.
char* pPutInt(char* p, int32_t n);
