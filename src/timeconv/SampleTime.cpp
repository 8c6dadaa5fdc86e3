// Exact sample times in 64-bit integers. i / F is split into whole seconds
// (i div F) and a rest below F, so no product overflows for any index a
// recording can hold. Every rounding works on nMicros alone: the rest adds
// less than a microsecond, which cannot cross a whole tick, millisecond or
// (half-)microsecond boundary that nMicros has not crossed, except the half
// microsecond that nNearestMicros looks at.
#include "timeconv/SampleTime.h"

#include <cmath>

namespace {

// a / b rounded towards minus infinity (b > 0).
int64_t nFloorDiv(int64_t a, int64_t b) {
    return a / b - (a % b < 0 ? 1 : 0);
}

constexpr int64_t nMicrosPerSecond = 1000000;

}  // namespace

SampleTime tSampleTime(int64_t nStartMicros, int64_t nIndex, int32_t nRate) {
    const int64_t nWholeSeconds = nIndex / nRate;
    const int64_t nRestMicros = nIndex % nRate * nMicrosPerSecond;  // < nRate * 10^6
    SampleTime t;
    t.nMicros = nStartMicros + nWholeSeconds * nMicrosPerSecond + nRestMicros / nRate;
    t.nRest = nRestMicros % nRate;
    t.nRate = nRate;
    return t;
}

int64_t nFloorTicks(const SampleTime& t) {
    return nFloorDiv(t.nMicros, 100);
}

int64_t nNearestMicros(const SampleTime& t) {
    return t.nMicros + (2 * t.nRest >= t.nRate ? 1 : 0);
}

int64_t nNearestMillis(const SampleTime& t) {
    return nFloorDiv(t.nMicros + 500, 1000);
}

int64_t nDayOf(const SampleTime& t) {
    return nFloorDiv(t.nMicros, nMicrosPerDay);
}

int64_t nFirstSampleFrom(int64_t nStartMicros, int32_t nRate, int64_t nMicros) {
    const int64_t nAfter = nMicros - nStartMicros;
    if (nAfter <= 0) return 0;
    // Sample i is at or after nMicros when i * 10^6 >= nAfter * nRate; split
    // into whole seconds so that no product overflows.
    const int64_t nRestProduct = nAfter % nMicrosPerSecond * nRate;
    return nAfter / nMicrosPerSecond * nRate +
           (nRestProduct + nMicrosPerSecond - 1) / nMicrosPerSecond;
}

int64_t nMicrosOf(double dSeconds) {
    // Beyond some 285,000 years (and NaN) there is no such time; the bound
    // keeps the conversion defined.
    constexpr double dBound = 9.0e12;
    if (!(dSeconds > -dBound)) dSeconds = -dBound;
    if (dSeconds > dBound) dSeconds = dBound;
    return std::llround(dSeconds * static_cast<double>(nMicrosPerSecond));
}
