// Record headers in either byte order, their blockette chains followed
// link by link with every read bounded by the bytes at hand.
#include "HeaderWalk.h"

#include <bit>
#include <cmath>

#include "base/PrintableText.h"
#include "mseed/SeedRecord.h"
#include "timeconv/CalendarTime.h"

namespace {

constexpr size_t nFixedHeaderBytes = 48;
constexpr uint8_t nTimeCorrectionApplied = 0x02;  // an activity flag

uint16_t n16(const uint8_t* p, bool bLittle) {
    return static_cast<uint16_t>(bLittle ? p[0] | p[1] << 8 : p[0] << 8 | p[1]);
}

uint32_t n32(const uint8_t* p, bool bLittle) {
    const uint32_t nHigh = n16(p + (bLittle ? 2 : 0), bLittle);
    const uint32_t nLow = n16(p + (bLittle ? 0 : 2), bLittle);
    return nHigh << 16 | nLow;
}

// Whether the start time's year (1900 to nLastYear) and day of the year
// read as valid in byte order bLittle.
bool bPlausibleDate(const uint8_t* p, bool bLittle, unsigned nLastYear) {
    const unsigned nYear = n16(p + 20, bLittle), nDay = n16(p + 22, bLittle);
    return nYear >= 1900 && nYear <= nLastYear && nDay >= 1 && nDay <= 366;
}

// The byte order in which the start time's date is valid. Years to 2100
// are tried in both orders first: a later year read in one order can be a
// common one in the other.
bool bFindByteOrder(const uint8_t* p, bool& bLittle) {
    for (const unsigned nLastYear : {2100u, 9999u}) {
        for (const bool b : {false, true}) {
            if (bPlausibleDate(p, b, nLastYear)) {
                bLittle = b;
                return true;
            }
        }
    }
    return false;
}

// The offsets of the first blockettes 1000, 1001 and 100 in the chain from
// First_blockette; 0 for one not found. Each link must lead further into
// the bytes, which ends every chain.
struct Blockettes {
    size_t n1000 = 0, n1001 = 0, n100 = 0;
};

Blockettes tFindBlockettes(const uint8_t* p, size_t nSize, bool bLittle) {
    Blockettes t;
    size_t nOther = 0;
    size_t nAt = n16(p + 46, bLittle), nPrevious = 0;
    while (nAt >= nFixedHeaderBytes && nAt > nPrevious && nAt + 8 <= nSize) {
        const uint16_t nType = n16(p + nAt, bLittle);
        size_t& nFound = nType == nBlockette1000Type   ? t.n1000
                         : nType == nBlockette1001Type ? t.n1001
                         : nType == 100                ? t.n100
                                                       : nOther;
        if (nFound == 0) nFound = nAt;
        nPrevious = nAt;
        nAt = n16(p + nAt + 2, bLittle);
    }
    return t;
}

std::string sTrimmed(const uint8_t* p, size_t n) {
    while (n > 0 && (p[n - 1] == ' ' || p[n - 1] == '\0')) --n;
    return std::string(reinterpret_cast<const char*>(p), n);
}

// Samples per second: a blockette 100's where it holds a positive one, else
// the header's factor and multiplier; 0 when either of those is 0.
double dRateOf(const uint8_t* p, bool bLittle, size_t n100) {
    if (n100 != 0) {
        const float f = std::bit_cast<float>(n32(p + n100 + 4, bLittle));
        if (std::isfinite(f) && f > 0) return f;
    }
    const int16_t nFactor = static_cast<int16_t>(n16(p + 32, bLittle));
    const int16_t nMultiplier = static_cast<int16_t>(n16(p + 34, bLittle));
    if (nFactor == 0 || nMultiplier == 0) return 0;
    return dSeedSampleRate(nFactor, nMultiplier);
}

// The start time with the microseconds of the blockette 1001 at n1001 (0:
// none) and a time correction not yet applied; the end and the last sample.
void vTimes(const uint8_t* p, bool bLittle, size_t n1001, RecordHeader& t) {
    const int64_t nSeconds =
        nEpochSeconds(n16(p + 20, bLittle), n16(p + 22, bLittle), p[24], p[25], p[26]);
    t.nStartMicros = nSeconds * 1000000 + n16(p + 28, bLittle) * 100;
    if (n1001 != 0) t.nStartMicros += static_cast<int8_t>(p[n1001 + 5]);
    if ((p[36] & nTimeCorrectionApplied) == 0)
        t.nStartMicros += static_cast<int64_t>(static_cast<int32_t>(n32(p + 40, bLittle))) * 100;
    t.nEndMicros = t.nLastMicros = t.nStartMicros;
    if (t.nSamples == 0 || !(t.dRate > 0)) return;
    // A rate near zero would put the end beyond any time; a century is far enough.
    constexpr double dMaxMicros = 3.2e15;
    const double dPeriod = 1e6 / t.dRate;
    t.nEndMicros += std::llround(std::fmin(t.nSamples * dPeriod, dMaxMicros));
    t.nLastMicros += static_cast<int64_t>(std::fmin((t.nSamples - 1) * dPeriod, dMaxMicros));
}

}  // namespace

