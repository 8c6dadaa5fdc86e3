// Tick steps and labels of the plot's time axis.
#include "TimeAxis.h"

#include <cmath>
#include <cstdio>

#include "InspectReport.h"

namespace {

constexpr double dDay = 86400.0;

// The candidate steps below a day, in seconds, smallest first.
const double adStepsBelowDay[] = {0.001, 0.002, 0.005, 0.01, 0.02, 0.05,  0.1,   0.2,  0.5,
                                  1,     2,     5,     10,   15,   30,    60,    120,  300,
                                  600,   900,   1800,  3600, 7200, 10800, 21600, 43200};

// t as UTC text in the detail a tick step of dStep seconds needs.
std::string sTickLabel(EpochTime t, double dStep) {
    long long nMilli;
    const UtcFields tUtc = tSplitEpochSeconds(nRoundedSeconds(t, 1000, nMilli));
    char ac[64];
    const bool bMidnight = nMilli == 0 && tUtc.nHour == 0 && tUtc.nMinute == 0 && tUtc.nSecond == 0;
    if (dStep >= dDay || (bMidnight && dStep >= 60)) {
        std::snprintf(ac, sizeof ac, "%04lld-%02d-%02d", static_cast<long long>(tUtc.nYear),
                      tUtc.nMonth, tUtc.nDay);
    } else if (dStep >= 60) {
        std::snprintf(ac, sizeof ac, "%02d:%02d", tUtc.nHour, tUtc.nMinute);
    } else if (dStep >= 1) {
        std::snprintf(ac, sizeof ac, "%02d:%02d:%02d", tUtc.nHour, tUtc.nMinute, tUtc.nSecond);
    } else {
        const int nDecimals = dStep >= 0.1 ? 1 : dStep >= 0.01 ? 2 : 3;
        const int nDivisor = nDecimals == 1 ? 100 : nDecimals == 2 ? 10 : 1;
        std::snprintf(ac, sizeof ac, "%02d:%02d:%02d.%0*lld", tUtc.nHour, tUtc.nMinute,
                      tUtc.nSecond, nDecimals, nMilli / nDivisor);
    }
    return ac;
}

}  // namespace

double dTickStep(EpochTime tFrom, EpochTime tTo, int nMaxTicks) {
    const double dSpan = tTo > tFrom ? tTo - tFrom : 0.0;
    const double dLeast = dSpan / (nMaxTicks > 1 ? nMaxTicks : 1);
    for (const double d : adStepsBelowDay)
        if (d >= dLeast) return d;
    for (double dDays = 1;; dDays *= 10) {
        for (const double dFactor : {1.0, 2.0, 5.0})
            if (dDays * dFactor * dDay >= dLeast || dDays > 1e12) return dDays * dFactor * dDay;
    }
}

std::vector<TimeTick> atTimeTicks(EpochTime tFrom, EpochTime tTo, int nMaxTicks) {
    std::vector<TimeTick> at;
    // Beyond a few million years the labels' arithmetic would overflow.
    if (!std::isfinite(tFrom) || !std::isfinite(tTo) || tTo < tFrom || std::fabs(tFrom) > 1e14 ||
        std::fabs(tTo) > 1e14)
        return at;
    const double dStep = dTickStep(tFrom, tTo, nMaxTicks);
    const double dFirst = std::ceil(tFrom / dStep - 1e-9);
    const double dLast = std::floor(tTo / dStep + 1e-9);
    for (double k = dFirst; k <= dLast && at.size() <= static_cast<size_t>(nMaxTicks); ++k)
        at.push_back(TimeTick{k * dStep, sTickLabel(k * dStep, dStep)});
    return at;
}
