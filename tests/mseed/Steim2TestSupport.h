// Helpers shared by the encoder, decoder and cross-check tests: a record
// template and big-endian reads of the encoder's output.
#pragma once

#include <cstdint>
#include <cstring>
#include <vector>

#include "mseed/ByteOrder.h"
#include "mseed/SeedRecord.h"
#include "mseed/Steim2Encoder.h"
#include "segments/SegmentEncoding.h"
#include "timeconv/CalendarTime.h"

namespace steim2test {

// Microseconds since 1970 of a record start time.
inline int64_t nMicrosOf(const SeedTime& t) {
    const int64_t nSeconds =
        (nDaysBeforeYear(t.year) + t.day - 1) * 86400 + t.hours * 3600 + t.minutes * 60 + t.seconds;
    return nSeconds * 1000000 + t.fract * 100;
}

// A template as the writer makes it (station ABC, channel BHZ, blank
// network) with the given sequence number, start and rate.
inline RecordTemplate tTemplate(const char* szSeq = "000001", uint16_t nYear = 2004,
                                uint16_t nDay = 60, uint8_t nHour = 23, uint8_t nMinute = 59,
                                uint8_t nSecond = 59, uint16_t nFract = 5000,
                                int16_t nRateFactor = 100) {
    RecordTemplate t = tRecordTemplate("", "ABC", "BHZ", nRateFactor);
    std::memcpy(t.tHeader.SequenceNumber, szSeq, 6);
    t.nStretchStartMicros = nMicrosOf(SeedTime{nYear, nDay, nHour, nMinute, nSecond, 0, nFract});
    return t;
}

// Words enough for every record the encoder may write for nCount samples.
inline size_t nOutputWords(size_t nCount) {
    return 128 * ((nCount + 102) / 103 + 1);
}

// Runs the encoder the way the segment flush does; returns the records.
struct Encoded {
    int nRecords = 0;
    std::vector<uint32_t> anWords;
    const unsigned char* pBytes() const {
        return reinterpret_cast<const unsigned char*>(anWords.data());
    }
    // Big-endian 32-bit word at byte nOffset of record k.
    uint32_t nWordAt(int k, size_t nOffset) const {
        uint32_t n;
        std::memcpy(&n, pBytes() + 512 * static_cast<size_t>(k) + nOffset, 4);
        return nFromBig32(n);
    }
    uint16_t nHalfAt(int k, size_t nOffset) const {
        uint16_t n;
        std::memcpy(&n, pBytes() + 512 * static_cast<size_t>(k) + nOffset, 2);
        return nFromBig16(n);
    }
    unsigned char nByteAt(int k, size_t nOffset) const {
        return pBytes()[512 * static_cast<size_t>(k) + nOffset];
    }
    // Data word j (0..15) of frame f of record k.
    uint32_t nFrameWord(int k, int f, int j) const { return nWordAt(k, 64 * f + 4 * j); }
    uint16_t nSamples(int k) const { return nHalfAt(k, 30); }
};

using CompressFn = int (*)(const int32_t*, uint32_t, const RecordTemplate&, uint32_t*);

inline Encoded tEncode(const std::vector<int32_t>& an, const RecordTemplate& tTemplate,
                       CompressFn fn = nCompressSteim2) {
    Encoded e;
    e.anWords.assign(nOutputWords(an.size()), 0);
    e.nRecords = fn(an.data(), static_cast<uint32_t>(an.size()), tTemplate, e.anWords.data());
    return e;
}

inline Encoded tEncode(const std::vector<int32_t>& an) {
    return tEncode(an, tTemplate());
}

}  // namespace steim2test
