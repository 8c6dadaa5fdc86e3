// Steim-1 and Steim-2 data frames unpacked into first differences, in either
// word order: the one unpacker behind the reader of our own records
// (Steim2Decoder) and the reader of any data record (RecordReader).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// What the frames of one record hold.
struct SteimFrames {
    int32_t nX0 = 0;  // integration constants: the first and the last sample
    int32_t nXn = 0;
    std::vector<int32_t> anDiffs;         // the first differences, in order
    std::vector<std::string> asProblems;  // what a careful reader notes, in order
    bool bBroken = false;                 // an invalid sub-code ended the unpacking
};

// Unpacks the whole 64-byte frames of the record at p from byte nBegin up to
// byte nEnd: Steim-1 when nLevel is 1, else Steim-2; words big-endian when
// bBig, else little-endian. Stops once nMaxDiffs differences are out, so
// frames after a record's last sample are not looked at. Problems name a
// frame by its number within the record (byte offset / 64).
SteimFrames tUnpackSteimFrames(const unsigned char* p, size_t nBegin, size_t nEnd, int nLevel,
                               bool bBig, size_t nMaxDiffs);
// The same into t, whose buffers are reused: a reader of many records
// allocates once.
void vUnpackSteimFrames(const unsigned char* p, size_t nBegin, size_t nEnd, int nLevel, bool bBig,
                        size_t nMaxDiffs, SteimFrames& t);

// The first nCount samples (at most anDiffs.size()) that the frames give:
// X0, then each the one before plus its difference, wrapping in 32 bits.
std::vector<int32_t> anIntegrateSteim(const SteimFrames& t, size_t nCount);
// The same in place: t.anDiffs becomes those samples.
void vIntegrateSteim(SteimFrames& t, size_t nCount);
