// The rate rule of the MiniSEED fixed header.
#include "mseed/SeedRecord.h"

double dSeedSampleRate(int16_t nFactor, int16_t nMultiplier) {
    const double f = nFactor;
    const double m = nMultiplier;
    if (nFactor == 0 || nMultiplier == 0) return 1.0;
    if (f > 0 && m > 0) return f * m;
    if (f > 0 && m < 0) return -f / m;
    if (f < 0 && m > 0) return -m / f;
    return 1.0 / (f * m);
}
