// Sample runs for the encoder's property tests: the synthetic signal kinds,
// and random mixes of difference classes built to reach every word layout,
// every class boundary and every way a word can go out (full, rejected,
// raised at the end of the input).
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "SignalGenerators.h"
#include "Steim2TestSupport.h"
#include "timeconv/CalendarTime.h"

namespace steim2test {

// Smallest and largest difference of each class 1..7 (class 7 as far as 30
// bits reach).
constexpr int32_t anClassMin[8] = {0, -8, -16, -32, -128, -511, -16383, -(1 << 29)};
constexpr int32_t anClassMax[8] = {0, 7, 15, 31, 127, 511, 16383, (1 << 29) - 1};

// A difference of class c: a boundary value now and then, else uniform over
// the part of the range that no narrower class holds.
inline int32_t nRandomDiffOfClass(CSignalRng& rng, int c) {
    const int64_t nLo = anClassMin[c], nHi = anClassMax[c];
    switch (rng.nNext() % 6) {
        case 0:
            return static_cast<int32_t>(nLo);
        case 1:
            return static_cast<int32_t>(nHi);
        case 2:
            return c == 7 ? 16384 * (rng.nNext() % 2 ? 1 : -1) : 0;
        default:
            break;
    }
    const int64_t nInnerLo = c == 1 ? 0 : anClassMin[c - 1],
                  nInnerHi = c == 1 ? 0 : anClassMax[c - 1];
    for (;;) {
        const int64_t d =
            nLo + static_cast<int64_t>(rng.nNext() % static_cast<uint64_t>(nHi - nLo + 1));
        if (c == 1 || d < nInnerLo || d > nInnerHi) return static_cast<int32_t>(d);
    }
}

// Runs of differences of one class at a time (lengths around each class's
// capacity), summed into samples that stay within +-2^30 so that every
// difference fits 30 bits.
inline std::vector<int32_t> anClassMix(uint64_t nSeed, size_t nCount) {
    CSignalRng rng(nSeed);
    std::vector<int32_t> an(nCount);
    int64_t x = 0;
    size_t nRun = 0;
    int c = 1;
    // Some runs lean on one or two classes, others use all seven.
    const int nMaxClass = 2 + static_cast<int>(rng.nNext() % 6);
    for (size_t i = 0; i < nCount; ++i) {
        if (nRun == 0) {
            c = 1 + static_cast<int>(rng.nNext() % static_cast<uint64_t>(nMaxClass));
            nRun = 1 + rng.nNext() % 10;
        }
        --nRun;
        int32_t d = nRandomDiffOfClass(rng, c);
        if (x > (1 << 28) && d > 0) d = -d;
        if (x < -(1 << 28) && d < 0) d = d == anClassMin[7] ? anClassMax[7] : -d;
        x += d;
        an[i] = static_cast<int32_t>(x);
    }
    return an;
}

enum class RunKind { Recorder, Noise, Constant, Sine, Extremes, ClassMix };
constexpr RunKind aeAllRunKinds[] = {RunKind::Recorder, RunKind::Noise,    RunKind::Constant,
                                     RunKind::Sine,     RunKind::Extremes, RunKind::ClassMix};

inline std::string sRunKindName(RunKind e) {
    switch (e) {
        case RunKind::Recorder:
            return "recorder";
        case RunKind::Noise:
            return "noise";
        case RunKind::Constant:
            return "constant";
        case RunKind::Sine:
            return "sine";
        case RunKind::Extremes:
            return "extremes";
        case RunKind::ClassMix:
            return "classmix";
    }
    return "?";
}

inline std::vector<int32_t> anMakeRun(RunKind e, uint64_t nSeed, size_t nCount) {
    if (e == RunKind::ClassMix) return anClassMix(nSeed, nCount);
    static const SignalKind aeKinds[] = {SignalKind::RecorderLike, SignalKind::WhiteNoise,
                                         SignalKind::Constant, SignalKind::Sine,
                                         SignalKind::Extremes};
    const std::vector<uint16_t> an16 =
        anGenerateSignal(aeKinds[static_cast<int>(e)], nSeed, nCount);
    return std::vector<int32_t>(an16.begin(), an16.end());
}

// A random header template: sequence number, names, start time (often close
// to the end of a day or year) and a whole rate.
inline RecordTemplate tRandomTemplate(CSignalRng& rng) {
    static const int16_t anRates[] = {1, 3, 7, 20, 40, 100, 125, 200, 250, 1000};
    char szSeq[7];
    std::snprintf(szSeq, sizeof szSeq, "%06u", static_cast<unsigned>(1 + rng.nNext() % 999000));
    const uint16_t nYear = static_cast<uint16_t>(1990 + rng.nNext() % 48);
    const uint16_t nDays = static_cast<uint16_t>(nDaysInYear(nYear));
    const bool bLate = rng.nNext() % 2;
    RecordTemplate h = tTemplate(
        szSeq, nYear, bLate ? nDays : static_cast<uint16_t>(1 + rng.nNext() % nDays),
        bLate ? 23 : static_cast<uint8_t>(rng.nNext() % 24),
        bLate ? 59 : static_cast<uint8_t>(rng.nNext() % 60), static_cast<uint8_t>(rng.nNext() % 60),
        static_cast<uint16_t>(10 * (rng.nNext() % 1000)),
        anRates[rng.nNext() % (sizeof anRates / sizeof anRates[0])]);
    static const char* aszStations[] = {"ABC  ", "VORN1", "X    ", "     "};
    static const char* aszChannels[] = {"BHZ", "HHN", "E  "};
    std::memcpy(h.tHeader.Station_identifier_code, aszStations[rng.nNext() % 4], 5);
    std::memcpy(h.tHeader.Channel_identifier, aszChannels[rng.nNext() % 3], 3);
    return h;
}

}  // namespace steim2test
