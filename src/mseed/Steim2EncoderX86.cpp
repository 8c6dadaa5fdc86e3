// The fast Steim-2 encoder built for x86-64 CPUs with BMI2 and AVX2;
// nCompressSteim2 runs it where bSteim2X86Usable says the CPU has both and
// extracts bits quickly. Only the functions after the target pragma below
// are compiled for those CPUs: bSteim2X86Usable, and every inline function
// the headers share with the rest of the program, stay portable.
//
// Its word packer keeps each difference three ways: as a byte (exact for
// classes 1-4), as a big-endian 16-bit half (exact up to class 6) and as a
// big-endian 32-bit word. A word of k differences reads the k elements from
// j of the narrowest form that holds them with one 8-byte load, which after
// a byte swap has the earliest element highest; a shift right-aligns the k
// elements and one pext gathers the low bits of each into their fields:
//
//   k   form   shift   bits kept of each element
//   7   byte      8       4
//   6   byte     16       5
//   5   byte     24       6
//   4   byte     32       8
//   3   half     16      10
//   2   half     32      15
//   1   word     32      30
//
// The sub-code bits 31-30 are then set as for every word of k differences.
#if defined(TESSAL_X86_ENCODER)

#include <cpuid.h>
#include <immintrin.h>

#include <algorithm>
#include <cassert>
#include <cstdint>
#include <cstring>

#include "mseed/ByteOrder.h"
#include "mseed/RecordCloseOut.h"
#include "mseed/SeedRecord.h"
#include "mseed/Steim2Rules.h"

bool bSteim2X86Usable() {
    __builtin_cpu_init();
    if (!__builtin_cpu_supports("avx2") || !__builtin_cpu_supports("bmi2")) return false;
    // AMD and Hygon CPUs before family 19h run pext in microcode, slower
    // than the portable packer's table.
    unsigned nEax, nEbx, nEcx, nEdx;
    if (!__get_cpuid(0, &nEax, &nEbx, &nEcx, &nEdx)) return false;
    char acVendor[12];
    std::memcpy(acVendor, &nEbx, 4);
    std::memcpy(acVendor + 4, &nEdx, 4);
    std::memcpy(acVendor + 8, &nEcx, 4);
    const bool bAmdLike = std::memcmp(acVendor, "AuthenticAMD", 12) == 0 ||
                          std::memcmp(acVendor, "HygonGenuine", 12) == 0;
    if (!bAmdLike) return true;
    if (!__get_cpuid(1, &nEax, &nEbx, &nEcx, &nEdx)) return false;
    const unsigned nBase = (nEax >> 8) & 0xF;
    const unsigned nFamily = nBase == 0xF ? nBase + ((nEax >> 20) & 0xFF) : nBase;
    return nFamily >= 0x19;
}

// From here on, functions are compiled for AVX2 and BMI2. The block walk's
// header comes in here, so its copy (internal to this file) is too.
#if defined(__clang__)
#pragma clang attribute push(__attribute__((target("avx2,bmi2"))), apply_to = function)
#else
#pragma GCC push_options
#pragma GCC target("avx2,bmi2")
#endif
#define TESSAL_STEIM2_AVX2 1
#include "mseed/Steim2Blocks.h"

namespace {

using steim2blocks::nBlockSpan;

// Where the word of k differences (index k) comes from and how it is cut out.
struct Extraction {
    uint32_t nForm;   // 0 bytes, 1 halves, 2 words: log2 of the element size
    uint32_t nShift;  // right shift after the byte swap
    uint64_t nMask;   // pext mask
    uint32_t nHead;   // sub-code bits 31-30
};

constexpr Extraction atExtractions[8] = {
    {0, 0, 0, 0},
    {2, 32, 0x3FFFFFFFull, 0x40000000u},
    {1, 32, 0x7FFF7FFFull, 0x80000000u},
    {1, 16, 0x03FF03FF03FFull, 0xC0000000u},
    {0, 32, 0xFFFFFFFFull, 0},
    {0, 24, 0x3F3F3F3F3Full, 0},
    {0, 16, 0x1F1F1F1F1F1Full, 0x40000000u},
    {0, 8, 0x0F0F0F0F0F0F0Full, 0x80000000u},
};

struct BitExtractPacker {
    uint8_t anClass[nBlockSpan + 8];
    int8_t anByte[nBlockSpan + 8];
    uint16_t anHalf[nBlockSpan + 8];
    uint32_t anWord[nBlockSpan + 8];

    // The three forms and the class of the difference d at j.
    void vPut(uint32_t j, int32_t d) {
        const int32_t nHalf = std::clamp<int32_t>(d, INT16_MIN, INT16_MAX);
        anByte[j] = static_cast<int8_t>(std::clamp<int32_t>(d, INT8_MIN, INT8_MAX));
        anHalf[j] = nToBig16(static_cast<uint16_t>(nHalf));
        anWord[j] = nToBig32(static_cast<uint32_t>(d));
        anClass[j] = steim2blocks::nClassOfFast(d);
    }

