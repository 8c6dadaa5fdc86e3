// Record close-out: integration constants, header and blockettes of a
// finished record, the next record's start time and sequence number, and the
// final byte-order pass over all records of an encoder call. Record times
// come from the exact time of each record's first sample (SampleTime.h); the
// header's calendar fields are moved on by the difference in ticks, which is
// exact and cheaper than a calendar split per record.
#include "mseed/RecordCloseOut.h"

#include <cstring>

#include "mseed/ByteOrder.h"
#include "timeconv/CalendarTime.h"
#include "timeconv/SampleTime.h"

namespace {

unsigned char* pRecordBytes(uint32_t* pnOutput, uint32_t nRecBase) {
    return reinterpret_cast<unsigned char*>(pnOutput + nRecBase);
}

// Adds nDelta ticks (less than a day) to the start time t; seconds,
// minutes, hours, days and years roll over.
void vAddTicks(SeedTime& t, uint32_t nDelta) {
    const uint32_t S = nDelta / 10000;
    const uint32_t R = nDelta % 10000;
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

// The header time (ticks since 1970) and the blockette 1001 microseconds of
// the record whose first sample is sample nSample of the call.
void vTimeOf(const RecordTemplate& t, uint64_t nSample, int64_t& nTicks, int8_t& nMicrosec) {
    const SampleTime tExact =
        tSampleTime(t.nStretchStartMicros, t.nFirstSample + static_cast<int64_t>(nSample), t.nRate);
    if (!t.bBlockette1001) {
        nTicks = nFloorTicks(tExact);
        nMicrosec = 0;
        return;
    }
    // The nearest microsecond as the nearest tick and a rest of -50 to +49.
    const int64_t nMicros = nNearestMicros(tExact);
    nTicks = (nMicros + 50) / 100 - ((nMicros + 50) % 100 < 0 ? 1 : 0);
    nMicrosec = static_cast<int8_t>(nMicros - 100 * nTicks);
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
    const Blockette1000& b1000 = s.pTemplate->tBlockette1000;
    std::memcpy(pRecord + sizeof(SeedFixedHeader), &b1000, sizeof b1000);
    if (s.pTemplate->bBlockette1001) {
        const Blockette1001 b1001{nBlockette1001Type, 0, 0, s.nMicrosec, 0, 0};
        std::memcpy(pRecord + b1000.Next_blockette, &b1001, sizeof b1001);
    }

    s.nRecords += 1;
    s.nRecBase = nSeedRecordLength / 4 * s.nRecords;
    s.nFrame = nFirstDataFrame;
    s.nWord = 3;
    s.nCodes = 0;

    vAdvanceHeader(pHeader, pState);
    pHeader->Number_of_samples = 0;
}

void vTimeFirstRecord(SeedFixedHeader* pHeader, Steim2State* pState) {
    Steim2State& s = *pState;
    vTimeOf(*s.pTemplate, 0, s.nTicks, s.nMicrosec);
    pHeader->Record_start_time = tSeedTimeOfTicks(s.nTicks);
}

void vAdvanceHeader(SeedFixedHeader* pHeader, Steim2State* pState) {
    Steim2State& s = *pState;
    s.nSamplesDone += pHeader->Number_of_samples;
    const int64_t nPrevious = s.nTicks;
    vTimeOf(*s.pTemplate, s.nSamplesDone, s.nTicks, s.nMicrosec);
    vAddTicks(pHeader->Record_start_time, static_cast<uint32_t>(s.nTicks - nPrevious));
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
        const uint16_t nNext = b.Next_blockette;
        b.Blockette_type = nToBig16(b.Blockette_type);
        b.Next_blockette = nToBig16(b.Next_blockette);
        std::memcpy(pRecord, &h, sizeof h);
        std::memcpy(pRecord + sizeof h, &b, sizeof b);
        // A second blockette, within frame 0: its type and link.
        if (nNext >= sizeof h + sizeof b && nNext + 4 <= nSeedFrameLength) {
            uint16_t an[2];
            std::memcpy(an, pRecord + nNext, sizeof an);
            an[0] = nToBig16(an[0]);
            an[1] = nToBig16(an[1]);
            std::memcpy(pRecord + nNext, an, sizeof an);
        }
    }
}
