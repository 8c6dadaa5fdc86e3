// Deterministic test signals of unsigned 16-bit recorder counts. The same
// kind, seed and length give the same samples on every host and compiler:
// the generators use their own PRNG and Gaussian, not <random>'s
// distributions, whose output the standard leaves to each library.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

enum class SignalKind {
    RecorderLike,  // mean-reverting walk around 32768, slow swell, decaying bursts
    WhiteNoise,    // uniform over 0..65535
    Constant,      // one value throughout
    Sine,          // a sine of a few hundred counts around 32768
    Extremes,      // 0 and 65535 alternating
};

// Parses "recorder", "noise", "constant", "sine", "extremes"; false if unknown.
bool bParseSignalKind(const std::string& sName, SignalKind& eKind);
const char* szSignalKindName(SignalKind eKind);

// nCount samples of the given kind. dRate (samples per second) sets the time
// scale of the swell and of the bursts (one every few minutes of signal).
std::vector<uint16_t> anGenerateSignal(SignalKind eKind, uint64_t nSeed, size_t nCount,
                                       double dRate = 100.0);

// A small, fast, reproducible PRNG (SplitMix64).
class CSignalRng {
public:
    explicit CSignalRng(uint64_t nSeed) : m_nState(nSeed) {}
    uint64_t nNext();
    double dUniform();   // in [0, 1)
    double dGaussian();  // standard normal, Box-Muller
private:
    uint64_t m_nState;
};
