// Steim-2 encoder: one contiguous run of samples into 512-byte MiniSEED
// records.
//
// The format, as this encoder writes it
// -------------------------------------
// A record is 8 frames of 64 bytes; a frame is 16 big-endian 32-bit words.
// Frame 0 holds the 48-byte fixed header and the 8-byte blockette 1000
// (bytes 56..63 zero). Frames 1..7 carry data. Word 0 of each data frame is
// its control word: the 2-bit code of word k sits in bits 31-2k and 30-2k
// (word 0's own code is 0). Frame 1 words 1 and 2 hold X0 and Xn, the first
// and last sample of the record (code 0). Data words are frame 1 words 3..15
// and frames 2..7 words 1..15: 103 words per record.
//
// Samples are stored as first differences d[i] = x[i] - x[i-1], with x[-1]
// the template's sample before (0 for a segment's first record) for the
// first sample of the call; the chain runs on across records.
// A difference has the first class whose range holds it:
//
//   class  range              per word  width   code  bits 31-30
//     1    -8..7                  7     4 bits    3      10   (bits 29-28 zero)
//     2    -16..15                6     5 bits    3      01
//     3    -32..31                5     6 bits    3      00
//     4    -128..127              4     8 bits    1      (data)
//     5    -511..511              3    10 bits    2      11
//     6    -16383..16383          2    15 bits    2      10
//     7    anything else          1    30 bits    2      01
//
// (classes 5 and 6 are symmetric: -512 is class 6, -16384 class 7). Each
// difference is stored as its low bits, the earliest in the highest field,
// the fields packed against bit 0.
//
// Packing is greedy. Differences gather in a pending word whose class is
// the widest among them. A new difference joins if the pending word is
// empty, or if it is not class 7 and the word holds fewer differences than
// the widened class allows; a word goes out as soon as it is full. A
// difference that cannot join sends the pending word out early (and is then
// taken again); a word going out early, as at the end of the input, is
// raised to the class whose capacity equals its count (3 class-1
// differences go out as 3 x 10 bits, 1 of any class as 1 x 30 bits).
//
// Words are stored big-endian as they are written. When the last frame of a
// record fills, or at the end of the input, the record gets X0, Xn, its
// header and its blockette 1000 (RecordCloseOut.h); the header fields stay
// in host order until one pass at the end. Precondition: every difference
// fits in 30 bits, which 16-bit recorder samples always do; debug builds
// assert it.
#include "mseed/Steim2Encoder.h"

#include <algorithm>
#include <cassert>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "mseed/ByteOrder.h"
#include "mseed/RecordCloseOut.h"
#include "mseed/Steim2Blocks.h"
#include "mseed/Steim2Rules.h"

namespace {

using steim2blocks::nDifference;
using steim2blocks::nDiffMax;
using steim2blocks::nDiffMin;

// Bits 31-30 and field width of each class's layout; class 4 has no sub-code.
constexpr uint32_t anSubCode[8] = {0, 2, 1, 0, 0, 3, 2, 1};
constexpr int anWidth[8] = {0, 4, 5, 6, 8, 10, 15, 30};
constexpr uint32_t anCode[8] = {0, 3, 3, 3, 1, 2, 2, 2};

}  // namespace

int nDiffClass(int32_t d) {
    if (d >= -8 && d <= 7) return 1;
    if (d >= -16 && d <= 15) return 2;
    if (d >= -32 && d <= 31) return 3;
    if (d >= -128 && d <= 127) return 4;
    if (d >= -511 && d <= 511) return 5;
    if (d >= -16383 && d <= 16383) return 6;
    return 7;
}

int nClassCapacity(int c) {
    return 8 - c;
}

int nCanJoin(int nClass, int nDiffs, int c) {
    if (nClass == 0) return 1;
    if (c == 7) return 0;
    return nDiffs < nClassCapacity(std::max(nClass, c)) ? 1 : 0;
}

int nWordFull(int nClass, int nDiffs) {
    if (nClass == 0) return 0;
    return nDiffs >= nClassCapacity(nClass) ? 1 : 0;
}

void vPackWord(Steim2Word* pWord, uint32_t* pnOutput, SeedFixedHeader* pHeader,
               Steim2State* pState) {
    while (!nWordFull(pWord->nClass, pWord->nDiffs)) pWord->nClass += 1;
    const int c = pWord->nClass;
    const int nCap = nClassCapacity(c);
    const int nWidth = anWidth[c];
    const uint32_t nMask = (1u << nWidth) - 1;
    uint32_t nWord = anSubCode[c] << 30;
    for (int k = 0; k < nCap; ++k)
        nWord |= (static_cast<uint32_t>(pWord->anDiff[k]) & nMask) << (nWidth * (nCap - 1 - k));
    pHeader->Number_of_samples = static_cast<uint16_t>(pHeader->Number_of_samples + nCap);
    pWord->nClass = 0;
    pWord->nDiffs = 0;
    vAppendWord(pnOutput, pHeader, nWord, anCode[c], pState);
}

