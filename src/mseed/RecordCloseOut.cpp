// Record close-out: integration constants, header and blockette of a
// finished record, the next record's start time and sequence number, and the
// final byte-order pass over all records of an encoder call.
#include "mseed/RecordCloseOut.h"

#include <cstring>

#include "mseed/ByteOrder.h"
#include "timeconv/CalendarTime.h"

namespace {

unsigned char* pRecordBytes(uint32_t* pnOutput, uint32_t nRecBase) {
    return reinterpret_cast<unsigned char*>(pnOutput + nRecBase);
}

// Start time advanced by the duration of nSamples samples, in whole ticks of
// 1/10,000 s; the part of a tick not yet accounted for stays in dTickFrac.
void vAdvanceStartTime(SeedTime& t, unsigned nSamples, Steim2State* pState) {
    const double x = static_cast<double>(nSamples) * 10000.0 / pState->dRate + pState->dTickFrac;
    const uint32_t T = static_cast<uint32_t>(x);
    pState->dTickFrac = x - static_cast<double>(T);

    const uint32_t S = T / 10000;
    const uint32_t R = T % 10000;
    const uint32_t nTicks = t.fract + R;
    t.fract = static_cast<uint16_t>(nTicks % 10000);
    const uint32_t nSeconds = t.seconds + S + nTicks / 10000;
    t.seconds = static_cast<uint8_t>(nSeconds % 60);
    const uint32_t nMinutes = t.minutes + nSeconds / 60;
    t.minutes = static_cast<uint8_t>(nMinutes % 60);
    const uint32_t nHours = t.hours + nMinutes / 60;
    t.hours = static_cast<uint8_t>(nHours % 24);
    const uint32_t nDay = t.day + nHours / 24;
    const int nYearDays = nDaysInYear(t.year);
    if (nDay > static_cast<uint32_t>(nYearDays)) {
        t.year = static_cast<uint16_t>(t.year + 1);
        t.day = static_cast<uint16_t>(nDay - nYearDays);
    } else {
        t.day = static_cast<uint16_t>(nDay);
    }
}

// The six-digit sequence number plus one: leading blanks are skipped and
// reading stops at the first non-digit; 999999 wraps to 000001.
void vAdvanceSequenceNumber(char (&sz)[6]) {
    int i = 0;
    while (i < 6 && sz[i] == ' ') ++i;
    int v = 0;
    for (; i < 6 && sz[i] >= '0' && sz[i] <= '9'; ++i) v = v * 10 + (sz[i] - '0');
    vPutSequenceNumber(sz, nSequenceNumber(v + 1));
}

}  // namespace

void vCloseRecord(uint32_t* pnOutput, SeedFixedHeader* pHeader, Steim2State* pState) {
    Steim2State& s = *pState;
    pnOutput[s.nRecBase + 17] = nToBig32(static_cast<uint32_t>(s.nX0));
    pnOutput[s.nRecBase + 18] = nToBig32(static_cast<uint32_t>(s.nLast));
    s.nStartPending = 1;

    unsigned char* pRecord = pRecordBytes(pnOutput, s.nRecBase);
    std::memcpy(pRecord, pHeader, sizeof(SeedFixedHeader));
    std::memcpy(pRecord + sizeof(SeedFixedHeader), s.pBlockette1000, sizeof(Blockette1000));

    s.nRecords += 1;
    s.nRecBase = nSeedRecordLength / 4 * s.nRecords;
    s.nFrame = nFirstDataFrame;
    s.nWord = 3;
    s.nCodes = 0;

    vAdvanceHeader(pHeader, pState);
    pHeader->Number_of_samples = 0;
}

void vAdvanceHeader(SeedFixedHeader* pHeader, Steim2State* pState) {
    vAdvanceStartTime(pHeader->Record_start_time, pHeader->Number_of_samples, pState);
    vAdvanceSequenceNumber(pHeader->SequenceNumber);
}

void vSwapRecords(uint32_t* pnOutput, uint32_t nRecords) {
    for (uint32_t k = 0; k < nRecords; ++k) {
        unsigned char* pRecord =
            reinterpret_cast<unsigned char*>(pnOutput) + static_cast<size_t>(k) * nSeedRecordLength;
        SeedFixedHeader h;
        Blockette1000 b;
        std::memcpy(&h, pRecord, sizeof h);
        std::memcpy(&b, pRecord + sizeof h, sizeof b);
        h.Number_of_samples = nToBig16(h.Number_of_samples);
        h.Sample_rate_factor =
            static_cast<int16_t>(nToBig16(static_cast<uint16_t>(h.Sample_rate_factor)));
        h.Sample_rate_multiplier =
            static_cast<int16_t>(nToBig16(static_cast<uint16_t>(h.Sample_rate_multiplier)));
        h.Record_start_time.year = nToBig16(h.Record_start_time.year);
        h.Record_start_time.day = nToBig16(h.Record_start_time.day);
        h.Record_start_time.fract = nToBig16(h.Record_start_time.fract);
        h.Time_correction =
            static_cast<int32_t>(nToBig32(static_cast<uint32_t>(h.Time_correction)));
        h.Beginning_of_data = nToBig16(h.Beginning_of_data);
        h.First_blockette = nToBig16(h.First_blockette);
        b.Blockette_type = nToBig16(b.Blockette_type);
        b.Next_blockette = nToBig16(b.Next_blockette);
        std::memcpy(pRecord, &h, sizeof h);
        std::memcpy(pRecord + sizeof h, &b, sizeof b);
    }
}
