// Reading MiniSEED records back: big-endian header fields, blockette 1000,
// and the Steim-2 frames unpacked into samples (SteimFrames), with the
// checks of a careful reader. Every read is bounded by the record's length.
#include "mseed/Steim2Decoder.h"

#include <cmath>
#include <cstddef>
#include <cstring>

#include "mseed/ByteOrder.h"
#include "mseed/SteimFrames.h"

namespace {

uint16_t nBig16(const unsigned char* p) {
    return nLoad16(p, true);
}

void vAddError(DecodedRecord& r, const std::string& s) {
    if (!r.sError.empty()) r.sError += "; ";
    r.sError += s;
}

std::string sTrimmed(const char* p, size_t n) {
    while (n > 0 && (p[n - 1] == ' ' || p[n - 1] == '\0')) --n;
    return std::string(p, n);
}

void vCheckHeader(DecodedRecord& r) {
    const SeedFixedHeader& h = r.tHeader;
    int32_t v = 0;
    for (char c : h.SequenceNumber) {
        if (c < '0' || c > '9') {
            v = -1;
            break;
        }
        v = v * 10 + (c - '0');
    }
    r.nSequenceNumber = v;
    if (v < 0) vAddError(r, "sequence number is not six digits");
    const char q = h.Data_header_indicator;
    if (q != 'D' && q != 'R' && q != 'Q' && q != 'M') vAddError(r, "no data header indicator");
    const SeedTime& t = h.Record_start_time;
    if (t.day < 1 || t.day > 366 || t.hours > 23 || t.minutes > 59 || t.seconds > 60 ||
        t.fract > 9999)
        vAddError(r, "invalid start time");
    r.sStation = sTrimmed(h.Station_identifier_code, 5);
    r.sLocation = sTrimmed(h.Location_identifier, 2);
    r.sChannel = sTrimmed(h.Channel_identifier, 3);
    r.sNetwork = sTrimmed(h.Network_code, 2);
}

// Whether blockette 1000's link nAt leads to a blockette 1001. A link to
// another blockette, or beyond the blockettes' room before the data, does
// not.
bool bLinksToBlockette1001(const unsigned char* p, uint16_t nAt) {
    return nAt >= 56 && nAt + 8 <= 64 && nBig16(p + nAt) == nBlockette1001Type;
}

// The microseconds of the start time in the blockette 1001 at nAt.
int nMicrosecAt(const unsigned char* p, uint16_t nAt) {
    return static_cast<int8_t>(p[nAt + offsetof(Blockette1001, Microsec)]);
}

// The blockette 1001 that blockette 1000 links to at nAt, if any.
void vReadBlockette1001(DecodedRecord& r, const unsigned char* p, uint16_t nAt) {
    if (!bLinksToBlockette1001(p, nAt)) return;
    r.bHasBlockette1001 = true;
    r.nMicrosec = nMicrosecAt(p, nAt);
}

// Microseconds since 1970 of start time t with a blockette 1001's nMicrosec.
int64_t nStartMicros(const SeedTime& t, int nMicrosec) {
    const int64_t nSeconds = nEpochSeconds(t.year, t.day, t.hours, t.minutes, t.seconds);
    return nSeconds * 1000000 + t.fract * 100 + nMicrosec;
}

// Blockette 1000 at byte 48, announced by the header; false if unusable.
bool bReadBlockette1000(DecodedRecord& r, const unsigned char* p, size_t nLength) {
    if (r.tHeader.First_blockette != 48 || r.tHeader.Number_of_blockettes_follow < 1 ||
        nBig16(p + 48) != nBlockette1000Type) {
        vAddError(r, "no blockette 1000 at byte 48");
        return false;
    }
    r.bHasBlockette1000 = true;
    Blockette1000& b = r.tBlockette1000;
    std::memcpy(&b, p + 48, sizeof b);
    b.Blockette_type = nBig16(p + 48);
    b.Next_blockette = nBig16(p + 50);
    bool bOk = true;
    if (b.Encoding_format != nEncodingSteim2) {
        vAddError(r, "encoding " + std::to_string(b.Encoding_format) + " is not Steim-2 (11)");
        bOk = false;
    }
    if (b.Word_order != nWordOrderBigEndian) {
        vAddError(r, "word order is not big-endian");
        bOk = false;
    }
    if (b.Data_record_length != nSeedRecordLengthExponent ||
        nLength != static_cast<size_t>(nSeedRecordLength)) {
        vAddError(r, "record length is not 512 bytes (exponent " +
                         std::to_string(b.Data_record_length) + ")");
        bOk = false;
    }
    vReadBlockette1001(r, p, b.Next_blockette);
    const uint16_t nBegin = r.tHeader.Beginning_of_data;
    if (nBegin < 56 || nBegin % 64 != 0 || nBegin >= nLength) {
        vAddError(r, "beginning of data " + std::to_string(nBegin) + " is not a frame");
        bOk = false;
    }
    return bOk;
}

void vDecodeFrames(DecodedRecord& r, const unsigned char* p, size_t nLength) {
    const SteimFrames t =
        tUnpackSteimFrames(p, r.tHeader.Beginning_of_data, nLength, 2, true, SIZE_MAX);
    for (const std::string& s : t.asProblems) vAddError(r, s);
    r.nX0 = t.nX0;
    r.nXn = t.nXn;
    if (t.bBroken) return;
    const size_t nSamples = r.tHeader.Number_of_samples;
    if (t.anDiffs.size() != nSamples) {
        vAddError(r, "header says " + std::to_string(nSamples) + " samples, frames hold " +
                         std::to_string(t.anDiffs.size()));
        return;
    }
    if (nSamples == 0) return;
    r.nFirstDifference = t.anDiffs[0];
    r.anSamples = anIntegrateSteim(t, nSamples);
    if (r.anSamples.back() != r.nXn)
        vAddError(r, "last sample " + std::to_string(r.anSamples.back()) + " differs from Xn " +
                         std::to_string(r.nXn));
}

}  // namespace

