// MiniSEED 2 data records as this reader takes them.
//
// A record is 2^n bytes (n = 7..16, from blockette 1000) and begins with a
// fixed header of 48 bytes:
//   0   sequence number: six ASCII digits (or blanks)
//   6   quality code D, R, Q or M; byte 7 a blank (or NUL)
//   8   station (5), location (2), channel (3), network (2): ASCII, blank-padded
//   20  start time: year (2), day of year (2), hour, minute, second (1 each;
//       second 60 for a leap second), an unused byte, 0.0001 s (2, 0..9999)
//   30  number of samples (2)
//   32  rate factor f and multiplier m (2 each, signed): f > 0 is f samples a
//       second, f < 0 one sample every -f seconds; m > 0 multiplies that rate
//       by m, m < 0 divides it by -m; f = 0 is a record without a rate
//   36  activity, I/O and quality flags (1 each); activity bit 0x02: the time
//       correction is applied already
//   39  number of blockettes that follow (1; the chain itself is followed)
//   40  time correction (4, signed), in 0.0001 s
//   44  beginning of data (2) and first blockette (2): byte offsets in the record
// A record does not say its header's byte order. It is the order in which the
// start time's year (1900..9999) and day (1..366) make sense; where both
// orders do, big-endian, unless only the little-endian reading puts the first
// blockette within the bytes at hand.
//
// Each blockette begins with its type (2) and the offset of the next (2; 0
// ends the chain), in the header's order. The chain runs from the first
// blockette through those offsets, in any order of types and offsets, must
// neither overlap itself (nor loop) nor reach into the data. Read here:
//   100   actual rate: float32 at +4, used in place of factor and multiplier
//   1000  encoding (+4: 1 int16, 3 int32, 10 Steim-1, 11 Steim-2), byte
//         order of the data (+5: 0 little-endian, 1 big-endian), record
//         length exponent n (+6)
//   1001  microseconds to add to the start time (+5, signed); its timing
//         quality (+4) and frame count (+7) are not needed
// Other blockettes are passed over.
//
// The data begin at the beginning of data: the samples one after another,
// or Steim frames (SteimFrames.h), whose differences must reach the number of
// samples within the record and whose last sample must equal Xn.
#include "mseed/RecordReader.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include "mseed/ByteOrder.h"
#include "mseed/SeedRecord.h"
#include "mseed/SteimFrames.h"
#include "timeconv/CalendarTime.h"

