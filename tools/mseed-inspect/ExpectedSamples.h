// The expected samples that vorn-synth --expect-dir writes: manifest.txt
// with one line per list position and one uint16 little-endian file each.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct ExpectedChannel {
    std::string sName;  // the channel's NAME
    std::vector<int32_t> anSamples;
};

// Reads DIR/manifest.txt and the sample files it names. False with sError
// when the directory does not hold a readable manifest.
bool bReadExpectedSamples(const std::string& sDir, std::vector<ExpectedChannel>& atChannels,
                          std::string& sError);
