// Synthetic VORN recordings: a description of a recording file (text head,
// fixed header, record times, record layout, samples) and the writer that
// turns it into the file's bytes, with every channel's expected samples.
//
// The file is laid out as the converter reads it: the text head from byte 0
// (NUL padded to 3072), the fixed header at 3072, and from the data offset K
// records, each a 256-byte record header followed by one block of R x F
// uint16 little-endian samples per list position, then any trailing bytes.
// Parts that overlap (a data offset inside the headers) are written in that
// order, so later parts win.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "SignalGenerators.h"
#include "recorder/RecorderHeader.h"

// One INI section of the text head: "[sName]" then one "key=value" line per
// entry, in order, exactly as given (no case change, no trimming).
struct SynthSection {
    std::string sName;
    std::vector<std::pair<std::string, std::string>> aKeys;

    // Appends a key line and returns the section, for chaining.
    SynthSection& tKey(std::string sKey, std::string sValue);
};

// [CHk] with STAT sStat and, when given, NAME.
SynthSection tChannelSection(int k, const std::string& sStat,
                             const std::optional<std::string>& osName);
// [GROUPn] with CH#, TYPE, FREQ (omitted when onFreq is empty), N_CH, GAIN.
SynthSection tGroupSection(int n, int nChannelNo, std::optional<int> onFreq, int nGain = 1,
                           const std::string& sType = "SEISMIC", int nGroupChannels = 1);
// [STREAMm] with TYPE, REC_SIZE_SEC, FILE_SIZE_SEC, N_CH and CH#.
SynthSection tStreamSection(int m, const std::string& sType, int nRecSizeSec,
                            int nFileSizeSec = 3600, int nChannels = 3,
                            const std::string& sChannels = "1,2,3");

// The samples of one list position: nCount samples of eKind from nSeed.
struct SynthSignal {
    SignalKind eKind = SignalKind::RecorderLike;
    uint64_t nSeed = 1;
};

// Everything a synthetic recording file consists of.
struct SyntheticRecording {
    // Text head (bytes 0..3071): aSections written with sLineEnd after every
    // line, or osRawHead verbatim when set; then sAfterHead; the rest of the
    // 3072 bytes is NUL. Anything beyond 3072 bytes is cut off.
    std::vector<SynthSection> aSections;
    std::string sLineEnd = "\r\n";
    std::optional<std::string> osRawHead;
    std::string sAfterHead;

    // Fixed header at 3072, written field by field from this image: only
    // what the file holds (8 name bytes of channels 1..16, 16 channel bytes
    // of streams 1..2). nDataOffset also places the first record, read as
    // unsigned (so a "negative" offset still puts the records somewhere).
    RecorderHeader tFixed{};

    // Start time fields of the first record header (words 18 and 20 are the
    // second and the whole seconds added to it).
    int16_t nYear = 2004, nMonth = 12, nDay = 7, nHour = 13, nMinute = 45, nSecond = 30;
    int16_t nSecondWord = 0;

    // Records: nRecords records of nRecordSeconds (R) at nRate (F) samples
    // per second, one block per entry of aBlocks (N blocks). Record r starts
    // r x R seconds after the first, plus nJumpSeconds from record
    // nJumpRecord on (no jump when nJumpRecord is 0). When the first time is
    // not a valid start time, every record repeats the first record's fields.
    int32_t nRecordSeconds = 1;
    int32_t nRate = 100;
    size_t nRecords = 0;
    std::vector<SynthSignal> aBlocks;
    size_t nJumpRecord = 0;
    int32_t nJumpSeconds = 0;

    // Bytes after the last whole record (a deterministic pattern).
    size_t nTrailingBytes = 0;
    // When set, the finished file is cut or NUL-padded to this size.
    std::optional<size_t> onFileSize;
};

// The bytes of a synthetic recording and its expected samples: for each list
// position, the samples of its block in every record, in time order.
struct SyntheticOutput {
    std::vector<uint8_t> anFile;
    std::vector<std::vector<uint16_t>> aanSamples;
};

// Builds the file image described by tRec.
SyntheticOutput tBuildRecording(const SyntheticRecording& tRec);

// Writes anBytes to sPath (created or truncated); false with the system's
// reason in sError on failure.
bool bWriteBytes(const std::string& sPath, const std::vector<uint8_t>& anBytes,
                 std::string& sError);

// The text head as tBuildRecording writes it (before the NUL padding).
std::string sHeadText(const SyntheticRecording& tRec);

// The 1025 bytes of the fixed header image tHeader, little-endian, at p.
void vEncodeFixedHeader(const RecorderHeader& tHeader, uint8_t* p);

// Byte size of one record: 256 + 2 x N x R x F (blocks of fewer than zero
// samples count as empty).
size_t nSynthRecordSize(const SyntheticRecording& tRec);

// Puts up to 8 bytes of sStation into the station field, NUL padded; eight
// bytes leave no terminator.
void vSetStation(RecorderHeader& tHeader, std::string_view sStation);

// The seed of list position nPosition's signal for a run seeded nSeed:
// different positions get unrelated signals, the same pair the same one.
uint64_t nBlockSeed(uint64_t nSeed, size_t nPosition);

// The usual recording: channels CH1..CHn on with the given names, GROUPi
// with CH# i and FREQ nRate, one STREAM (PERMANENT, REC_SIZE_SEC
// nRecordSeconds), channel list 0..n-1, data offset nDefaultDataOffset, and
// per list position a signal of the given kind (one kind for all, or one
// per channel) seeded by nBlockSeed(nSeed, position).
struct StandardLayout {
    std::string sStation = "DEMO";
    std::vector<std::string> asChannels = {"BHZ", "BHN", "BHE"};
    int32_t nRate = 100;
    int32_t nRecordSeconds = 1;
    size_t nRecords = 60;
    std::vector<SignalKind> aeSignals = {SignalKind::RecorderLike};
    uint64_t nSeed = 1;
};
constexpr int16_t nDefaultDataOffset = 4352;
SyntheticRecording tStandardRecording(const StandardLayout& tLayout);