void vAppendWord(uint32_t* pnOutput, SeedFixedHeader* pHeader, uint32_t nWord, uint32_t nCode,
                 Steim2State* pState) {
    Steim2State& s = *pState;
    s.nCodes |= nCode << (2 * (15 - s.nWord));
    pnOutput[s.nRecBase + 16 * s.nFrame + s.nWord] = nToBig32(nWord);
    s.nWord += 1;
    if (s.nWord <= 15) return;
    pnOutput[s.nRecBase + 16 * s.nFrame] = nToBig32(s.nCodes);
    s.nFrame += 1;
    s.nWord = 1;
    s.nCodes = 0;
    if (s.nFrame < nSeedFramesPerRecord) return;
    vCloseRecord(pnOutput, pHeader, pState);
}

void vStartSteim2(Steim2State* pState, SeedFixedHeader* pHeader, const RecordTemplate& tTemplate) {
    Steim2State& s = *pState;
    s = Steim2State{};
    s.nStartPending = 1;
    s.nFrame = nFirstDataFrame;
    s.nWord = 3;
    s.pTemplate = &tTemplate;
    s.nLast = tTemplate.nSampleBefore;

    *pHeader = tTemplate.tHeader;
    pHeader->Data_header_indicator = 'D';
    pHeader->Reserved_bytes_A = ' ';
    pHeader->Number_of_samples = 0;
    pHeader->Number_of_blockettes_follow = tTemplate.bBlockette1001 ? 2 : 1;
    pHeader->First_blockette = sizeof(SeedFixedHeader);
    pHeader->Beginning_of_data = nFirstDataFrame * nSeedFrameLength;
    vTimeFirstRecord(pHeader, pState);
}

int nFinishSteim2(uint32_t* pnOutput, SeedFixedHeader* pHeader, Steim2State* pState) {
    Steim2State& s = *pState;
    if (pHeader->Number_of_samples != 0) {
        pnOutput[s.nRecBase + 16 * s.nFrame] = nToBig32(s.nCodes);
        vCloseRecord(pnOutput, pHeader, pState);
    }
    vSwapRecords(pnOutput, s.nRecords);
    return static_cast<int>(s.nRecords);
}

int nCompressSteim2Literal(const int32_t* pnSamples, uint32_t nSampleCount,
                           const RecordTemplate& tTemplate, uint32_t* pnOutput) {
    Steim2State s;
    SeedFixedHeader h;
    vStartSteim2(&s, &h, tTemplate);
    Steim2Word w{};

    for (uint32_t i = 0; i < nSampleCount;) {
        const int32_t x = pnSamples[i];
        const int32_t d = nDifference(x, s.nLast);
        assert(d >= nDiffMin && d <= nDiffMax && "difference beyond 30 bits");
        const int c = nDiffClass(d);
        if (!nCanJoin(w.nClass, w.nDiffs, c)) {
            vPackWord(&w, pnOutput, &h, &s);  // x[i] is taken again into the empty word
            continue;
        }
        s.nLast = x;
        if (s.nStartPending) {
            s.nX0 = x;
            s.nStartPending = 0;
        }
        w.anDiff[w.nDiffs++] = d;
        w.nClass = std::max(w.nClass, c);
        if (nWordFull(w.nClass, w.nDiffs)) vPackWord(&w, pnOutput, &h, &s);
        ++i;
    }
    if (w.nClass != 0) vPackWord(&w, pnOutput, &h, &s);
    return nFinishSteim2(pnOutput, &h, &s);
}

