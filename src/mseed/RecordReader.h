// A reader of MiniSEED 2 data records of any writer: either byte order,
// blockettes 100, 1000 and 1001 anywhere in the chain, record lengths of 128
// to 65536 bytes, and data as 16- or 32-bit integers, Steim-1 or Steim-2.
// What an archive's day files hold is read with it before anything is
// written into them, so it is strict where a record's samples or times
// would be in doubt and says why in one phrase.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct ReadRecord {
    size_t nLength = 0;  // record length in bytes from blockette 1000 (128..65536); 0 when unknown
    char acCodes[12] = {};  // record bytes 8..19 as stored: station(5) location(2) channel(3)
                            // network(2)
    int32_t nSequenceNumber = -1;  // the six-digit sequence number, -1 when it is not six digits
    int64_t nStartMicros = 0;      // time of the first sample, microseconds since 1970: header time
                                   // + blockette 1001 microseconds + the time correction unless the
                                   // activity flags say it is applied already
    bool bMicroseconds = false;    // a blockette 1001 is present: times are good to 1 us, else to
                                   // 100 us
    double dRate = 0;         // samples per second: blockette 100's actual rate when present, else
                              // factor and multiplier; 0 for records without a rate
    int16_t nRateFactor = 0;  // the header's rate factor and multiplier as stored
    int16_t nRateMultiplier = 0;
    bool bBlockette100 = false;      // dRate is blockette 100's
    std::vector<int32_t> anSamples;  // empty when sError is set
    std::string sError;  // empty when the record was read soundly, else why not (one phrase)
};

// Reads the data record at p, of which nAvailable bytes exist (never reads
// beyond them); the header's byte order is found from its start time fields
// (and where both orders give a date, from the first blockette's offset),
// the data's from blockette 1000's word order. Safe on arbitrary bytes.
ReadRecord tReadRecord(const unsigned char* p, size_t nAvailable);
// The same into r, whose sample buffer is reused: a reader of many records
// allocates once.
void vReadRecord(ReadRecord& r, const unsigned char* p, size_t nAvailable);

// The exact time of sample i (>= 0) of r relative to its start, in
// microseconds (rounded down), from dRate: from the rate factor and
// multiplier as an exact fraction, or from blockette 100's rate as stored;
// 0 when r has no rate.
int64_t nSampleOffsetMicros(const ReadRecord& r, int64_t i);