    void vFill(const int32_t* px, int32_t nBefore, uint32_t nSpan) {
        vPut(0, steim2blocks::nDifference(px[0], nBefore));
        uint32_t j = 1;
        // Sixteen at a time; 16-bit lanes saturate, which keeps every class
        // above 6 at 7, and so do the bytes, which only classes up to 4 use.
        const __m256i nSwap32 =
            _mm256_setr_epi8(3, 2, 1, 0, 7, 6, 5, 4, 11, 10, 9, 8, 15, 14, 13, 12, 3, 2, 1, 0, 7, 6,
                             5, 4, 11, 10, 9, 8, 15, 14, 13, 12);
        const __m256i nSwap16 =
            _mm256_setr_epi8(1, 0, 3, 2, 5, 4, 7, 6, 9, 8, 11, 10, 13, 12, 15, 14, 1, 0, 3, 2, 5, 4,
                             7, 6, 9, 8, 11, 10, 13, 12, 15, 14);
        for (; j + 16 <= nSpan; j += 16) {
            const auto pLoad = [&](uint32_t n) {
                return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(px + n));
            };
            const __m256i d0 = _mm256_sub_epi32(pLoad(j), pLoad(j - 1));
            const __m256i d1 = _mm256_sub_epi32(pLoad(j + 8), pLoad(j + 7));
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(anWord + j),
                                _mm256_shuffle_epi8(d0, nSwap32));
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(anWord + j + 8),
                                _mm256_shuffle_epi8(d1, nSwap32));
            const __m256i d = _mm256_permute4x64_epi64(_mm256_packs_epi32(d0, d1), 0xD8);
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(anHalf + j),
                                _mm256_shuffle_epi8(d, nSwap16));
            const __m256i u = _mm256_xor_si256(d, _mm256_srai_epi16(d, 15));
            const __m256i a = _mm256_max_epi16(d, _mm256_subs_epi16(_mm256_setzero_si256(), d));
            __m256i c = _mm256_set1_epi16(1);
            for (int p = 0; p < 6; ++p) {
                const __m256i nBound = _mm256_set1_epi16(steim2blocks::anClassBound[p]);
                c = _mm256_sub_epi16(c, _mm256_cmpgt_epi16(p < 4 ? u : a, nBound));
            }
            // Bytes of the differences, then the classes, in order.
            const __m256i b = _mm256_permute4x64_epi64(_mm256_packs_epi16(d, c), 0xD8);
            _mm_storeu_si128(reinterpret_cast<__m128i*>(anByte + j), _mm256_castsi256_si128(b));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(anClass + j),
                             _mm256_extracti128_si256(b, 1));
        }
        for (; j < nSpan; ++j) vPut(j, steim2blocks::nDifference(px[j], px[j - 1]));
#ifndef NDEBUG
        for (j = 0; j < nSpan; ++j) {
            const int32_t d = static_cast<int32_t>(nFromBig32(anWord[j]));
            assert(d >= steim2blocks::nDiffMin && d <= steim2blocks::nDiffMax &&
                   "difference beyond 30 bits");
        }
#endif
        // Past the end: class 8, which no word accepts; the forms are read
        // by nWord's 8-byte loads and cut away.
        for (j = nSpan; j < nBlockSpan + 8; ++j) {
            anClass[j] = 8;
            anByte[j] = 0;
            anHalf[j] = 0;
            anWord[j] = 0;
        }
    }

    uint32_t nWord(uint32_t j, uint32_t k) const {
        const Extraction& t = atExtractions[k];
        const uint8_t* apForm[3] = {reinterpret_cast<const uint8_t*>(anByte),
                                    reinterpret_cast<const uint8_t*>(anHalf),
                                    reinterpret_cast<const uint8_t*>(anWord)};
        uint64_t v;
        std::memcpy(&v, apForm[t.nForm] + (j << t.nForm), 8);
        return t.nHead |
               static_cast<uint32_t>(_pext_u64(__builtin_bswap64(v) >> t.nShift, t.nMask));
    }
};

// nCompressSteim2X86's work; compiled for AVX2 and BMI2.
int nEncodeX86(const int32_t* pnSamples, uint32_t nSampleCount, const RecordTemplate& tTemplate,
               uint32_t* pnOutput) {
    return steim2blocks::nEncodeBlocks<BitExtractPacker>(pnSamples, nSampleCount, tTemplate,
                                                         pnOutput);
}

}  // namespace

#if defined(__clang__)
#pragma clang attribute pop
#else
#pragma GCC pop_options
#endif

int nCompressSteim2X86(const int32_t* pnSamples, uint32_t nSampleCount,
                       const RecordTemplate& tTemplate, uint32_t* pnOutput) {
    return nEncodeX86(pnSamples, nSampleCount, tTemplate, pnOutput);
}

#endif
