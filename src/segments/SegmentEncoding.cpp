// Segment encoding: fills a segment's record template, compresses its
// samples with Steim-2 into an output area sized up front, and writes the
// per-record console lines as text. Names that do not fit their header
// fields (station 5, channel 3 characters) are cut to the field; the
// conversion run warns about them, naming the input.
#include "segments/SegmentEncoding.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "mseed/Steim2Encoder.h"
#include "segments/CText.h"
#include "segments/DecimalText.h"
#include "timeconv/CalendarTime.h"
#include "timeconv/SampleTime.h"

namespace {

struct ChannelAlias {
    const char* szGiven;
    const char* szWritten;
};
constexpr ChannelAlias aChannelAliases[] = {{"BHZ", "BHZ"}, {"BHN", "BHN"}, {"BHE", "BHE"}};

constexpr int nSamplesPerRecordAtLeast = 103;  // every full record carries at least this many

// Copies szText into the blank-filled field of nWidth bytes at pField, cut
// to the field.
void vPutName(char* pField, size_t nWidth, const char* szText) {
    if (szText == nullptr) szText = "";
    std::memcpy(pField, szText, std::min(std::strlen(szText), nWidth));
}

// The rate as the header's factor: truncated toward zero, its low 16 bits
// (0 for a rate that is not a finite number within the int range).
int16_t nRateFactor(double dSampleRate) {
    const double dWhole = std::trunc(dSampleRate);
    if (!(dWhole > -2147483649.0 && dWhole < 2147483648.0)) return 0;
    return static_cast<int16_t>(static_cast<uint16_t>(static_cast<int64_t>(dWhole)));
}

// Appends "Seed block counts N\n" to s; N is a record's 16-bit sample count.
void vAppendCountLine(std::string& s, unsigned nCount) {
    char acDigits[20];
    s += "Seed block counts ";
    s.append(acDigits, pPutUnsigned(acDigits, nCount));
    s += '\n';
}

}  // namespace

RecordTemplate tRecordTemplate(const char* szNetwork, const char* szStation, const char* szChannel,
                               double dSampleRate, const char* szLocation) {
    RecordTemplate t;
    std::memset(&t, 0, sizeof t);
    SeedFixedHeader& h = t.tHeader;
    vPutSequenceNumber(h.SequenceNumber, 1);
    std::memset(h.Station_identifier_code, ' ', sizeof h.Station_identifier_code);
    std::memset(h.Location_identifier, ' ', sizeof h.Location_identifier);
    std::memset(h.Channel_identifier, ' ', sizeof h.Channel_identifier);
    std::memset(h.Network_code, ' ', sizeof h.Network_code);
    vPutName(h.Station_identifier_code, sizeof h.Station_identifier_code, szStation);
    vPutName(h.Location_identifier, sizeof h.Location_identifier, szLocation);
    if (szChannel == nullptr) szChannel = "";
    std::vector<char> acTranslated(std::max<size_t>(std::strlen(szChannel), 3) + 1);
    vTranslateChannel(szChannel, acTranslated.data());
    vPutName(h.Channel_identifier, sizeof h.Channel_identifier, acTranslated.data());
    vPutName(h.Network_code, sizeof h.Network_code, szNetwork);
    h.Sample_rate_factor = nRateFactor(dSampleRate);
    h.Sample_rate_multiplier = 1;
    t.nRate = h.Sample_rate_factor > 0 ? h.Sample_rate_factor : 1;
    t.bBlockette1001 = bRateNeedsMicroseconds(t.nRate);
    // Blockette 1000 points to the blockette 1001 right behind it.
    const uint16_t nNext = t.bBlockette1001 ? sizeof h + sizeof(Blockette1000) : 0;
    t.tBlockette1000 =
        Blockette1000{nBlockette1000Type,        nNext, nEncodingSteim2, nWordOrderBigEndian,
                      nSeedRecordLengthExponent, 0};
    return t;
}

void vSetHeaderTime(RecordTemplate* pTemplate, int64_t nStretchStartMicros, int64_t nFirstSample,
                    char (&acLine)[64]) {
    pTemplate->nStretchStartMicros = nStretchStartMicros;
    pTemplate->nFirstSample = nFirstSample;
    const int64_t nLastMillis = static_cast<int64_t>(tLastCalendarSecond) * 1000 + 999;
    const int64_t nMillis = std::clamp<int64_t>(
        nNearestMillis(tSampleTime(nStretchStartMicros, nFirstSample, pTemplate->nRate)), 0,
        nLastMillis);
    const UtcFields t = tSplitEpochSeconds(nMillis / 1000);
    std::snprintf(acLine, sizeof acLine, "vSetHeaderTime %02d:%02d:%02d-%04d %03d.%04d\n", t.nHour,
                  t.nMinute, t.nSecond, static_cast<int>(nMillis % 1000), t.nDayOfYear,
                  static_cast<int>(t.nYear));
}

