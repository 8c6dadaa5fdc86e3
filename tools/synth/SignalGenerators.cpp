// Deterministic signal generators for synthetic recordings and benchmarks.
#include "SignalGenerators.h"

#include <algorithm>
#include <cmath>

uint64_t CSignalRng::nNext() {
    uint64_t z = (m_nState += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

double CSignalRng::dUniform() { return static_cast<double>(nNext() >> 11) * 0x1.0p-53; }

double CSignalRng::dGaussian() {
    const double dU1 = 1.0 - dUniform();  // (0, 1]
    const double dU2 = dUniform();
    return std::sqrt(-2.0 * std::log(dU1)) * std::cos(2.0 * M_PI * dU2);
}

bool bParseSignalKind(const std::string& sName, SignalKind& eKind) {
    static const struct {
        const char* sz;
        SignalKind e;
    } aKinds[] = {{"recorder", SignalKind::RecorderLike},
                  {"noise", SignalKind::WhiteNoise},
                  {"constant", SignalKind::Constant},
                  {"sine", SignalKind::Sine},
                  {"extremes", SignalKind::Extremes}};
    for (const auto& k : aKinds) {
        if (sName == k.sz) {
            eKind = k.e;
            return true;
        }
    }
    return false;
}

const char* szSignalKindName(SignalKind eKind) {
    switch (eKind) {
        case SignalKind::RecorderLike: return "recorder";
        case SignalKind::WhiteNoise: return "noise";
        case SignalKind::Constant: return "constant";
        case SignalKind::Sine: return "sine";
        case SignalKind::Extremes: return "extremes";
    }
    return "?";
}

namespace {

uint16_t nClampCount(double d) {
    return static_cast<uint16_t>(std::clamp(std::lround(d), 0L, 65535L));
}

// A walk pulled back toward 0 with Gaussian steps of about 3 counts, a swell
// of a few tens of counts over minutes, and every few minutes a decaying
// oscillating burst of a few hundred to a few thousand counts.
std::vector<uint16_t> anRecorderLike(CSignalRng& rng, size_t nCount, double dRate) {
    std::vector<uint16_t> an(nCount);
    const double dSwellPeriod = 600.0 * dRate;  // samples
    const double dSwellPhase = rng.dUniform() * 2.0 * M_PI;
    double dWalk = 0.0;
    double dBurstAmp = 0.0, dBurstPhase = 0.0, dBurstStep = 0.0, dBurstDecay = 1.0;
    size_t nNextBurst = static_cast<size_t>((60.0 + rng.dUniform() * 180.0) * dRate);
    for (size_t i = 0; i < nCount; ++i) {
        dWalk = 0.995 * dWalk + 3.0 * rng.dGaussian();
        if (i == nNextBurst) {
            dBurstAmp = 300.0 + rng.dUniform() * 2700.0;
            dBurstStep = 2.0 * M_PI * (1.0 + rng.dUniform() * 4.0) / dRate;  // 1..5 Hz
            dBurstDecay = std::exp(-1.0 / ((5.0 + rng.dUniform() * 20.0) * dRate));
            nNextBurst += static_cast<size_t>((120.0 + rng.dUniform() * 240.0) * dRate);
        }
        const double dSwell = 40.0 * std::sin(2.0 * M_PI * static_cast<double>(i) / dSwellPeriod +
                                              dSwellPhase);
        const double dBurst = dBurstAmp * std::sin(dBurstPhase);
        dBurstPhase += dBurstStep;
        dBurstAmp *= dBurstDecay;
        an[i] = nClampCount(32768.0 + dWalk + dSwell + dBurst);
    }
    return an;
}

}  // namespace

std::vector<uint16_t> anGenerateSignal(SignalKind eKind, uint64_t nSeed, size_t nCount,
                                       double dRate) {
    CSignalRng rng(nSeed);
    if (dRate <= 0.0) dRate = 100.0;
    switch (eKind) {
        case SignalKind::RecorderLike: return anRecorderLike(rng, nCount, dRate);
        case SignalKind::WhiteNoise: {
            std::vector<uint16_t> an(nCount);
            for (auto& n : an) n = static_cast<uint16_t>(rng.nNext() >> 48);
            return an;
        }
        case SignalKind::Constant:
            return std::vector<uint16_t>(nCount, static_cast<uint16_t>(rng.nNext() >> 48));
        case SignalKind::Sine: {
            std::vector<uint16_t> an(nCount);
            const double dAmp = 200.0 + rng.dUniform() * 800.0;
            const double dStep = 2.0 * M_PI * (0.2 + rng.dUniform() * 2.0) / dRate;
            for (size_t i = 0; i < nCount; ++i)
                an[i] = nClampCount(32768.0 + dAmp * std::sin(dStep * static_cast<double>(i)));
            return an;
        }
        case SignalKind::Extremes: {
            std::vector<uint16_t> an(nCount);
            for (size_t i = 0; i < nCount; ++i) an[i] = (i % 2 == 0) ? 0 : 65535;
            return an;
        }
    }
    return {};
}
