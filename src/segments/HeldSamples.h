// What an output already holds of a channel, as a writer asks it: which of
// a segment's samples are still to be written. The driver implements it
// from the records it found in the output; a writer without one writes
// every sample.
#pragma once

#include <cstdint>
#include <vector>

// Samples nFirst .. nFirst + nCount - 1 of a segment, counted from its first.
struct SampleRange {
    int64_t nFirst = 0;
    int64_t nCount = 0;
};

class CHeldSamples {
public:
    virtual ~CHeldSamples() = default;
    // Appends to atOut, in order, the ranges of the nCount samples from
    // sample nFirstSample on of the stretch that started at
    // nStretchStartMicros that the output does not hold, counted from
    // nFirstSample. Called on any thread, while nothing changes it.
    virtual void vNotHeld(int64_t nStretchStartMicros, int64_t nFirstSample, int64_t nCount,
                          std::vector<SampleRange>& atOut) const = 0;
};
