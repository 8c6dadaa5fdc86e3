// Bad-input harness: the undamaged recording every case starts from, the
// byte-level damage applied to its image, and the run of the built program
// on a damaged image with the checks that hold for any input whatever: no
// signal, no sanitizer report, bounded time and memory, one error line and
// an untouched output on refusal, only warnings and oracle-exact records
// appended after the old output bytes on success.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "ConversionOracle.h"
#include "SyntheticRecording.h"
#include "support/Process.h"

// Three channels BHZ, BHN, BHE at 100 sps, one-second records, station
// FIELD: records of 856 bytes from offset 4352.
constexpr size_t nBaseRecords = 20;
constexpr size_t nBaseRecordSize = 856;
constexpr size_t nBaseDataOffset = 4352;
constexpr size_t nBaseFileSize = nBaseDataOffset + nBaseRecords * nBaseRecordSize;
SyntheticRecording tBaseRecording();
std::vector<uint8_t> anImage(const SyntheticRecording& tRec);

// What the program appends when it converts the undamaged recording into an
// empty output (worked out once per test process).
const std::string& sBaseConversion();

// Byte-level damage on an image.
void vPutInt16(std::vector<uint8_t>& an, size_t nOffset, int32_t nValue);
void vPutInt8(std::vector<uint8_t>& an, size_t nOffset, int32_t nValue);

// The section named sName; the test fails (and a dummy is returned) when
// there is none.
SynthSection& tSection(SyntheticRecording& tRec, const std::string& sName);
// Sets (or adds) sKey in section sName.
void vSetKey(SyntheticRecording& tRec, const std::string& sName, const std::string& sKey,
             const std::string& sValue);

// One run of the program on a damaged image.
struct BadInputRun {
    ProcessResult tProcess;
    OracleConversion tExpected;
    std::string sAppended;  // bytes after the pre-existing output
    std::vector<std::string> asWarnings;
};

// Runs tessal on anImage (as rec.vrx, output rec.mseed holding a few valid
// records already) and checks every invariant, reporting sCase on failure.
BadInputRun tRunDamaged(const std::vector<uint8_t>& anImage, const std::string& sCase);

// Channel name and sample count of each channel in appended output, in
// order, from our decoder.
struct ChannelSummary {
    std::string sChannel;
    size_t nSamples = 0;
};
std::vector<ChannelSummary> atSummarise(const std::string& sOutput);

// True when one of asLines contains sText.
bool bAnyLineHas(const std::vector<std::string>& asLines, const std::string& sText);
