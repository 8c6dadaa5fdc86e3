// Hand-written console numbers against printf itself: values of every
// magnitude and sign, exact halfway cases (which printf rounds to even),
// the edges of the range, and the times a long run actually prints.
#include <gtest/gtest.h>

#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "segments/DecimalText.h"

namespace {

std::string sByHand(double d) {
    char ac[32];
    return std::string(ac, pPutFixed6(ac, d));
}

std::string sByPrintf(double d) {
    char ac[64];
    std::snprintf(ac, sizeof ac, "%f", d);
    return ac;
}

TEST(DecimalText, FixedSixAgreesWithPrintf) {
    if (!bFitsFixed6(1.0)) GTEST_SKIP() << "no 128-bit integers: printf writes every value";
    std::vector<double> ad = {0.0,
                              -0.0,
                              1e-9,
                              -1e-9,
                              0.0000005,
                              0.0000015,
                              0.0000025,
                              1.0 / 128,
                              3.0 / 128,
                              0.5,
                              2.5,
                              999999.9999995,
                              100.0,
                              1078099199.5,
                              1e12 - 1e-3,
                              -(1e12 - 1e-3),
                              DBL_MIN,
                              DBL_TRUE_MIN,
                              1e12 * (1 - DBL_EPSILON)};
    std::mt19937_64 tRandom(20261208);
    std::uniform_real_distribution<double> tExponent(-12.0, 12.0);
    for (int i = 0; i < 300000; ++i) {
        const double d = std::pow(10.0, tExponent(tRandom));
        ad.push_back(tRandom() % 2 ? d : -d);
    }
    // Exact binary fractions with few bits: the halfway cases of the sixth
    // decimal lie among them.
    for (int nBits = 1; nBits <= 24; ++nBits) {
        for (int i = 0; i < 2000; ++i) {
            const double d =
                std::ldexp(static_cast<double>(tRandom() % (uint64_t{1} << 40)), -nBits);
            if (std::fabs(d) < 1e12) ad.push_back(d);
        }
    }
    // Record times as a run forms them: a start plus n / rate.
    for (int i = 0; i < 100000; ++i) {
        const double dRate = static_cast<double>(1 + tRandom() % 32767);
        const double tBegin = static_cast<double>(tRandom() % 253402300800) +
                              static_cast<double>(tRandom() % 10000) / 10000;
        ad.push_back(tBegin + static_cast<double>(tRandom() % 100000000) / dRate);
        ad.push_back(dRate);
    }
    int nWrong = 0;
    for (double d : ad) {
        ASSERT_TRUE(bFitsFixed6(d)) << sByPrintf(d);
        if (sByHand(d) != sByPrintf(d) && ++nWrong <= 10)
            ADD_FAILURE() << "printf " << sByPrintf(d) << ", by hand " << sByHand(d);
    }
    EXPECT_EQ(nWrong, 0);
}

TEST(DecimalText, OnlyFiniteValuesBelowATrillionAreWrittenByHand) {
    for (double d : {1e12, -1e12, 1e300, double{INFINITY}, -double{INFINITY}, double{NAN}})
        EXPECT_FALSE(bFitsFixed6(d)) << d;
}

TEST(DecimalText, WholeNumbersAgreeWithPrintf) {
    for (int32_t n : {0, 7, -7, 10000, 9900, INT_MAX, INT_MIN}) {
        char ac[16];
        const std::string s(ac, pPutInt(ac, n));
        EXPECT_EQ(s, std::to_string(n));
    }
}

}  // namespace
