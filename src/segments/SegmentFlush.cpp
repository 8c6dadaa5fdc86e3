// The segment flush: fills the header template and blockette 1000 of one
// segment, compresses its samples with Steim-2 into 512-byte records, then
// numbers them, prints the progress lines "Seed block number",
// "vSetHeaderTime" and "Seed block counts", queues them for the output
// (written in batches) and advances the record counter.
//
// Names that do not fit their header fields (station 5, channel 3
// characters) are cut to the field. The writer's network code goes into
// every record after encoding.
#include "segments/SegmentFlush.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "mseed/ByteOrder.h"
#include "mseed/Steim2Encoder.h"
#include "segments/DecimalText.h"
#include "segments/SeedWriter.h"
#include "segments/SegmentPipeline.h"

namespace {

struct ChannelAlias {
    const char* szGiven;
    const char* szWritten;
};
constexpr ChannelAlias aChannelAliases[] = {{"BHZ", "BHZ"}, {"BHN", "BHN"}, {"BHE", "BHE"}};

constexpr int nStationWidth = 5;
constexpr int nChannelWidth = 3;
constexpr int nSamplesPerRecordAtLeast = 103;  // every full record carries at least this many

// Writes n (0 .. 999999) as six digits at p.
void vPutSequenceDigits(unsigned char* p, int n) {
    for (int k = 5; k >= 0; --k) {
        p[k] = static_cast<unsigned char>('0' + n % 10);
        n /= 10;
    }
}

// Appends "Seed block counts N\n" to s; N is a record's 16-bit sample count.
void vAppendCountLine(std::string& s, unsigned nCount) {
    char acDigits[20];
    s += "Seed block counts ";
    s.append(acDigits, pPutUnsigned(acDigits, nCount));
    s += '\n';
}

// Copies szName into a blank-filled field of nWidth bytes, cut to the field.
// The conversion run warns about names that do not fit, naming the input.
void vPutName(char* pField, int nWidth, const char* szName) {
    if (szName == nullptr) szName = "";
    std::memcpy(pField, szName, std::min(std::strlen(szName), static_cast<size_t>(nWidth)));
}

// The rate as the header's factor: truncated toward zero, its low 16 bits
// (0 for a rate that is not a finite number within the int range).
int16_t nRateFactor(double dRate) {
    const double dWhole = std::trunc(dRate);
    if (!(dWhole > -2147483649.0 && dWhole < 2147483648.0)) return 0;
    return static_cast<int16_t>(static_cast<uint16_t>(static_cast<int64_t>(dWhole)));
}

}  // namespace

int nSequenceDigits(int nBlock) {
    return nBlock < 1 ? nBlock : (nBlock - 1) % 999999 + 1;
}

void vFillHeaderTime(SeedFixedHeader* pHeader, EpochTime t, char (&acLine)[64]) {
    int32_t nYear, nDay, nHour, nMinute, nSecond, nMillisecond;
    vEpochToCalendar(t, nYear, nDay, nHour, nMinute, nSecond, nMillisecond);
    SeedTime& tTime = pHeader->Record_start_time;
    tTime.year = static_cast<uint16_t>(nYear);
    tTime.day = static_cast<uint16_t>(nDay);
    tTime.hours = static_cast<uint8_t>(nHour);
    tTime.minutes = static_cast<uint8_t>(nMinute);
    tTime.seconds = static_cast<uint8_t>(nSecond);
    tTime.fract = static_cast<uint16_t>(nMillisecond * 10);
    std::snprintf(acLine, sizeof acLine, "vSetHeaderTime %02d:%02d:%02d-%04d %03d.%04d\n", nHour,
                  nMinute, nSecond, nMillisecond, nDay, nYear);
}

