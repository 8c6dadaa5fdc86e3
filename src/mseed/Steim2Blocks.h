// The fast Steim-2 encoder's block walk, shared by the portable build and the
// one for CPUs with BMI2 and AVX2 (Steim2EncoderX86.cpp). Each includes it
// with its own word packer, so each gets its own copy, compiled for its CPU;
// the x86 file includes it where functions are compiled for AVX2, and
// defines TESSAL_STEIM2_AVX2 so that the counting pass uses 32-byte vectors.
//
// The packing rules (Steim2Encoder.cpp) reduce to this: a word starting at
// difference i holds the largest count k (7..1) such that the k differences
// from i all have a class of at most 8 - k, counting only differences that
// exist. (A difference joins while the pending count stays within the
// capacity of the widest class so far; that bound only tightens, so the
// first refusal ends the word, and a word going out early is raised to
// exactly its count.) The encoder therefore works in blocks: the packer forms
// the differences and their classes, a pass free of branches gives the count
// k of a word starting at each position, and the walk hops from word to word,
// packing each with the packer and doing the frame and record bookkeeping.
//
// A packer provides
//   uint8_t anClass[nBlockSpan + 8];  classes of the block's differences
//   void vFill(const int32_t* px, int32_t nBefore, uint32_t nSpan);
//       differences and classes of px[0..nSpan), nBefore the sample before
//       px[0]; classes from nSpan on are 8, which no word accepts
//   uint32_t nWord(uint32_t j, uint32_t k) const;
//       the data word (host order) of the k differences from j
#pragma once

#include <algorithm>
#include <cassert>
#include <cstdint>
#include <cstring>

#include "mseed/ByteOrder.h"
#include "mseed/RecordCloseOut.h"
#include "mseed/Steim2Rules.h"

