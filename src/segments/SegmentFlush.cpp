// The segment flush: fills the header template and blockette 1000 of one
// segment, compresses its samples with Steim-2 into 512-byte records, writes
// them with one descriptor write, advances the record counter and prints the
// progress lines "Seed block number", "vSetHeaderTime" and "Seed block counts".
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
#include "segments/SeedWriter.h"

namespace {

struct ChannelAlias {
    const char* szGiven;
    const char* szWritten;
};
constexpr ChannelAlias aChannelAliases[] = {{"BHZ", "BHZ"}, {"BHN", "BHN"}, {"BHE", "BHE"}};

constexpr int nStationWidth = 5;
constexpr int nChannelWidth = 3;
constexpr int nSamplesPerRecordAtLeast = 103;  // every full record carries at least this many

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

void vSetHeaderTime(SeedFixedHeader* pHeader, EpochTime t) {
    int32_t nYear, nDay, nHour, nMinute, nSecond, nMillisecond;
    vEpochToCalendar(t, nYear, nDay, nHour, nMinute, nSecond, nMillisecond);
    SeedTime& tTime = pHeader->Record_start_time;
    tTime.year = static_cast<uint16_t>(nYear);
    tTime.day = static_cast<uint16_t>(nDay);
    tTime.hours = static_cast<uint8_t>(nHour);
    tTime.minutes = static_cast<uint8_t>(nMinute);
    tTime.seconds = static_cast<uint8_t>(nSecond);
    tTime.fract = static_cast<uint16_t>(nMillisecond * 10);
    std::printf("vSetHeaderTime %02d:%02d:%02d-%04d %03d.%04d\n", nHour, nMinute, nSecond,
                nMillisecond, nDay, nYear);
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

void CSeedWriter::vFlushSegment(int nStation, int nChannel) {
    if (nStation < 0 || nStation >= nGetStationCount()) return;
    const CStationEntry& tEntry = *pGetStation(nStation);
    if (nChannel < 0 || nChannel >= tEntry.nGetChannelCount()) return;
    CChannelSegment& g = *tEntry.pGetChannel(nChannel);
    if (g.nSampleCount <= 0) return;

    // Output area: room for every record the encoder may make, zero-filled.
    const size_t nRecordsAtMost =
        (static_cast<size_t>(g.nSampleCount) + nSamplesPerRecordAtLeast - 1) /
        nSamplesPerRecordAtLeast;
    const size_t nAreaBytes =
        std::max(static_cast<size_t>(g.nSampleCount) * 8, nRecordsAtMost * nSeedRecordLength);
    std::vector<uint32_t> anArea(nAreaBytes / sizeof(uint32_t), 0);

    SeedFixedHeader tHeader;
    std::memset(&tHeader, 0, sizeof tHeader);
    tHeader.Sample_rate_factor = nRateFactor(g.dSampleRate);
    tHeader.Sample_rate_multiplier = 1;

    char szNumber[16];
    std::snprintf(szNumber, sizeof szNumber, "%06d", nSequenceDigits(nNextBlock));
    std::printf("Seed block number %s\n", szNumber);
    std::memcpy(tHeader.SequenceNumber, szNumber, sizeof tHeader.SequenceNumber);

    vSetHeaderTime(&tHeader, g.tStart);

    std::memset(tHeader.Station_identifier_code, ' ', 10);  // station, location, channel
    vPutName(tHeader.Station_identifier_code, nStationWidth, tEntry.strName.szGetText());
    const char* szChannel = g.strName.szGetText() ? g.strName.szGetText() : "";
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

    const int nRecords = nCompressSteim2(
        g.anBuffer, &tHeader, static_cast<uint32_t>(g.nSampleCount), nSeedRecordLength,
        anArea.data(), 1, sizeof tBlockette, &tBlockette, 0, 0, nullptr);
    nNextBlock += nRecords;

    unsigned char* pArea = reinterpret_cast<unsigned char*>(anArea.data());
    for (int k = 0; k < nRecords; ++k) {
        // The encoder blanks the network field of every record it starts.
        std::memcpy(pArea + k * nSeedRecordLength + offsetof(SeedFixedHeader, Reserved_bytes_B),
                    m_acNetwork, sizeof m_acNetwork);
        const unsigned char* pCount = pArea + k * nSeedRecordLength + 30;
        std::printf("Seed block counts %d\n", (pCount[0] << 8) | pCount[1]);
    }

    vWriteAll(pArea, static_cast<size_t>(nRecords) * nSeedRecordLength);

    g.tStart = 0;
    g.dDuration = 0;
    g.nSampleCount = 0;
}