DecodedRecord tDecodeRecord(const unsigned char* p, size_t nLength) {
    DecodedRecord r;
    if (nLength < 64) {
        vAddError(r, "record of " + std::to_string(nLength) + " bytes is too short");
        return r;
    }
    r.tHeader = tLoadFixedHeader(p, true);
    vCheckHeader(r);
    if (bReadBlockette1000(r, p, nLength)) vDecodeFrames(r, p, nLength);
    return r;
}

std::vector<DecodedRecord> atDecodeRecords(const void* p, size_t nBytes) {
    std::vector<DecodedRecord> at;
    const unsigned char* pc = static_cast<const unsigned char*>(p);
    const size_t nLen = static_cast<size_t>(nSeedRecordLength);
    for (size_t nOffset = 0; nOffset < nBytes; nOffset += nLen) {
        const size_t nRecord = nBytes - nOffset < nLen ? nBytes - nOffset : nLen;
        at.push_back(tDecodeRecord(pc + nOffset, nRecord));
        at.back().nOffset = nOffset;
    }
    return at;
}

double dRecordRate(const DecodedRecord& r) {
    return dSeedSampleRate(r.tHeader.Sample_rate_factor, r.tHeader.Sample_rate_multiplier);
}

int64_t nRecordStartMicros(const DecodedRecord& r) {
    return nStartMicros(r.tHeader.Record_start_time, r.nMicrosec);
}

EpochTime tRecordStart(const DecodedRecord& r) {
    const int64_t nMicros = nRecordStartMicros(r);
    const int64_t nSeconds = nMicros / 1000000 - (nMicros % 1000000 < 0 ? 1 : 0);
    return static_cast<double>(nSeconds) + static_cast<double>(nMicros - nSeconds * 1000000) / 1e6;
}

EpochTime tRecordLastSample(const DecodedRecord& r) {
    const size_t n = r.tHeader.Number_of_samples;
    if (n == 0) return tRecordStart(r);
    return tRecordStart(r) + static_cast<double>(n - 1) / dRecordRate(r);
}

bool bReadRecordSpan(const unsigned char* p, size_t nLength, RecordSpan& t) {
    if (nLength < 64 || !bLooksLikeDataRecord(p, nLength)) return false;
    const SeedFixedHeader h = tLoadFixedHeader(p, true);
    const double dRate = dSeedSampleRate(h.Sample_rate_factor, h.Sample_rate_multiplier);
    if (!(dRate > 0)) return false;
    // A blockette 1001's microseconds count where blockette 1000 links to one.
    const uint16_t nNext = nBig16(p + 50);
    const bool b1001 = nBig16(p + 48) == nBlockette1000Type && bLinksToBlockette1001(p, nNext);
    std::memcpy(t.acCodes, p + 8, sizeof t.acCodes);
    t.nStartMicros = nStartMicros(h.Record_start_time, b1001 ? nMicrosecAt(p, nNext) : 0);
    t.nEndMicros = t.nStartMicros + std::llround(h.Number_of_samples * 1e6 / dRate);
    return true;
}
