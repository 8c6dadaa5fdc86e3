// The inspector's walk through a file of 512-byte records: each record is
// decoded only when its fixed header is plausible, so bytes that are not
// MiniSEED stop the walk with the offset where they begin instead of being
// shown as fields.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "mseed/Steim2Decoder.h"

// Why the nSize bytes at p cannot be a record's fixed header: "" when they
// can (sequence number of digits or blanks, a quality code, a start time
// from 1900 to 9999 with every field in range), else a short reason.
std::string sImplausibleHeader(const uint8_t* p, size_t nSize);

struct RecordWalk {
    const uint8_t* pBytes = nullptr;  // the bytes walked, which the walk does not own
    size_t nBytes = 0;
    std::vector<DecodedRecord> atRecords;  // the records before the stop, decoded
    std::vector<size_t> anSampleCounts;    // per record, the samples it decoded to
    std::string
        sStop;  // "" when the walk reached the end, else "not a MiniSEED record at byte N (...)"
};

// Decodes the records of the nBytes at p in 512-byte steps until the end or
// the first step whose bytes are not a plausible record header. A last
// record cut short but with a plausible header keeps its header fields, no
// samples, and the error that it is cut short. Without bKeepSamples each
// record's samples are dropped once counted (a day of samples would take
// far more memory than its records); tDecodeSamples gets them again.
RecordWalk tWalkRecords(const uint8_t* p, size_t nBytes, bool bKeepSamples);

// The samples of walked record i, decoded again from the walk's bytes when
// they were dropped (empty for a record that decoded to none).
std::vector<int32_t> anDecodeSamples(const RecordWalk& w, size_t i);
