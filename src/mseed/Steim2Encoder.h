// Steim-2 encoder: one contiguous run of samples into consecutive 512-byte
// MiniSEED records (see Steim2Encoder.cpp for the format).
#pragma once

#include <cstdint>

#include "mseed/SeedRecord.h"

// Compresses nSampleCount samples into 512-byte records at pnOutput, which
// the caller zero-fills and sizes to at least 512 * ceil(nSampleCount / 103)
// bytes. Every record gets tTemplate's header (numbered on from its sequence
// number, its start time advanced record by record) and blockette 1000.
// Returns the number of records, all complete and big-endian.
// Precondition: every first difference fits in 30 bits (always true for
// 16-bit recorder samples).
int nCompressSteim2(const int32_t* pnSamples, uint32_t nSampleCount,
                    const RecordTemplate& tTemplate, uint32_t* pnOutput);
