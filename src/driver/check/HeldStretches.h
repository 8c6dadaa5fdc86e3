// The samples of a channel that its archive holds already, found before the
// run writes: ranges of each stretch's samples. The writer asks it which
// samples of a segment are still to be written (CHeldSamples).
#pragma once

#include <cstdint>
#include <vector>

#include "driver/channel/ConvertedChannel.h"
#include "segments/HeldSamples.h"

class CHeldStretches : public CHeldSamples {
public:
    explicit CHeldStretches(const ConvertedChannel& c);

    // Samples nFirst .. nFirst + nCount - 1 of stretch k (counted from the
    // stretch's first) are held.
    void vAdd(size_t k, int64_t nFirst, int64_t nCount);
    // Sorts and joins what was added; call before asking.
    void vSettle();
    // Samples held, in all.
    int64_t nHeld() const;

    void vNotHeld(int64_t nStretchStartMicros, int64_t nFirstSample, int64_t nCount,
                  std::vector<SampleRange>& atOut) const override;

private:
    std::vector<int64_t> m_anStartMicros;             // of each stretch
    std::vector<std::vector<SampleRange>> m_aatHeld;  // of each stretch, in order once settled
};