namespace {

constexpr size_t nFixedHeaderBytes = 48;
constexpr size_t nLargestRecord = 65536;
constexpr uint8_t nTimeCorrectionApplied = 0x02;

// Where the blockettes read here sit (0 when absent), and the first byte
// after the last blockette of the chain.
struct Chain {
    size_t nAt100 = 0;
    size_t nAt1000 = 0;
    size_t nAt1001 = 0;
    size_t nEnd = nFixedHeaderBytes;
};

bool bFail(ReadRecord& r, std::string s) {
    r.sError = std::move(s);
    r.anSamples.clear();
    return false;
}

bool bDateFits(const unsigned char* p, bool bBig) {
    const uint16_t nYear = nLoad16(p + 20, bBig), nDay = nLoad16(p + 22, bBig);
    return nYear >= 1900 && nYear <= 9999 && nDay >= 1 && nDay <= 366;
}

bool bFirstBlocketteFits(const unsigned char* p, size_t nAvailable, bool bBig) {
    const size_t nAt = nLoad16(p + 46, bBig);
    return nAt == 0 || (nAt >= nFixedHeaderBytes && nAt + 4 <= nAvailable);
}

// The header's byte order into bBig; false when neither gives a date.
bool bFindHeaderOrder(const unsigned char* p, size_t nAvailable, bool& bBig) {
    const bool bBigFits = bDateFits(p, true), bLittleFits = bDateFits(p, false);
    bBig = bBigFits;
    if (bBigFits && bLittleFits)
        bBig =
            bFirstBlocketteFits(p, nAvailable, true) || !bFirstBlocketteFits(p, nAvailable, false);
    return bBigFits || bLittleFits;
}

int32_t nSixDigits(const char* ac) {
    int32_t n = 0;
    for (int k = 0; k < 6; ++k) {
        if (ac[k] < '0' || ac[k] > '9') return -1;
        n = n * 10 + (ac[k] - '0');
    }
    return n;
}

bool bReadFixedHeader(ReadRecord& r, const SeedFixedHeader& h) {
    std::memcpy(r.acCodes, h.Station_identifier_code, sizeof r.acCodes);
    r.nSequenceNumber = nSixDigits(h.SequenceNumber);
    r.nRateFactor = h.Sample_rate_factor;
    r.nRateMultiplier = h.Sample_rate_multiplier;
    const SeedTime& t = h.Record_start_time;
    if (t.hours > 23 || t.minutes > 59 || t.seconds > 60 || t.fract > 9999)
        return bFail(r, "invalid start time");
    return true;
}

// Bytes of a blockette that this reader looks at: all of those it reads,
// the type and link of others.
size_t nBlocketteBytes(uint16_t nType) {
    return nType == 100 ? 12 : nType == 1000 || nType == 1001 ? 8 : 4;
}

// Notes the blockette of nType at nAt in c; false for a second of a kind.
bool bNoteBlockette(Chain& c, uint16_t nType, size_t nAt) {
    size_t* pnAt = nType == 100    ? &c.nAt100
                   : nType == 1000 ? &c.nAt1000
                   : nType == 1001 ? &c.nAt1001
                                   : nullptr;
    if (pnAt == nullptr) return true;
    if (*pnAt != 0) return false;
    *pnAt = nAt;
    return true;
}

// Follows the chain from nFirst within the first nLimit bytes into c. A
// blockette whose bytes another one took already closes a loop.
bool bWalkChain(ReadRecord& r, const unsigned char* p, size_t nLimit, bool bBig, size_t nFirst,
                Chain& c) {
    struct Taken {
        size_t nFrom, nTo;
    };
    // Blockettes are at least 4 bytes long and lie beyond the fixed header.
    // Kept from record to record: most records have one or two.
    thread_local std::vector<Taken> atTaken;
    atTaken.clear();
    const auto bFailAt = [&r](size_t nAt, const char* szWhy) {
        return bFail(r, "blockette at byte " + std::to_string(nAt) + szWhy);
    };
    for (size_t nAt = nFirst; nAt != 0; nAt = nLoad16(p + nAt + 2, bBig)) {
        if (nAt < nFixedHeaderBytes) return bFailAt(nAt, " is inside the fixed header");
        if (nAt + 4 > nLimit) return bFailAt(nAt, " lies beyond the record");
        const uint16_t nType = nLoad16(p + nAt, bBig);
        const size_t nEnd = nAt + nBlocketteBytes(nType);
        if (nEnd > nLimit) return bFailAt(nAt, " runs beyond the record");
        for (const Taken& t : atTaken)
            if (nAt < t.nTo && t.nFrom < nEnd)
                return bFailAt(nAt, " loops back or overlaps another");
        atTaken.push_back({nAt, nEnd});
        if (!bNoteBlockette(c, nType, nAt))
            return bFail(r, "second blockette " + std::to_string(nType));
        c.nEnd = std::max(c.nEnd, nEnd);
    }
    return true;
}

// Blockette 1000's record length, its encoding and the data's byte order.
bool bReadBlockette1000(ReadRecord& r, const unsigned char* p, size_t nAvailable, const Chain& c,
                        uint8_t& nEncoding, bool& bDataBig) {
    if (c.nAt1000 == 0) return bFail(r, "no blockette 1000");
    const unsigned char* pb = p + c.nAt1000;
    if (pb[6] < 7 || pb[6] > 16)
        return bFail(r, "record length exponent " + std::to_string(pb[6]) + " is not 7 to 16");
    r.nLength = size_t{1} << pb[6];
    if (nAvailable < r.nLength)
        return bFail(r, "record of " + std::to_string(r.nLength) + " bytes cut short at " +
                            std::to_string(nAvailable));
    if (c.nEnd > r.nLength) return bFail(r, "blockettes run beyond the record");
    if (pb[5] > 1) return bFail(r, "word order " + std::to_string(pb[5]) + " is neither 0 nor 1");
    bDataBig = pb[5] == 1;
    nEncoding = pb[4];
    if (nEncoding != 1 && nEncoding != 3 && nEncoding != 10 && nEncoding != 11)
        return bFail(r, "encoding " + std::to_string(nEncoding) +
                            " is not 16- or 32-bit integers, Steim-1 or Steim-2");
    return true;
}

// Blockette 100's rate where the chain has one, else the header's.
bool bReadRate(ReadRecord& r, const unsigned char* p, const Chain& c, bool bBig) {
    if (c.nAt100 != 0) {
        const uint32_t nBits = nLoad32(p + c.nAt100 + 4, bBig);
        float f;
        std::memcpy(&f, &nBits, sizeof f);
        if (!std::isfinite(f) || f < 0) return bFail(r, "blockette 100 holds no rate");
        r.dRate = f;
        r.bBlockette100 = true;
        return true;
    }
    if (r.nRateFactor == 0) return true;
    if (r.nRateMultiplier == 0) return bFail(r, "rate multiplier 0");
    r.dRate = dSeedSampleRate(r.nRateFactor, r.nRateMultiplier);
    return true;
}

int64_t nStartMicros(const SeedFixedHeader& h, const unsigned char* p, const Chain& c) {
    const SeedTime& t = h.Record_start_time;
    int64_t n = nEpochSeconds(t.year, t.day, t.hours, t.minutes, t.seconds) * 1000000;
    n += int64_t{t.fract} * 100;
    if (c.nAt1001 != 0) n += static_cast<int8_t>(p[c.nAt1001 + 5]);
    if ((h.Activity_flags & nTimeCorrectionApplied) == 0) n += int64_t{h.Time_correction} * 100;
    return n;
}

// nCount integers of nWidth (2 or 4) bytes from byte nBegin.
bool bReadIntegers(ReadRecord& r, const unsigned char* p, size_t nBegin, size_t nCount,
                   size_t nWidth, bool bBig) {
    if ((r.nLength - nBegin) / nWidth < nCount)
        return bFail(r, std::to_string(nCount) + " samples of " + std::to_string(nWidth) +
                            " bytes do not fit in the record");
    r.anSamples.resize(nCount);
    for (size_t i = 0; i < nCount; ++i) {
        const unsigned char* q = p + nBegin + i * nWidth;
        r.anSamples[i] = nWidth == 2 ? static_cast<int16_t>(nLoad16(q, bBig))
                                     : static_cast<int32_t>(nLoad32(q, bBig));
    }
    return true;
}

// nCount samples from the Steim frames (nLevel 1 or 2) from byte nBegin;
// the frames are unpacked into r.anSamples' own buffer.
bool bReadSteim(ReadRecord& r, const unsigned char* p, size_t nBegin, size_t nCount, int nLevel,
                bool bBig) {
    SteimFrames t;
    t.anDiffs.swap(r.anSamples);
    vUnpackSteimFrames(p, nBegin, r.nLength, nLevel, bBig, nCount, t);
    const size_t nDiffs = t.anDiffs.size();
    vIntegrateSteim(t, nCount);
    r.anSamples.swap(t.anDiffs);
    if (t.bBroken) return bFail(r, t.asProblems.back());
    if (nDiffs < nCount)
        return bFail(r, "frames hold " + std::to_string(nDiffs) + " of the " +
                            std::to_string(nCount) + " samples");
    if (r.anSamples.back() != t.nXn)
        return bFail(r, "last sample " + std::to_string(r.anSamples.back()) + " differs from Xn " +
                            std::to_string(t.nXn));
    return true;
}

bool bReadData(ReadRecord& r, const unsigned char* p, const SeedFixedHeader& h, const Chain& c,
               uint8_t nEncoding, bool bBig) {
    const size_t nCount = h.Number_of_samples;
    if (nCount == 0) return true;
    const size_t nBegin = h.Beginning_of_data;
    if (nBegin < c.nEnd || nBegin >= r.nLength)
        return bFail(r, "beginning of data " + std::to_string(nBegin) +
                            " is not between the blockettes and the record's end");
    if (nEncoding == 1 || nEncoding == 3)
        return bReadIntegers(r, p, nBegin, nCount, nEncoding == 1 ? 2 : 4, bBig);
    return bReadSteim(r, p, nBegin, nCount, nEncoding == 10 ? 1 : 2, bBig);
}

// floor(a / b) for a, b > 0 with a < 2^53, exactly: the quotient's rounding
// is undone by exact signs of k * b - a.
int64_t nFloorQuotient(double a, double b) {
    const double q = std::floor(a / b);
    if (!(q < 0x1p53)) return std::numeric_limits<int64_t>::max();
    double k = q;
    while (k > 0 && std::fma(k, b, -a) > 0) --k;
    while (std::fma(k + 1, b, -a) <= 0) ++k;
    return static_cast<int64_t>(k);
}

// floor(a * nDen / nNum) for a >= 0 and 0 < nNum, nDen < 2^31, held at the
// largest int64.
int64_t nScaledFloor(int64_t a, int64_t nNum, int64_t nDen) {
    const int64_t q = a / nNum, nRest = a % nNum;
    if (q > std::numeric_limits<int64_t>::max() / nDen - 1)
        return std::numeric_limits<int64_t>::max();
    return q * nDen + nRest * nDen / nNum;
}

// Reads the record at p into r, step by step; false at the first problem.
bool bReadRecord(ReadRecord& r, const unsigned char* p, size_t nAvailable) {
    if (nAvailable < nFixedHeaderBytes)
        return bFail(r, "only " + std::to_string(nAvailable) + " bytes, less than a header");
    if (!bLooksLikeDataRecord(p, nAvailable)) return bFail(r, "no data record header");
    bool bBig = true;
    if (!bFindHeaderOrder(p, nAvailable, bBig))
        return bFail(r, "start time has no year and day in either byte order");
    const SeedFixedHeader h = tLoadFixedHeader(p, bBig);
    Chain c;
    uint8_t nEncoding = 0;
    bool bDataBig = true;
    if (!bReadFixedHeader(r, h) ||
        !bWalkChain(r, p, std::min(nAvailable, nLargestRecord), bBig, h.First_blockette, c) ||
        !bReadBlockette1000(r, p, nAvailable, c, nEncoding, bDataBig) || !bReadRate(r, p, c, bBig))
        return false;
    r.nStartMicros = nStartMicros(h, p, c);
    r.bMicroseconds = c.nAt1001 != 0;
    return bReadData(r, p, h, c, nEncoding, bDataBig);
}

}  // namespace

