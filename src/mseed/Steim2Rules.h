// The Steim-2 packing rules, one function per rule, as the encoder's
// reference. nCompressSteim2Literal applies them sample by sample; the fast
// nCompressSteim2 must produce the same bytes, which the tests check.
#pragma once

#include <cstdint>

#include "mseed/RecordCloseOut.h"
#include "mseed/SeedRecord.h"

// The pending word: differences waiting to be packed into one data word.
struct Steim2Word {
    int32_t anDiff[7];
    int nDiffs;  // how many are pending
    int nClass;  // widest class among them; 0 when empty
};

// Class 1..7 of a first difference: the first of the ranges -8..7, -16..15,
// -32..31, -128..127, -511..511, -16383..16383 that holds it, else 7.
int nDiffClass(int32_t d);

// Differences per word of class c (7, 6, 5, 4, 3, 2, 1 for c = 1..7).
int nClassCapacity(int c);

// 1 if a difference of class c may join a pending word of class nClass
// holding nDiffs differences, else 0.
int nCanJoin(int nClass, int nDiffs, int c);

// 1 if a pending word of class nClass (1..7) holds as many differences as
// its class allows, else 0 (always 0 for the empty word).
int nWordFull(int nClass, int nDiffs);

// Packs the pending word (never empty) into one data word, raising its class
// until the capacity equals the differences pending, adds them to the
// header's Number_of_samples, empties the pending word and appends the word.
void vPackWord(Steim2Word* pWord, uint32_t* pnOutput, SeedFixedHeader* pHeader,
               Steim2State* pState);

// Stores one data word big-endian with its 2-bit code in the frame's control
// word; writes the control word of a full frame and closes a full record.
void vAppendWord(uint32_t* pnOutput, SeedFixedHeader* pHeader, uint32_t nWord, uint32_t nCode,
                 Steim2State* pState);

// Encoder setup shared by both encoders: fills the state and the working
// header from the caller's template.
void vStartSteim2(Steim2State* pState, SeedFixedHeader* pHeader, const RecordTemplate& tTemplate);

// The encoder's end of input after the last word is packed: closes a partly
// filled record, turns all records big-endian and returns their number.
int nFinishSteim2(uint32_t* pnOutput, SeedFixedHeader* pHeader, Steim2State* pState);

// The reference encoder: same contract and output as nCompressSteim2.
int nCompressSteim2Literal(const int32_t* pnSamples, uint32_t nSampleCount,
                           const RecordTemplate& tTemplate, uint32_t* pnOutput);

// The fast encoder without instructions beyond the compiler's baseline: same
// contract and output as nCompressSteim2, which runs it on CPUs that lack
// what its faster build needs.
int nCompressSteim2Portable(const int32_t* pnSamples, uint32_t nSampleCount,
                            const RecordTemplate& tTemplate, uint32_t* pnOutput);

// The same for x86-64 CPUs with BMI2 and AVX2, built where the target is
// x86-64 (TESSAL_X86_ENCODER), and whether this CPU runs it, and runs it well.
#if defined(TESSAL_X86_ENCODER)
int nCompressSteim2X86(const int32_t* pnSamples, uint32_t nSampleCount,
                       const RecordTemplate& tTemplate, uint32_t* pnOutput);
bool bSteim2X86Usable();
#endif
