// A reader for the MiniSEED records this system writes: 512-byte records
// with a big-endian fixed header, a blockette 1000 at byte 48 (and a
// blockette 1001 behind it, where times need microseconds) and Steim-2
// data. It returns each record's header fields in host order and its
// samples, and checks what a careful reader checks, reporting problems as
// text per record. It is safe on arbitrary bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "mseed/SeedRecord.h"
#include "timeconv/CalendarTime.h"

struct DecodedRecord {
    size_t nOffset = 0;            // byte offset of the record in the buffer
    SeedFixedHeader tHeader{};     // fixed header, numbers in host order
    int32_t nSequenceNumber = -1;  // SequenceNumber as a number; -1 if not six digits
    std::string sStation;          // identifiers without their padding blanks
    std::string sLocation;
    std::string sChannel;
    std::string sNetwork;
    bool bHasBlockette1000 = false;
    Blockette1000 tBlockette1000{};  // numbers in host order
    bool bHasBlockette1001 = false;  // the blockette 1000 links to a blockette 1001
    int32_t nMicrosec = 0;           // its microseconds, added to the start time
    int32_t nX0 = 0;                 // integration constants
    int32_t nXn = 0;
    int32_t nFirstDifference = 0;    // the record's first difference, taken against
                                     // the sample before X0 (the previous record's Xn)
    std::vector<int32_t> anSamples;  // the decoded samples, X0 first
    std::string sError;              // empty for a sound record, else the problems found
};

// Decodes the record of nLength bytes at p (512 expected). Never reads
// outside [p, p + nLength). Problems (short record, bad header, missing
// blockette 1000, wrong encoding, word order or length, invalid sub-code,
// sample count or Xn mismatch) go to sError, "; "-separated; the header
// fields are filled as far as the record allows.
DecodedRecord tDecodeRecord(const unsigned char* p, size_t nLength);

// Decodes a buffer of consecutive 512-byte records; a short tail becomes a
// record of its own with an error.
std::vector<DecodedRecord> atDecodeRecords(const void* p, size_t nBytes);

// Samples per second from the record's rate factor and multiplier.
double dRecordRate(const DecodedRecord& r);

// Time of the record's first sample (Record_start_time and the microseconds
// of a blockette 1001) in microseconds since 1970, exactly.
int64_t nRecordStartMicros(const DecodedRecord& r);

// Time of the record's first sample and of its last sample (start +
// (samples - 1) / rate) as EpochTime.
EpochTime tRecordStart(const DecodedRecord& r);
EpochTime tRecordLastSample(const DecodedRecord& r);

// Where a record belongs and when, read from its header alone: its codes as
// stored (station, location, channel and network: record bytes 8 to 19),
// and the time from its first sample to the end of its last one.
struct RecordSpan {
    char acCodes[12];
    int64_t nStartMicros = 0;
    int64_t nEndMicros = 0;
};

// Fills t from the record at p (nLength bytes) without decoding its data;
// false when the bytes are no plausible data record with a positive rate.
bool bReadRecordSpan(const unsigned char* p, size_t nLength, RecordSpan& t);
