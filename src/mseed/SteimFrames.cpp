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

// The differences of the Steim-2 word at q with code nCode (1 to 3) into
// anOut; returns their count, 0 for an invalid sub-code.
template <bool bBig>
int nUnpackSteim2Word(const unsigned char* q, uint32_t nCode, int32_t* anOut) {
    // Bytes are stored one after another: read big-endian, the first is highest.
    const uint32_t w = nLoad32(q, bBig || nCode == 1);
    switch ((nCode << 2) | (w >> 30)) {
        case (1 << 2) | 0:
        case (1 << 2) | 1:
        case (1 << 2) | 2:
        case (1 << 2) | 3:
            return nFields<4, 8>(w, anOut);
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

// The differences of the Steim-1 word at q with code nCode (1 to 3) into
// anOut; returns their count.
template <bool bBig>
int nUnpackSteim1Word(const unsigned char* q, uint32_t nCode, int32_t* anOut) {
    if (nCode == 1) {
        for (int k = 0; k < 4; ++k) anOut[k] = static_cast<int8_t>(q[k]);
        return 4;
    }
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
    size_t nMaxDiffs;
    size_t nDiffs;  // differences unpacked so far (anDiffs holds room for more)
};

// Unpacks the frame at byte nFrame into t; false once no more differences
// are wanted or an invalid sub-code breaks the frames. Level and byte order
// are fixed per instance, so the words are read without a test each.
template <int nLevel, bool bBig>
bool bUnpackFrame(FrameWalk& w, size_t nFrame, SteimFrames& t) {
    const unsigned char* pFrame = w.p + nFrame;
    const uint32_t nCodes = nLoad32(pFrame, bBig);
    if ((nCodes >> 30) != 0) t.asProblems.emplace_back("control word has a code for itself");
    for (int j = 1; j < 16; ++j) {
        const uint32_t nCode = (nCodes >> (2 * (15 - j))) & 3;
        if (nFrame == w.nBegin && (j == 1 || j == 2)) {
            if (nCode != 0) t.asProblems.emplace_back("integration constant with a data code");
            (j == 1 ? t.nX0 : t.nXn) = static_cast<int32_t>(nLoad32(pFrame + 4 * j, bBig));
            continue;
        }
        if (nCode == 0) continue;
        int32_t* an = t.anDiffs.data() + w.nDiffs;  // room for 7 more
        const int n = nLevel == 1 ? nUnpackSteim1Word<bBig>(pFrame + 4 * j, nCode, an)
                                  : nUnpackSteim2Word<bBig>(pFrame + 4 * j, nCode, an);
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

// Unpacks the frames from nBegin up to nEnd into t.
template <int nLevel, bool bBig>
void vUnpackFrames(FrameWalk& w, size_t nEnd, SteimFrames& t) {
    for (size_t nFrame = w.nBegin; nEnd - nFrame >= nFrameBytes; nFrame += nFrameBytes)
        if (!bUnpackFrame<nLevel, bBig>(w, nFrame, t)) break;
}

}  // namespace

SteimFrames tUnpackSteimFrames(const unsigned char* p, size_t nBegin, size_t nEnd, int nLevel,
                               bool bBig, size_t nMaxDiffs) {
    SteimFrames t;
    vUnpackSteimFrames(p, nBegin, nEnd, nLevel, bBig, nMaxDiffs, t);
    return t;
}

void vUnpackSteimFrames(const unsigned char* p, size_t nBegin, size_t nEnd, int nLevel, bool bBig,
                        size_t nMaxDiffs, SteimFrames& t) {
    t.nX0 = t.nXn = 0;
    t.asProblems.clear();
    t.bBroken = false;
    if (nMaxDiffs == 0 || nEnd < nBegin) {
        t.anDiffs.clear();
        return;
    }
    // Room for every difference the frames can hold, and a word's more
    // (what the buffer held before is overwritten, not cleared first).
    t.anDiffs.resize(std::min(nMaxDiffs, 7 * 15 * ((nEnd - nBegin) / nFrameBytes)) + 7);
    FrameWalk w{p, nBegin, nMaxDiffs, 0};
    if (nLevel == 1) {
        bBig ? vUnpackFrames<1, true>(w, nEnd, t) : vUnpackFrames<1, false>(w, nEnd, t);
    } else {
        bBig ? vUnpackFrames<2, true>(w, nEnd, t) : vUnpackFrames<2, false>(w, nEnd, t);
    }
    t.anDiffs.resize(std::min(w.nDiffs, nMaxDiffs));
}

std::vector<int32_t> anIntegrateSteim(const SteimFrames& t, size_t nCount) {
    SteimFrames u;
    u.nX0 = t.nX0;
    u.anDiffs.assign(t.anDiffs.begin(), t.anDiffs.begin() + std::min(nCount, t.anDiffs.size()));
    vIntegrateSteim(u, nCount);
    return std::move(u.anDiffs);
}

void vIntegrateSteim(SteimFrames& t, size_t nCount) {
    if (nCount < t.anDiffs.size()) t.anDiffs.resize(nCount);
    if (t.anDiffs.empty()) return;
    uint32_t x = static_cast<uint32_t>(t.nX0);
    t.anDiffs[0] = t.nX0;
    for (size_t i = 1; i < t.anDiffs.size(); ++i) {
        x += static_cast<uint32_t>(t.anDiffs[i]);
        t.anDiffs[i] = static_cast<int32_t>(x);
    }
}
