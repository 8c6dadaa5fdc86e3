// The encoder's state of one call, and the close-out of each record: the
// integration constants, the host-order header and blockettes, the next
// record's start time and sequence number, and the final pass that turns
// every record's header big-endian.
#pragma once

#include <cstdint>

#include "mseed/SeedRecord.h"

// The first data frame of every record: frame 0 holds the fixed header and
// the blockettes (16 bytes of room after the header).
constexpr uint32_t nFirstDataFrame = 1;

// State of one nCompressSteim2 call; lives on the encoder's stack.
struct Steim2State {
    int nStartPending;  // 1: the next sample taken becomes X0 of the current record
    int32_t nX0;        // forward integration constant of the current record
    int32_t nLast;  // last sample taken (the sample before, at the start); Xn when a record closes
    uint32_t nCodes;                  // control word of the current frame, host order
    uint32_t nRecords;                // records completed; the encoder's result
    uint32_t nFrame;                  // current frame within the record
    uint32_t nWord;                   // next word to fill within the frame
    uint32_t nRecBase;                // start of the current record in the output, in 32-bit words
    const RecordTemplate* pTemplate;  // the blockettes and the timing of every record
    uint64_t nSamplesDone;            // samples in the records closed so far
    int64_t nTicks;                   // the current record's start, ticks since 1970
    int8_t nMicrosec;                 // its blockette 1001 microseconds
};

// Completes the record being filled: writes X0 and Xn (big-endian) to record
// bytes 68 and 72, copies the host-order working header and the blockettes
// into the record, then starts the next record at its first data frame and
// advances the working header's start time and sequence number.
void vCloseRecord(uint32_t* pnOutput, SeedFixedHeader* pHeader, Steim2State* pState);

// Sets the working header's start time to that of the call's first sample
// (RecordTemplate tells how records are timed).
void vTimeFirstRecord(SeedFixedHeader* pHeader, Steim2State* pState);

// Advances the working header past the record just closed: the start time to
// that of the next record's first sample (the record's Number_of_samples
// later; seconds, minutes, hours, days and years roll over) and the sequence
// number by one (999999 wraps to 000001).
void vAdvanceHeader(SeedFixedHeader* pHeader, Steim2State* pState);

// Turns the host-order header fields and blockettes of the nRecords
// 512-byte records at pnOutput big-endian. Data frames are left alone (they
// are big-endian already).
void vSwapRecords(uint32_t* pnOutput, uint32_t nRecords);
