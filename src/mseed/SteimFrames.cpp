// Steim frames: 64 bytes each, 16 words of 4 bytes in the data's byte
// order. Word 0 is the control word: 2 bits per word, word 0's in the top
// two bits, saying what each word holds (0: no differences). Words 1 and 2 of
// a record's first frame hold X0 and Xn, the first and last sample; the
// first difference is taken against the sample before X0, so a record's
// samples are X0 and the running sums of the differences after the first.
//
//   code  Steim-1                 Steim-2
//   1     four 8-bit differences  four 8-bit differences
//   2     two 16-bit              top 2 bits 01: one 30-bit, 10: two 15-bit,
//                                 11: three 10-bit (00 is invalid)
//   3     one 32-bit              top 2 bits 00: five 6-bit, 01: six 5-bit,
//                                 10: seven 4-bit (11 is invalid)
//
// The 8- and 16-bit differences of the byte-aligned kinds are stored one
// after another, each in the data's byte order; Steim-2's bit fields are
// read from the whole word in that order, highest bits first. Sums wrap in
// 32 bits instead of overflowing.
#include "mseed/SteimFrames.h"

#include <algorithm>

#include "mseed/ByteOrder.h"

namespace {

constexpr size_t nFrameBytes = 64;

// The nCount fields of nWidth bits of w, highest first, sign-extended,
// into anOut: fixed counts and widths, so each kind unrolls.
template <int nCount, int nWidth>
int nFields(uint32_t w, int32_t* anOut) {
    for (int k = 0; k < nCount; ++k) {
        const uint32_t n = w >> (nWidth * (nCount - 1 - k)) << (32 - nWidth);
        anOut[k] = static_cast<int32_t>(n) >> (32 - nWidth);
    }
    return nCount;
}

// The differences of a Steim-2 word of code 2 or 3, w in host order, into
// anOut; returns their count, 0 for an invalid sub-code.
int nUnpackSteim2Bits(uint32_t w, uint32_t nCode, int32_t* anOut) {
    switch ((nCode << 2) | (w >> 30)) {
        case (2 << 2) | 1:
            return nFields<1, 30>(w, anOut);
        case (2 << 2) | 2:
            return nFields<2, 15>(w, anOut);
        case (2 << 2) | 3:
            return nFields<3, 10>(w, anOut);
        case (3 << 2) | 0:
            return nFields<5, 6>(w, anOut);
        case (3 << 2) | 1:
            return nFields<6, 5>(w, anOut);
        case (3 << 2) | 2:
            return nFields<7, 4>(w, anOut);
        default:
            return 0;
    }
}

// The differences of the data word at q with code nCode (1 to 3) into
// anOut; returns their count, 0 for an invalid sub-code.
int nUnpackWord(const unsigned char* q, uint32_t nCode, int nLevel, bool bBig, int32_t* anOut) {
    if (nCode == 1) {
        for (int k = 0; k < 4; ++k) anOut[k] = static_cast<int8_t>(q[k]);
        return 4;
    }
    if (nLevel != 1) return nUnpackSteim2Bits(nLoad32(q, bBig), nCode, anOut);
    if (nCode == 2) {
        anOut[0] = static_cast<int16_t>(nLoad16(q, bBig));
        anOut[1] = static_cast<int16_t>(nLoad16(q + 2, bBig));
        return 2;
    }
    anOut[0] = static_cast<int32_t>(nLoad32(q, bBig));
    return 1;
}

struct FrameWalk {
    const unsigned char* p;
    size_t nBegin;
    int nLevel;
    bool bBig;
    size_t nMaxDiffs;
    size_t nDiffs;  // differences unpacked so far (anDiffs holds room for more)
};

// Unpacks the frame at byte nFrame into t; false once no more differences
// are wanted or an invalid sub-code breaks the frames.
bool bUnpackFrame(FrameWalk& w, size_t nFrame, SteimFrames& t) {
    const unsigned char* pFrame = w.p + nFrame;
    const uint32_t nCodes = nLoad32(pFrame, w.bBig);
    if ((nCodes >> 30) != 0) t.asProblems.emplace_back("control word has a code for itself");
    for (int j = 1; j < 16; ++j) {
        const uint32_t nCode = (nCodes >> (2 * (15 - j))) & 3;
        if (nFrame == w.nBegin && (j == 1 || j == 2)) {
            if (nCode != 0) t.asProblems.emplace_back("integration constant with a data code");
            (j == 1 ? t.nX0 : t.nXn) = static_cast<int32_t>(nLoad32(pFrame + 4 * j, w.bBig));
            continue;
        }
        if (nCode == 0) continue;
        int32_t* an = t.anDiffs.data() + w.nDiffs;  // room for the word's 7 at most
        const int n = nUnpackWord(pFrame + 4 * j, nCode, w.nLevel, w.bBig, an);
        if (n == 0) {
            t.asProblems.push_back("invalid sub-code in frame " + std::to_string(nFrame / 64) +
                                   " word " + std::to_string(j));
            t.bBroken = true;
            return false;
        }
        w.nDiffs += static_cast<size_t>(n);
        if (w.nDiffs >= w.nMaxDiffs) return false;
    }
    return true;
}

}  // namespace

SteimFrames tUnpackSteimFrames(const unsigned char* p, size_t nBegin, size_t nEnd, int nLevel,
                               bool bBig, size_t nMaxDiffs) {
    SteimFrames t;
    if (nMaxDiffs == 0 || nEnd < nBegin) return t;
    // Room for every difference the frames can hold, and a word's more.
    t.anDiffs.resize(std::min(nMaxDiffs, 7 * 15 * ((nEnd - nBegin) / nFrameBytes)) + 7);
    FrameWalk w{p, nBegin, nLevel, bBig, nMaxDiffs, 0};
    for (size_t nFrame = nBegin; nEnd - nFrame >= nFrameBytes; nFrame += nFrameBytes)
        if (!bUnpackFrame(w, nFrame, t)) break;
    t.anDiffs.resize(std::min(w.nDiffs, nMaxDiffs));
    return t;
}

std::vector<int32_t> anIntegrateSteim(const SteimFrames& t, size_t nCount) {
    if (nCount > t.anDiffs.size()) nCount = t.anDiffs.size();
    std::vector<int32_t> an(nCount);
    uint32_t x = static_cast<uint32_t>(t.nX0);
    for (size_t i = 0; i < nCount; ++i) {
        if (i > 0) x += static_cast<uint32_t>(t.anDiffs[i]);
        an[i] = static_cast<int32_t>(x);
    }
    return an;
}