void vSetHeaderTime(SeedFixedHeader* pHeader, EpochTime t) {
    char acLine[64];
    vFillHeaderTime(pHeader, t, acLine);
    std::fputs(acLine, stdout);
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

void vEncodeSegment(const char* szStation, const char* szChannel, double dRate, EpochTime tStart,
                    const int32_t* pnSamples, int nCount, EncodedSegment& t) {
    // Output area: room for every record the encoder may make, zero-filled.
    // An area used before is zero beyond the records its last use wrote
    // (and the one it may have begun), so only those are cleared again.
    const size_t nRecordsAtMost =
        (static_cast<size_t>(nCount) + nSamplesPerRecordAtLeast - 1) / nSamplesPerRecordAtLeast;
    const size_t nAreaBytes =
        std::max(static_cast<size_t>(nCount) * 8, nRecordsAtMost * nSeedRecordLength);
    const size_t nUsedWords = (static_cast<size_t>(t.nRecords) + 1) * nSeedRecordLength / 4;
    std::fill_n(t.anArea.begin(), std::min(nUsedWords, t.anArea.size()), 0u);
    if (t.anArea.size() < nAreaBytes / sizeof(uint32_t))
        t.anArea.resize(nAreaBytes / sizeof(uint32_t), 0);

    SeedFixedHeader tHeader;
    std::memset(&tHeader, 0, sizeof tHeader);
    tHeader.Sample_rate_factor = nRateFactor(dRate);
    tHeader.Sample_rate_multiplier = 1;
    std::memcpy(tHeader.SequenceNumber, "000001", sizeof tHeader.SequenceNumber);
    vFillHeaderTime(&tHeader, tStart, t.acTimeLine);

    std::memset(tHeader.Station_identifier_code, ' ', 10);  // station, location, channel
    vPutName(tHeader.Station_identifier_code, nStationWidth, szStation);
    if (szChannel == nullptr) szChannel = "";
    std::vector<char> acTranslated(std::max<size_t>(std::strlen(szChannel), 3) + 1);
    vTranslateChannel(szChannel, acTranslated.data());
    vPutName(tHeader.Channel_identifier, nChannelWidth, acTranslated.data());

    Blockette1000 tBlockette;
    tBlockette.Blockette_type = nBlockette1000Type;
    tBlockette.Next_blockette = 0;
    tBlockette.Encoding_format = nEncodingSteim2;
    tBlockette.Word_order = nWordOrderBigEndian;
    tBlockette.Data_record_length = nSeedRecordLengthExponent;
    tBlockette.Reserved = 0;

    t.nRecords =
        nCompressSteim2(pnSamples, &tHeader, static_cast<uint32_t>(nCount), nSeedRecordLength,
                        t.anArea.data(), 1, sizeof tBlockette, &tBlockette, 0, 0, nullptr);
    const unsigned char* pArea = reinterpret_cast<const unsigned char*>(t.anArea.data());
    t.sCountLines.clear();
    for (int k = 0; k < t.nRecords; ++k) {
        const unsigned char* pCount = pArea + k * nSeedRecordLength + 30;
        vAppendCountLine(t.sCountLines, (pCount[0] << 8) | pCount[1]);
    }
}

void CSeedWriter::vEmitSegment(EncodedSegment& t) {
    unsigned char* pArea = reinterpret_cast<unsigned char*>(t.anArea.data());
    for (int k = 0; k < t.nRecords; ++k) {
        unsigned char* pRecord = pArea + k * nSeedRecordLength;
        vPutSequenceDigits(pRecord, nSequenceDigits(nNextBlock + k));
        // The encoder blanks the network field of every record it starts.
        std::memcpy(pRecord + offsetof(SeedFixedHeader, Reserved_bytes_B), m_acNetwork,
                    sizeof m_acNetwork);
    }
    char szNumber[16];
    std::snprintf(szNumber, sizeof szNumber, "%06d", nSequenceDigits(nNextBlock));
    std::fputs("Seed block number ", stdout);
    std::fputs(szNumber, stdout);
    std::fputc('\n', stdout);
    std::fputs(t.acTimeLine, stdout);
    std::fwrite(t.sCountLines.data(), 1, t.sCountLines.size(), stdout);
    nNextBlock += t.nRecords;
    vWriteAll(pArea, static_cast<size_t>(t.nRecords) * nSeedRecordLength);
}

void CSeedWriter::vDispatchSegment(const char* szStation, const CChannelSegment& g) {
    const char* szChannel = g.strName.szGetText();
    if (!m_pPipeline) {
        vEncodeSegment(szStation, szChannel, g.dSampleRate, g.tStart, g.anBuffer, g.nSampleCount,
                       m_tEncoded);
        vEmitSegment(m_tEncoded);
        return;
    }
    std::unique_ptr<SegmentJob> pJob = pStartJob(szStation, szChannel, g.dSampleRate, g.tStart);
    pJob->anSamples.assign(g.anBuffer, g.anBuffer + g.nSampleCount);
    m_pPipeline->vSubmit(std::move(pJob));
}

void CSeedWriter::vFlushSegment(int nStation, int nChannel) {
    if (nStation < 0 || nStation >= nGetStationCount()) return;
    const CStationEntry& tEntry = *pGetStation(nStation);
    if (nChannel < 0 || nChannel >= tEntry.nGetChannelCount()) return;
    CChannelSegment& g = *tEntry.pGetChannel(nChannel);
    if (g.nSampleCount <= 0) return;
    vDispatchSegment(tEntry.strName.szGetText(), g);
    g.tStart = 0;
    g.dDuration = 0;
    g.nSampleCount = 0;
}