// Everything here has internal linkage: the two copies are compiled for
// different CPUs and must never be merged by the linker.
namespace steim2blocks {
namespace {

// Words start in blocks of nBlock differences; a word may reach nLookAhead
// past its first, so a block's differences span nBlockSpan.
constexpr uint32_t nBlock = 1024;
constexpr uint32_t nLookAhead = 6;
constexpr uint32_t nBlockSpan = nBlock + nLookAhead;

// The 30-bit range every difference must lie in (checked in debug builds).
[[maybe_unused]] constexpr int32_t nDiffMin = -(1 << 29);
[[maybe_unused]] constexpr int32_t nDiffMax = (1 << 29) - 1;

// x - nPrev with 32-bit wrap-around.
inline int32_t nDifference(int32_t x, int32_t nPrev) {
    return static_cast<int32_t>(static_cast<uint32_t>(x) - static_cast<uint32_t>(nPrev));
}

// A difference's class is 1 plus the number of these bounds it exceeds: the
// first four compare d (or -d - 1 when negative), the last two |d|.
constexpr int16_t anClassBound[6] = {7, 15, 31, 127, 511, 16383};

// Class 1..7 of a difference, without branches.
inline uint8_t nClassOfFast(int32_t d) {
    const uint32_t u = static_cast<uint32_t>(d ^ (d >> 31));  // d, or -d - 1 if negative
    const uint32_t a = u + (static_cast<uint32_t>(d) >> 31);  // |d|
    const auto b = [](int p) { return static_cast<uint32_t>(anClassBound[p]); };
    return static_cast<uint8_t>(1 + (u > b(0)) + (u > b(1)) + (u > b(2)) + (u > b(3)) + (a > b(4)) +
                                (a > b(5)));
}

// Control code of a word holding k differences (index k).
constexpr uint32_t anCodeOfCount[8] = {0, 2, 2, 2, 1, 3, 3, 3};

// The counting pass works in vectors of classes, as wide as the build's CPU
// has (GCC and Clang vector extensions: -1 where a comparison holds).
#if defined(TESSAL_STEIM2_AVX2)
constexpr uint32_t nCountWidth = 32;
#else
constexpr uint32_t nCountWidth = 16;
#endif
using ClassVector = uint8_t __attribute__((vector_size(nCountWidth)));

inline ClassVector tLoadClasses(const uint8_t* p) {
    ClassVector v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

// Count of the word that would start at each of the first nStarts positions
// (pnClass holds at least nStarts + 6 classes).
inline void vCountWords(const uint8_t* pnClass, uint8_t* pnCount, uint32_t nStarts) {
    uint32_t j = 0;
    for (; j + nCountWidth <= nStarts; j += nCountWidth) {
        ClassVector m = tLoadClasses(pnClass + j);
        ClassVector k = ClassVector{} + 1;
        for (uint32_t p = 1; p <= 6; ++p) {
            const ClassVector x = tLoadClasses(pnClass + j + p);
            m = m > x ? m : x;
            k -= reinterpret_cast<ClassVector>(m <= static_cast<uint8_t>(7 - p));
        }
        std::memcpy(pnCount + j, &k, sizeof k);
    }
    for (; j < nStarts; ++j) {
        uint8_t m = pnClass[j];
        uint8_t k = 1;
        for (uint32_t p = 1; p <= 6; ++p) {
            m = std::max(m, pnClass[j + p]);
            k += m <= 7 - p;
        }
        pnCount[j] = k;
    }
}

// nCompressSteim2's contract, with words packed by a Packer.
template <class Packer>
int nEncodeBlocks(const int32_t* pnSamples, uint32_t nSampleCount, const RecordTemplate& tTemplate,
                  uint32_t* pnOutput) {
    Steim2State s;
    SeedFixedHeader h;
    vStartSteim2(&s, &h, tTemplate);
    if (nSampleCount == 0) return nFinishSteim2(pnOutput, &h, &s);

    Packer tPacker;
    uint8_t anCount[nBlock];

    // The frame being filled: its control word, the next word, the words
    // left and the codes so far (shifted in, the latest lowest).
    uint32_t* pFrame = pnOutput + s.nRecBase + 16 * s.nFrame;
    uint32_t* pNext = pFrame + s.nWord;
    uint32_t nLeft = 16 - s.nWord;
    uint32_t nCodes = 0;
    uint32_t nSamplesInRecord = 0;
    s.nX0 = pnSamples[0];
    s.nStartPending = 0;

    uint32_t i = 0;
    while (i < nSampleCount) {
        const uint32_t nFirst = i;
        const uint32_t nSpan = std::min<uint32_t>(nBlockSpan, nSampleCount - nFirst);
        tPacker.vFill(pnSamples + nFirst,
                      nFirst == 0 ? tTemplate.nSampleBefore : pnSamples[nFirst - 1], nSpan);
        const uint32_t nStarts = std::min<uint32_t>(nBlock, nSpan);
        vCountWords(tPacker.anClass, anCount, nStarts);

        // Walk the words that start in this block.
        uint32_t j = 0;
        while (j < nStarts) {
            const uint32_t k = anCount[j];
            *pNext++ = nToBig32(tPacker.nWord(j, k));
            nCodes = (nCodes << 2) | anCodeOfCount[k];
            j += k;
            nSamplesInRecord += k;
            if (--nLeft != 0) continue;
            *pFrame = nToBig32(nCodes);
            nCodes = 0;
            if (++s.nFrame < nSeedFramesPerRecord) {
                pFrame += 16;
                pNext = pFrame + 1;
                nLeft = 15;
                continue;
            }
            // Record full: close it; the next sample starts the next record.
            const uint32_t nNext = nFirst + j;
            s.nLast = pnSamples[nNext - 1];
            h.Number_of_samples = static_cast<uint16_t>(nSamplesInRecord);
            vCloseRecord(pnOutput, &h, &s);
            nSamplesInRecord = 0;
            pFrame = pnOutput + s.nRecBase + 16 * s.nFrame;
            pNext = pFrame + s.nWord;
            nLeft = 16 - s.nWord;
            if (nNext < nSampleCount) {
                s.nX0 = pnSamples[nNext];
                s.nStartPending = 0;
            }
        }
        i = nFirst + j;
    }
    s.nLast = pnSamples[nSampleCount - 1];
    s.nCodes = nCodes << (2 * (nLeft % 16));
    h.Number_of_samples = static_cast<uint16_t>(nSamplesInRecord);
    return nFinishSteim2(pnOutput, &h, &s);
}

}  // namespace
}  // namespace steim2blocks