void vTranslateChannel(const char* szName, char* szOut) {
    const CText strName(szName);
    for (const ChannelAlias& tAlias : aChannelAliases) {
        if (strName.nCompareNoCase(tAlias.szGiven) == 0) {
            std::strcpy(szOut, tAlias.szWritten);
            return;
        }
    }
    std::strcpy(szOut, szName);
}

namespace {

// Records the encoder may make of nCount samples, at most.
size_t nRecordsAtMost(int64_t nCount) {
    return static_cast<size_t>((nCount + nSamplesPerRecordAtLeast - 1) / nSamplesPerRecordAtLeast);
}

// Makes t's area ready for nRecords records of nCount samples: room for
// every record, zero-filled. An area used before is zero beyond the records
// its last use wrote (and the one it may have begun), so only those are
// cleared again.
void vPrepareArea(EncodedSegment& t, size_t nRecords, int nCount) {
    const size_t nAreaBytes =
        std::max(static_cast<size_t>(nCount) * 8, nRecords * nSeedRecordLength);
    const size_t nUsedWords = (static_cast<size_t>(t.nRecords) + 1) * nSeedRecordLength / 4;
    std::fill_n(t.anArea.begin(), std::min(nUsedWords, t.anArea.size()), 0u);
    if (t.anArea.size() < nAreaBytes / sizeof(uint32_t))
        t.anArea.resize(nAreaBytes / sizeof(uint32_t), 0);
    t.nRecords = 0;
    t.sCountLines.clear();
    t.atPieces.clear();
}

// Encodes the samples of range r behind t's records, as piece p.
void vEncodePiece(const RecordTemplate& tTemplate, const int32_t* pnSamples, const SampleRange& r,
                  EncodedSegment& t, EncodedPiece& p) {
    p.nFirstRecord = t.nRecords;
    p.nLinesFrom = t.sCountLines.size();
    uint32_t* pOut = t.anArea.data() + static_cast<size_t>(t.nRecords) * nSeedRecordLength / 4;
    p.nRecords =
        nCompressSteim2(pnSamples + r.nFirst, static_cast<uint32_t>(r.nCount), tTemplate, pOut);
    const unsigned char* pArea = reinterpret_cast<const unsigned char*>(pOut);
    for (int k = 0; k < p.nRecords; ++k) {
        const unsigned char* pCount =
            pArea + k * nSeedRecordLength + offsetof(SeedFixedHeader, Number_of_samples);
        vAppendCountLine(t.sCountLines, (pCount[0] << 8) | pCount[1]);
    }
    t.nRecords += p.nRecords;
    p.nLinesTo = t.sCountLines.size();
}

}  // namespace

void vEncodeNothing(EncodedSegment& t) {
    vPrepareArea(t, 0, 0);
}

void vEncodeSegment(const RecordTemplate& tTemplate, const int32_t* pnSamples, int nCount,
                    EncodedSegment& t, const CHeldSamples* pHeld) {
    std::vector<SampleRange> atRanges;
    if (pHeld == nullptr) {
        atRanges.push_back({0, nCount});
    } else {
        pHeld->vNotHeld(tTemplate.nStretchStartMicros, tTemplate.nFirstSample, nCount, atRanges);
    }
    size_t nRecords = 0;
    for (const SampleRange& r : atRanges) nRecords += nRecordsAtMost(r.nCount);
    vPrepareArea(t, nRecords, nCount);
    for (const SampleRange& r : atRanges) {
        EncodedPiece& p = t.atPieces.emplace_back();
        RecordTemplate tPiece = tTemplate;
        // A piece inside the segment starts where the segment's own records
        // would be at its first sample: its time, and the difference from
        // the sample before it.
        vSetHeaderTime(&tPiece, tTemplate.nStretchStartMicros, tTemplate.nFirstSample + r.nFirst,
                       p.acTimeLine);
        if (r.nFirst > 0) tPiece.nSampleBefore = pnSamples[r.nFirst - 1];
        vEncodePiece(tPiece, pnSamples, r, t, p);
    }
}
