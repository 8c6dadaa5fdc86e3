// The rate rule, the sequence numbers and the start time of the MiniSEED
// fixed header, the rates that need microseconds, the test for the head
// of a data record, and the fixed header read in either byte order.
#include "mseed/SeedRecord.h"

#include <cstring>

#include "mseed/ByteOrder.h"
#include "timeconv/CalendarTime.h"

SeedFixedHeader tLoadFixedHeader(const unsigned char* p, bool bBig) {
    SeedFixedHeader h;
    std::memcpy(&h, p, sizeof h);
    h.Record_start_time.year = nLoad16(p + 20, bBig);
    h.Record_start_time.day = nLoad16(p + 22, bBig);
    h.Record_start_time.fract = nLoad16(p + 28, bBig);
    h.Number_of_samples = nLoad16(p + 30, bBig);
    h.Sample_rate_factor = static_cast<int16_t>(nLoad16(p + 32, bBig));
    h.Sample_rate_multiplier = static_cast<int16_t>(nLoad16(p + 34, bBig));
    h.Time_correction = static_cast<int32_t>(nLoad32(p + 40, bBig));
    h.Beginning_of_data = nLoad16(p + 44, bBig);
    h.First_blockette = nLoad16(p + 46, bBig);
    return h;
}

double dSeedSampleRate(int16_t nFactor, int16_t nMultiplier) {
    const double f = nFactor;
    const double m = nMultiplier;
    if (nFactor == 0 || nMultiplier == 0) return 1.0;
    if (f > 0 && m > 0) return f * m;
    if (f > 0 && m < 0) return -f / m;
    if (f < 0 && m > 0) return -m / f;
    return 1.0 / (f * m);
}

bool bLooksLikeDataRecord(const uint8_t* p, size_t nSize) {
    if (nSize < 8) return false;
    for (int i = 0; i < 6; ++i)
        if (p[i] != ' ' && (p[i] < '0' || p[i] > '9')) return false;
    const uint8_t q = p[6];
    if (q != 'D' && q != 'R' && q != 'Q' && q != 'M') return false;
    return p[7] == ' ' || p[7] == 0;
}

int nSequenceNumber(int64_t n) {
    return static_cast<int>((n - 1) % nMaxSequenceNumber) + 1;
}

void vPutSequenceNumber(char* p, int n) {
    for (int k = 5; k >= 0; --k) {
        p[k] = static_cast<char>('0' + n % 10);
        n /= 10;
    }
}

bool bRateNeedsMicroseconds(int32_t nRate) {
    return nRate > 4900 && nRate != 5000 && nRate != 10000;
}

SeedTime tSeedTimeOfTicks(int64_t nTicks) {
    if (nTicks < 0) nTicks = 0;
    const UtcFields t = tSplitEpochSeconds(nTicks / 10000);
    return SeedTime{static_cast<uint16_t>(t.nYear),       static_cast<uint16_t>(t.nDayOfYear),
                    static_cast<uint8_t>(t.nHour),        static_cast<uint8_t>(t.nMinute),
                    static_cast<uint8_t>(t.nSecond),      0,
                    static_cast<uint16_t>(nTicks % 10000)};
}
