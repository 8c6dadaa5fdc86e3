// Steim-2 encoder: one contiguous run of samples into consecutive 512-byte
// MiniSEED records (see Steim2Encoder.cpp for the format).
#pragma once

#include <cstdint>

#include "mseed/SeedRecord.h"

// Compresses nSampleCount samples into records of nRecLen (512) bytes at
// pnOutput, which the caller zero-fills and sizes to at least
// 512 * ceil(nSampleCount / 103) bytes. pHeader is the host-order template
// (sequence number, names, start time, rate); every record gets blockette
// set 1, the first record also set 2. Returns the number of records, all
// complete and big-endian. Precondition: every first difference fits in 30
// bits (always true for 16-bit recorder samples).
int nCompressSteim2(const int32_t* pnSamples, const SeedFixedHeader* pHeader,
                    uint32_t nSampleCount, int16_t nRecLen, uint32_t* pnOutput, int nBlkCount1,
                    int nBlkLen1, const void* pBlk1, int nBlkCount2, int nBlkLen2,
                    const void* pBlk2);