std::string sReadRecordHeader(const uint8_t* p, size_t nSize, RecordHeader& t) {
    if (nSize < nFixedHeaderBytes)
        return std::to_string(nSize) + " bytes are too few for a record header";
    if (!bLooksLikeDataRecord(p, nSize)) return "no sequence number and quality code";
    bool bLittle = false;
    if (!bFindByteOrder(p, bLittle) || p[24] > 23 || p[25] > 59 || p[26] > 60 ||
        n16(p + 28, bLittle) > 9999)
        return "no valid start time";
    Blockettes b = tFindBlockettes(p, nSize, bLittle);
    if (b.n1000 == 0) return "no blockette 1000 in its blockette chain";
    const unsigned nExponent = p[b.n1000 + 6];
    if (nExponent < 7 || nExponent > 16)
        return "its blockette 1000 gives no record length from 128 to 65536 bytes";
    t.nLength = size_t{1} << nExponent;
    if (b.n1000 + 8 > t.nLength) return "its blockette 1000 lies beyond the record length it gives";
    if (b.n1001 + 8 > t.nLength) b.n1001 = 0;
    if (b.n100 + 8 > t.nLength) b.n100 = 0;
    t.bLittleEndian = bLittle;
    t.sStation = sTrimmed(p + 8, 5);
    t.sLocation = sTrimmed(p + 13, 2);
    t.sChannel = sTrimmed(p + 15, 3);
    t.sNetwork = sTrimmed(p + 18, 2);
    t.nSamples = n16(p + 30, bLittle);
    t.dRate = dRateOf(p, bLittle, b.n100);
    vTimes(p, bLittle, b.n1001, t);
    return "";
}

HeaderWalk tWalkHeaders(const uint8_t* p, size_t nBytes) {
    HeaderWalk w;
    size_t nOffset = 0;
    while (nOffset < nBytes) {
        RecordHeader t;
        const size_t nLeft = nBytes - nOffset;
        const std::string sWhy = sReadRecordHeader(p + nOffset, nLeft, t);
        if (!sWhy.empty()) {
            w.sStop =
                "not a MiniSEED record at byte " + std::to_string(nOffset) + " (" + sWhy + ")";
            break;
        }
        if (t.nLength > nLeft) {
            w.sStop = "record " + std::to_string(w.atRecords.size() + 1) +
                      " is cut short: the file ends " + std::to_string(nLeft) + " bytes into its " +
                      std::to_string(t.nLength);
            break;
        }
        t.nOffset = nOffset;
        nOffset += t.nLength;
        w.atRecords.push_back(std::move(t));
    }
    return w;
}

std::string sHeaderStream(const RecordHeader& t) {
    return sPrintable(t.sNetwork + "." + t.sStation + "." + t.sLocation + "." + t.sChannel);
}
