// Helpers for end-to-end tests of the conversion run: write a synthetic
// recording into a temporary directory and read back the headers of the
// records the program wrote.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "SyntheticRecording.h"
#include "support/TempDir.h"

// Writes the recording tRec as sDir/sName; returns its expected samples per
// list position.
std::vector<std::vector<uint16_t>> aanWriteRecording(const TempDir& tDir, const std::string& sName,
                                                     const SyntheticRecording& tRec);

// The header fields of one 512-byte output record, read from its bytes.
struct RecordFields {
    std::string sSequence;  // bytes 0..5
    std::string sStation;   // bytes 8..12
    std::string sChannel;   // bytes 15..17
    std::string sNetwork;   // bytes 18..19
    int nYear, nDay, nHour, nMinute, nSecond, nFract;
    int nSamples;
    int nRateFactor;
};

// Splits a file of 512-byte records into their header fields.
std::vector<RecordFields> atRecordFields(const std::string& sBytes);

// Counts the lines of sText that begin with sPrefix.
int nCountLines(const std::string& sText, const std::string& sPrefix);
