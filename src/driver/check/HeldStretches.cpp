// Held ranges per stretch: added in any order, sorted and joined once, then
// read by any thread.
#include "driver/check/HeldStretches.h"

#include <algorithm>

CHeldStretches::CHeldStretches(const ConvertedChannel& c) : m_aatHeld(c.atStretches.size()) {
    for (const SampleStretch& s : c.atStretches) m_anStartMicros.push_back(s.nStartMicros);
}

void CHeldStretches::vAdd(size_t k, int64_t nFirst, int64_t nCount) {
    if (nCount > 0) m_aatHeld[k].push_back({nFirst, nCount});
}

void CHeldStretches::vSettle() {
    for (std::vector<SampleRange>& at : m_aatHeld) {
        std::sort(at.begin(), at.end(),
                  [](const SampleRange& a, const SampleRange& b) { return a.nFirst < b.nFirst; });
        std::vector<SampleRange> atJoined;
        for (const SampleRange& r : at) {
            if (!atJoined.empty() && r.nFirst <= atJoined.back().nFirst + atJoined.back().nCount) {
                SampleRange& b = atJoined.back();
                b.nCount = std::max(b.nFirst + b.nCount, r.nFirst + r.nCount) - b.nFirst;
            } else {
                atJoined.push_back(r);
            }
        }
        at = std::move(atJoined);
    }
}

int64_t CHeldStretches::nHeld() const {
    int64_t n = 0;
    for (const std::vector<SampleRange>& at : m_aatHeld)
        for (const SampleRange& r : at) n += r.nCount;
    return n;
}

void CHeldStretches::vNotHeld(int64_t nStretchStartMicros, int64_t nFirstSample, int64_t nCount,
                              std::vector<SampleRange>& atOut) const {
    // The stretch the writer means: the first that started then (two that
    // start at the same microsecond date the same samples alike).
    const auto it = std::find(m_anStartMicros.begin(), m_anStartMicros.end(), nStretchStartMicros);
    int64_t n = nFirstSample;
    const int64_t nEnd = nFirstSample + nCount;
    if (it != m_anStartMicros.end()) {
        const std::vector<SampleRange>& at =
            m_aatHeld[static_cast<size_t>(it - m_anStartMicros.begin())];
        auto pRange = std::upper_bound(
            at.begin(), at.end(), n,
            [](int64_t v, const SampleRange& r) { return v < r.nFirst + r.nCount; });
        for (; pRange != at.end() && pRange->nFirst < nEnd; ++pRange) {
            if (pRange->nFirst > n) atOut.push_back({n - nFirstSample, pRange->nFirst - n});
            n = std::max(n, pRange->nFirst + pRange->nCount);
        }
    }
    if (n < nEnd) atOut.push_back({n - nFirstSample, nEnd - n});
}