ReadRecord tReadRecord(const unsigned char* p, size_t nAvailable) {
    ReadRecord r;
    bReadRecord(r, p, nAvailable);
    return r;
}

void vReadRecord(ReadRecord& r, const unsigned char* p, size_t nAvailable) {
    std::vector<int32_t> an;
    an.swap(r.anSamples);
    an.clear();
    r = ReadRecord{};
    r.anSamples.swap(an);
    bReadRecord(r, p, nAvailable);
}

int64_t nSampleOffsetMicros(const ReadRecord& r, int64_t i) {
    if (!(r.dRate > 0) || i <= 0) return 0;
    if (i > std::numeric_limits<int64_t>::max() / 1000000)
        return std::numeric_limits<int64_t>::max();
    const int64_t a = i * 1000000;
    if (r.bBlockette100) return nFloorQuotient(static_cast<double>(a), r.dRate);
    // The header's rate as a fraction nNum / nDen samples a second.
    const int64_t f = r.nRateFactor, m = r.nRateMultiplier;
    if (f > 0 && m > 0) return nScaledFloor(a, f * m, 1);
    if (f > 0) return nScaledFloor(a, f, -m);
    if (m > 0) return nScaledFloor(a, m, -f);
    return nScaledFloor(a, 1, f * m);
}
