// The conversion oracle: from a recording's file image, what a successful
// run must append to the output, worked out sample by sample with the plain
// selection rules (record size, record count, block start, bounds check per
// sample) rather than with the program's own extraction. The header and
// section readers are the program's; they are tested on their own.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "timeconv/CalendarTime.h"

// One converted list position.
struct OracleChannel {
    int nPosition = 0;
    int32_t nRate = 0;          // FREQ: the rate every record must carry
    std::string sStationField;  // the 5 station bytes of every record, blank padded
    std::string sChannelField;  // the 3 channel bytes, after the BHZ/BHN/BHE translation
    std::vector<int32_t> anSamples;
};

struct OracleConversion {
    // The run must end with 0 (else 1, nothing written): it has samples, and
    // no two positions' records would carry the same names.
    bool bAccepted = false;
    EpochTime tStart = 0;                   // time of every channel's first sample
    std::vector<OracleChannel> atChannels;  // converted positions in list order
};

// Works out the run's outcome for the recording image (p, n).
OracleConversion tOracleConversion(const uint8_t* p, size_t n);

// Checks the bytes a successful run appended (pOut, nOut) against tExpected:
// whole 512-byte records that our decoder reads without a problem, one
// numbering from 000001 per channel with samples, in list order, with the
// expected names, rate and samples, and each record starting at its first
// sample's exact time (start + samples before it / rate), rounded down to a
// tick, or to the nearest microsecond where a blockette 1001 must carry it.
// Returns the problems found, one line each; empty when the output is right.
std::vector<std::string> asCheckOutput(const OracleConversion& tExpected, const uint8_t* pOut,
                                       size_t nOut);
