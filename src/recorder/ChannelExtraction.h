// Channel extraction: one channel of a recording held in memory, picked out
// of every data record and fed to a segment writer.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "segments/SeedWriter.h"
#include "timeconv/CalendarTime.h"

// Where one channel's samples lie in the data area. A record is a 256-byte
// header followed by N blocks of R x rate samples of 2 bytes.
struct RecordGeometry {
    int64_t nRecordSize = 0;     // S: bytes of one record; 0 when there is no sound size
    int64_t nRecordCount = 0;    // K: whole records in the data area
    int64_t nTrailingBytes = 0;  // bytes after the last whole record
    double dBlockSamples = 0;    // Q: samples of one channel in one record
    double dBlockStart = 0;      // T: first sample of the channel's block, in samples
};

// Computes S = (N*R*rate)*2 + 256, K = size / S, Q = R*rate and T = p*R*rate
// in double precision as the recorder layout defines them. A record size of
// 0 or less, or one larger than the data area, gives no records (K = 0), so
// no FREQ or REC_SIZE_SEC value can overflow the arithmetic.
RecordGeometry tRecordGeometry(int64_t nDataSize, double dSampleRate, int32_t nPosition,
                               int32_t nRecSeconds, int32_t nChannelCount);

// Samples of the channel in one record: Q, or the whole numbers j < Q when Q
// has a fraction (the recordings' integer rates always give a whole Q).
int64_t nSamplesPerBlock(const RecordGeometry& tGeometry);

// Copies samples nFirst .. nFirst + nCount - 1 of the channel laid out as
// tGeometry in the data area pData to pnOut (unsigned 16-bit little-endian,
// widened without sign); they must lie within nChannelSampleCount.
void vFillSamples(const uint8_t* pData, const RecordGeometry& tGeometry, int64_t nFirst, int nCount,
                  int32_t* pnOut);

// Samples of the channel in the data area: Q from every whole record, up to
// the first that would lie outside the data area.
int64_t nChannelSampleCount(int64_t nDataSize, const RecordGeometry& tGeometry);

// A record from which a channel's samples are dated afresh: a new stretch
// of samples starts at the record's first sample, at tStart.
struct StretchStart {
    int64_t nRecord = 0;  // counted from 0
    EpochTime tStart = 0;
};

// One channel of a recording held in memory, as the extraction reads it.
struct ChannelSource {
    const uint8_t* pData = nullptr;  // the data area
    int64_t nDataSize = 0;
    RecordGeometry tGeometry;  // where the channel's blocks lie (tRecordGeometry)
    const char* szStation = "";
    const char* szChannel = "";
    double dSampleRate = 0;
    EpochTime tStart = 0;                  // time of the channel's first sample
    std::vector<StretchStart> atRestarts;  // in record order; none: one stretch from tStart
};

// Feeds tWriter the channel's samples (unsigned 16-bit little-endian,
// widened without sign) from every whole record, in time order, as one
// stretch starting at tStart, or as one stretch more from each restart on,
// then calls vFlushAll. The samples end before the first that would lie
// outside the data area. They are fetched chunk by chunk as the writer
// encodes them, so no array of a whole stretch is made; tSource.pData must stay readable until the
// call returns.
void vExtractChannel(const ChannelSource& tSource, CSeedWriter& tWriter);