// The portable word packer of the fast encoder (Steim2Blocks.h): the
// differences in host order, each word packed by a table of masks and shifts.
namespace {

using steim2blocks::nBlockSpan;
using steim2blocks::nClassOfFast;

// The layout of a word holding k differences (index k): its sub-code bits,
// and for each of the 7 places the mask and shift of the difference there
// (mask 0 past the k-th). Packing by table costs no branch, where a switch
// on k would guess wrong whenever the word width changes.
struct WordLayout {
    uint32_t nHead;
    uint32_t anMask[7];
    uint8_t anShift[7];
};

constexpr WordLayout tLayoutOf(uint32_t k) {
    constexpr uint32_t anHead[8] = {0, 0x40000000u, 0x80000000u, 0xC0000000u,
                                    0, 0,           0x40000000u, 0x80000000u};
    constexpr int anWidthOfCount[8] = {0, 30, 15, 10, 8, 6, 5, 4};
    WordLayout t{anHead[k], {}, {}};
    for (uint32_t j = 0; j < k; ++j) {
        t.anMask[j] = (1u << anWidthOfCount[k]) - 1;
        t.anShift[j] = static_cast<uint8_t>(anWidthOfCount[k] * (k - 1 - j));
    }
    return t;
}

constexpr WordLayout atLayouts[8] = {tLayoutOf(0), tLayoutOf(1), tLayoutOf(2), tLayoutOf(3),
                                     tLayoutOf(4), tLayoutOf(5), tLayoutOf(6), tLayoutOf(7)};

struct TablePacker {
    int32_t anDiff[nBlockSpan + 8];
    uint8_t anClass[nBlockSpan + 8];

    void vFill(const int32_t* px, int32_t nBefore, uint32_t nSpan) {
        anDiff[0] = nDifference(px[0], nBefore);
        anClass[0] = nClassOfFast(anDiff[0]);
        uint32_t j = 1;
#if defined(__SSE2__)
        // Eight at a time in 16-bit lanes: the differences saturate to 16
        // bits, which keeps every class above 6 at 7.
        const __m128i nZero = _mm_setzero_si128();
        for (; j + 8 <= nSpan; j += 8) {
            const __m128i d0 =
                _mm_sub_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(px + j)),
                              _mm_loadu_si128(reinterpret_cast<const __m128i*>(px + j - 1)));
            const __m128i d1 =
                _mm_sub_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(px + j + 4)),
                              _mm_loadu_si128(reinterpret_cast<const __m128i*>(px + j + 3)));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(anDiff + j), d0);
            _mm_storeu_si128(reinterpret_cast<__m128i*>(anDiff + j + 4), d1);
            const __m128i d = _mm_packs_epi32(d0, d1);
            const __m128i u = _mm_xor_si128(d, _mm_srai_epi16(d, 15));
            const __m128i a = _mm_max_epi16(d, _mm_subs_epi16(nZero, d));
            __m128i c = _mm_set1_epi16(1);
            for (int p = 0; p < 6; ++p) {
                const __m128i nBound = _mm_set1_epi16(steim2blocks::anClassBound[p]);
                c = _mm_sub_epi16(c, _mm_cmpgt_epi16(p < 4 ? u : a, nBound));
            }
            _mm_storel_epi64(reinterpret_cast<__m128i*>(anClass + j), _mm_packus_epi16(c, c));
        }
#endif
        for (; j < nSpan; ++j) {
            anDiff[j] = nDifference(px[j], px[j - 1]);
            anClass[j] = nClassOfFast(anDiff[j]);
        }
#ifndef NDEBUG
        for (j = 0; j < nSpan; ++j)
            assert(anDiff[j] >= nDiffMin && anDiff[j] <= nDiffMax && "difference beyond 30 bits");
#endif
        for (j = nSpan; j < nBlockSpan + 8; ++j) {
            anClass[j] = 8;
            anDiff[j] = 0;  // read by nWord, masked out
        }
    }

    // Reads anDiff[j..j+6] whatever k is.
    uint32_t nWord(uint32_t j, uint32_t k) const {
        const WordLayout& t = atLayouts[k];
        uint32_t nWord = t.nHead;
        for (int p = 0; p < 7; ++p)
            nWord |= (static_cast<uint32_t>(anDiff[j + p]) & t.anMask[p]) << t.anShift[p];
        return nWord;
    }
};

}  // namespace

int nCompressSteim2Portable(const int32_t* pnSamples, uint32_t nSampleCount,
                            const RecordTemplate& tTemplate, uint32_t* pnOutput) {
    return steim2blocks::nEncodeBlocks<TablePacker>(pnSamples, nSampleCount, tTemplate, pnOutput);
}

int nCompressSteim2(const int32_t* pnSamples, uint32_t nSampleCount,
                    const RecordTemplate& tTemplate, uint32_t* pnOutput) {
#if defined(TESSAL_X86_ENCODER)
    static const bool bX86 = bSteim2X86Usable();
    if (bX86) return nCompressSteim2X86(pnSamples, nSampleCount, tTemplate, pnOutput);
#endif
    return nCompressSteim2Portable(pnSamples, nSampleCount, tTemplate, pnOutput);
}
