// The output record: 512 bytes of MiniSEED, laid out as
//
//   bytes   0..47   SeedFixedHeader (below)
//   bytes  48..55   Blockette1000
//   bytes  56..63   Blockette1001 at rates whose record times need
//                   microseconds (bRateNeedsMicroseconds), else zero
//   bytes  64..511  seven Steim-2 frames of 64 bytes (16 big-endian words,
//                   word 0 the control word; frame 1 words 1 and 2 hold the
//                   first and last sample of the record)
//
// Every multi-byte number in a finished record is big-endian; text fields are
// ASCII padded with blanks. While a record is built, the structures below
// hold their numbers in host order; the encoder's final pass turns them
// big-endian. The structures have no padding: every field sits at its record
// offset by natural alignment, which the static_asserts pin down.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr int nSeedRecordLength = 512;
// The highest rate a record carries as a whole number: its 16-bit signed rate
// factor, with multiplier 1.
constexpr int32_t nMaxSeedRate = 32767;
constexpr int nSeedRecordLengthExponent = 9;  // 2^9 = 512
constexpr int nSeedFrameLength = 64;
constexpr int nSeedFramesPerRecord = nSeedRecordLength / nSeedFrameLength;
constexpr uint16_t nBlockette1000Type = 1000;
constexpr uint8_t nEncodingSteim2 = 11;
constexpr uint8_t nWordOrderBigEndian = 1;

struct SeedTime {
    uint16_t year;    // full Gregorian year
    uint16_t day;     // day of year, 1 = January 1
    uint8_t hours;    // 0..23
    uint8_t minutes;  // 0..59
    uint8_t seconds;  // 0..59
    uint8_t unused;   // 0
    uint16_t fract;   // 1/10,000 seconds, 0..9999
};

struct SeedFixedHeader {
    char SequenceNumber[6];               // six ASCII digits, zero-padded
    char Data_header_indicator;           // 'D'
    char Reserved_bytes_A;                // blank
    char Station_identifier_code[5];      // blank-padded
    char Location_identifier[2];          // -location's code, else blanks
    char Channel_identifier[3];           // blank-padded
    char Network_code[2];                 // -network's code, else blanks
    SeedTime Record_start_time;           // time of the record's first sample
    uint16_t Number_of_samples;           // samples in this record, at most 721
    int16_t Sample_rate_factor;           // whole samples per second
    int16_t Sample_rate_multiplier;       // 1
    uint8_t Activity_flags;               // 0
    uint8_t IO_flags;                     // 0
    uint8_t Data_quality_flags;           // 0
    uint8_t Number_of_blockettes_follow;  // 1
    int32_t Time_correction;              // 0
    uint16_t Beginning_of_data;           // 64
    uint16_t First_blockette;             // 48
};

struct Blockette1000 {
    uint16_t Blockette_type;     // 1000
    uint16_t Next_blockette;     // 0
    uint8_t Encoding_format;     // 11, Steim-2
    uint8_t Word_order;          // 1, big-endian
    uint8_t Data_record_length;  // 9, 2^9 = 512 bytes
    uint8_t Reserved;            // 0
};

// The microseconds a record's start time needs beyond its header's ticks.
struct Blockette1001 {
    uint16_t Blockette_type;  // 1001
    uint16_t Next_blockette;  // 0
    uint8_t Timing_quality;   // 0: the recording states no clock quality
    int8_t Microsec;          // -50 to +49 microseconds to add to the header's time
    uint8_t Reserved;         // 0
    uint8_t Frame_count;      // 0
};

constexpr uint16_t nBlockette1001Type = 1001;

// What every record of one encoder call shares, in host byte order: the
// fixed header of its first record (sequence number, codes, rate) and the
// blockette 1000 each record carries at byte 48; and how the records are
// timed. The 16 bytes from 48 are frame 0's room for blockettes; the data
// begin at byte 64.
//
// Record times: the call's samples are samples nFirstSample on of a stretch
// whose first sample was taken at nStretchStartMicros (microseconds since 1970)
// at nRate samples per second; a record starts at the exact time of its
// first sample, rounded down to a tick of 0.0001 s, or, with
// bBlockette1001, rounded to the nearest microsecond and written as the
// nearest tick plus a blockette 1001 (which blockette 1000 then points to).
struct RecordTemplate {
    SeedFixedHeader tHeader;  // its Record_start_time is set by the encoder
    Blockette1000 tBlockette1000;
    int64_t nStretchStartMicros;
    int64_t nFirstSample;
    int32_t nRate;  // 1 or more
    bool bBlockette1001;
    // The sample before the call's first, from which its first difference
    // is taken: 0 for a segment's first record; the sample before where the
    // call starts inside a segment, so that its records are those the whole
    // segment's encoding gives from there on.
    int32_t nSampleBefore;
};

