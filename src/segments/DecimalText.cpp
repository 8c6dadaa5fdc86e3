// Exact "%f": a finite double is m / 2^s for whole numbers m < 2^53 and s,
// so m * 10^6 / 2^s, rounded, is an integer division in 128 bits with the
// remainder deciding the rounding, as printf decides it.
#include "segments/DecimalText.h"

#include <cmath>

namespace {

#if defined(__SIZEOF_INT128__)
// a * 10^6 rounded to the nearest whole number, ties to even (a >= 0, a < 10^12).
uint64_t nMillionths(double a) {
    if (a == 0) return 0;
    int e = 0;
    const double dFraction = std::frexp(a, &e);  // a = dFraction * 2^e, 0.5 <= dFraction < 1
    const auto m = static_cast<uint64_t>(std::ldexp(dFraction, 53));
    const int s = 53 - e;   // a = m / 2^s; s >= 13 below 10^12
    if (s >= 80) return 0;  // a * 10^6 < 2^-7: rounds to 0
    using U128 = unsigned __int128;
    const U128 nProduct = static_cast<U128>(m) * 1000000u;
    uint64_t q = static_cast<uint64_t>(nProduct >> s);
    const U128 nRest = nProduct & ((U128{1} << s) - 1);
    const U128 nHalf = U128{1} << (s - 1);
    if (nRest > nHalf || (nRest == nHalf && (q & 1) != 0)) ++q;
    return q;
}
#else
uint64_t nMillionths(double) {
    return 0;  // never called: bFitsFixed6 admits no value
}
#endif

}  // namespace

char* pPutUnsigned(char* p, uint64_t n) {
    char acDigits[20];
    int k = 0;
    do {
        acDigits[k++] = static_cast<char>('0' + n % 10);
        n /= 10;
    } while (n > 0);
    while (k > 0) *p++ = acDigits[--k];
    return p;
}

bool bFitsFixed6(double d) {
#if defined(__SIZEOF_INT128__)
    return std::isfinite(d) && std::fabs(d) < 1e12;
#else
    (void)d;
    return false;  // no 128-bit integers: printf writes every value
#endif
}

char* pPutFixed6(char* p, double d) {
    if (std::signbit(d)) *p++ = '-';
    const uint64_t n = nMillionths(std::fabs(d));
    p = pPutUnsigned(p, n / 1000000);
    *p++ = '.';
    uint64_t nFraction = n % 1000000;
    for (int k = 5; k >= 0; --k) {
        p[k] = static_cast<char>('0' + nFraction % 10);
        nFraction /= 10;
    }
    return p + 6;
}

char* pPutInt(char* p, int32_t n) {
    if (n < 0) *p++ = '-';
    // The magnitude in 64 bits, so that the most negative value has one.
    const int64_t nWide = n;
    return pPutUnsigned(p, static_cast<uint64_t>(nWide < 0 ? -nWide : nWide));
}
