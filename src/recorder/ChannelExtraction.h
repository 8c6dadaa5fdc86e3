// Channel extraction: one channel of a recording held in memory becomes
// MiniSEED records at the end of the output file.
#pragma once

#include <cstddef>
#include <cstdint>

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
RecordGeometry tRecordGeometry(int64_t nDataSize, double dRate, int32_t nPosition,
                               int32_t nRecSeconds, int32_t nChannelCount);

// Samples of the channel in the data area: Q from every whole record, up to
// the first that would lie outside the data area.
int64_t nChannelSampleCount(int64_t nDataSize, const RecordGeometry& tGeometry);

struct ExtractionResult {
    RecordGeometry tGeometry;
    int64_t nSamples = 0;  // samples handed to the writer
    int nWriteError = 0;   // errno of the first failed write, 0 when all went out
};

// Seeks nFile to its end and writes the channel's samples (unsigned 16-bit
// little-endian, widened without sign) from every whole record, in time
// order, through a CSeedWriter of its own: one run starting at tStart, then
// vFlushAll. Record numbers start at 000001; every record carries the
// network code szNetwork ("" leaves the field blank). The run ends before the first
// sample that would lie outside the data area. The samples are fetched chunk
// by chunk as the writer takes them, so no array of the whole run is made.
// nThreads > 1 encodes on that many worker threads, with the same result.
// What happened (geometry, samples, the first write error) goes to tResult.
void vExtractChannel(const uint8_t* pData, int64_t nDataSize, EpochTime tStart,
                     const char* szChannel, const char* szStation, const char* szNetwork,
                     double dRate, int32_t nPosition, int32_t nRecSeconds, int32_t nChannelCount,
                     int nFile, int nThreads, ExtractionResult& tResult);