// True for the rates whose record times 0.0001 s ticks cannot hold closely
// enough for readers to see one continuous trace: above 4900 samples per
// second, except 5000 and 10000, whose ticks are exact.
bool bRateNeedsMicroseconds(int32_t nRate);

// The record start time of nTicks (0 or more) ticks of 0.0001 s since 1970,
// up to the end of 9999.
SeedTime tSeedTimeOfTicks(int64_t nTicks);

static_assert(sizeof(SeedTime) == 10);
static_assert(sizeof(SeedFixedHeader) == 48);
static_assert(sizeof(Blockette1000) == 8);
static_assert(sizeof(Blockette1001) == 8);
static_assert(offsetof(Blockette1001, Microsec) == 5);
static_assert(offsetof(SeedFixedHeader, SequenceNumber) == 0);
static_assert(offsetof(SeedFixedHeader, Data_header_indicator) == 6);
static_assert(offsetof(SeedFixedHeader, Reserved_bytes_A) == 7);
static_assert(offsetof(SeedFixedHeader, Station_identifier_code) == 8);
static_assert(offsetof(SeedFixedHeader, Location_identifier) == 13);
static_assert(offsetof(SeedFixedHeader, Channel_identifier) == 15);
static_assert(offsetof(SeedFixedHeader, Network_code) == 18);
static_assert(offsetof(SeedFixedHeader, Record_start_time) == 20);
static_assert(offsetof(SeedFixedHeader, Number_of_samples) == 30);
static_assert(offsetof(SeedFixedHeader, Sample_rate_factor) == 32);
static_assert(offsetof(SeedFixedHeader, Sample_rate_multiplier) == 34);
static_assert(offsetof(SeedFixedHeader, Activity_flags) == 36);
static_assert(offsetof(SeedFixedHeader, IO_flags) == 37);
static_assert(offsetof(SeedFixedHeader, Data_quality_flags) == 38);
static_assert(offsetof(SeedFixedHeader, Number_of_blockettes_follow) == 39);
static_assert(offsetof(SeedFixedHeader, Time_correction) == 40);
static_assert(offsetof(SeedFixedHeader, Beginning_of_data) == 44);
static_assert(offsetof(SeedFixedHeader, First_blockette) == 46);
static_assert(offsetof(Blockette1000, Encoding_format) == 4);
static_assert(offsetof(Blockette1000, Data_record_length) == 6);

// The fixed header stored at p (48 bytes), its numbers read big-endian when
// bBig, else little-endian, and given in host order.
SeedFixedHeader tLoadFixedHeader(const unsigned char* p, bool bBig);

// Samples per second from a header's rate factor f and multiplier m:
// f*m, -f/m, -m/f or 1/(f*m) by their signs, and 1.0 when either is 0.
double dSeedSampleRate(int16_t nFactor, int16_t nMultiplier);

// Sequence numbers run from 000001 to 999999, then start again at 000001.
constexpr int nMaxSequenceNumber = 999999;

// The sequence number of a channel's nth record (n >= 1): n, wrapped after
// 999999, so that 1000000 gives 1 again.
int nSequenceNumber(int64_t n);

// Writes n (0 to 999999) at p as six decimal digits, zero-padded.
void vPutSequenceNumber(char* p, int n);

// The smallest unit a MiniSEED record length is made of: every valid record
// length (2^7 to 2^16 bytes) is a whole number of these.
constexpr int nSeedLengthUnit = 128;

// True when the nSize bytes at p begin like a MiniSEED data record: six
// digits or blanks (the sequence number), a quality code D, R, Q or M, then
// a blank or NUL. False for anything shorter than those 8 bytes.
bool bLooksLikeDataRecord(const uint8_t* p, size_t nSize);
