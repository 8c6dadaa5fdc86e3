// Channel extraction: picks one channel's block out of every record of the
// data area and hands them to a segment writer, chunk by chunk.
#include "recorder/ChannelExtraction.h"

#include <algorithm>
#include <cmath>

#include "recorder/LittleEndian.h"

RecordGeometry tRecordGeometry(int64_t nDataSize, double dSampleRate, int32_t nPosition,
                               int32_t nRecSeconds, int32_t nChannelCount) {
    RecordGeometry g;
    if (nChannelCount <= 0) {  // no block in a record: nothing to locate
        g.nTrailingBytes = nDataSize > 0 ? nDataSize : 0;
        return g;
    }
    const double dSize =
        (static_cast<double>(nChannelCount) * nRecSeconds * dSampleRate) * 2.0 + 256.0;
    // Compare in double first: a size beyond the data area (or beyond any
    // integer) means no whole record, and no conversion can overflow.
    if (!(dSize > 0.0) || dSize > static_cast<double>(nDataSize)) {
        g.nTrailingBytes = nDataSize > 0 ? nDataSize : 0;
        return g;
    }
    g.nRecordSize = static_cast<int64_t>(dSize);
    g.nRecordCount = nDataSize / g.nRecordSize;
    g.nTrailingBytes = nDataSize - g.nRecordCount * g.nRecordSize;
    g.dBlockSamples = static_cast<double>(nRecSeconds) * dSampleRate;
    g.dBlockStart = static_cast<double>(nPosition) * nRecSeconds * dSampleRate;
    return g;
}

namespace {

// Byte offset, in the data area, of the channel's block in record r.
int64_t nBlockOffset(const RecordGeometry& g, int64_t r) {
    return r * g.nRecordSize + 256 + 2 * static_cast<int64_t>(g.dBlockStart);
}

// Records ahead of the one being copied whose block is asked into the
// cache: a channel's blocks lie a record apart, too far for the hardware to
// guess, and waiting for each block's lines costs more than copying them.
constexpr int64_t nPrefetchRecords = 8;

// Bytes at the head of a block asked for; the hardware follows a long block
// on its own once it is being read.
constexpr int64_t nPrefetchBytes = 2048;

// Asks the cache for the head of the channel's block in record r, if there
// is one. Inlined on purpose: a helper made of prefetches alone is taken for
// a function without effect and its calls dropped.
[[gnu::always_inline]] inline void vPrefetchBlock(const uint8_t* pData, const RecordGeometry& g,
                                                  int64_t nPerBlock, int64_t r) {
    if (r >= g.nRecordCount) return;
    const uint8_t* p = pData + nBlockOffset(g, r);
    const int64_t nBytes = std::min(2 * nPerBlock, nPrefetchBytes);
    for (int64_t k = 0; k < nBytes; k += 64) __builtin_prefetch(p + k);
    __builtin_prefetch(p + nBytes - 1);
}

}  // namespace

int64_t nSamplesPerBlock(const RecordGeometry& g) {
    return static_cast<int64_t>(std::ceil(g.dBlockSamples));
}

void vFillSamples(const uint8_t* pData, const RecordGeometry& g, int64_t nFirst, int nCount,
                  int32_t* pnOut) {
    const int64_t nPerBlock = nSamplesPerBlock(g);
    int64_t r = nFirst / nPerBlock;
    int64_t j = nFirst % nPerBlock;
    for (int64_t a = 1; a < nPrefetchRecords; ++a) vPrefetchBlock(pData, g, nPerBlock, r + a);
    while (nCount > 0) {
        const int64_t nTake = std::min<int64_t>(nPerBlock - j, nCount);
        vPrefetchBlock(pData, g, nPerBlock, r + nPrefetchRecords);
        const uint8_t* p = pData + nBlockOffset(g, r) + 2 * j;
        for (int64_t i = 0; i < nTake; ++i)
            pnOut[i] = nReadLe16(p + 2 * i);  // widened without sign
        pnOut += nTake;
        nCount -= static_cast<int>(nTake);
        ++r;
        j = 0;
    }
}

int64_t nChannelSampleCount(int64_t nDataSize, const RecordGeometry& g) {
    if (!(g.dBlockSamples > 0.0) || g.nRecordCount == 0) return 0;
    const int64_t nPerBlock = nSamplesPerBlock(g);
    int64_t n = 0;
    for (int64_t r = 0; r < g.nRecordCount; ++r) {
        const int64_t nOffset = nBlockOffset(g, r);
        const int64_t nTake =
            nOffset >= nDataSize ? 0 : std::min((nDataSize - nOffset) / 2, nPerBlock);
        n += nTake;
        if (nTake < nPerBlock) break;
    }
    return n;
}

void vExtractChannel(const ChannelSource& tSource, CSeedWriter& tWriter) {
    const uint8_t* pData = tSource.pData;
    const RecordGeometry& g = tSource.tGeometry;
    const int64_t nSamples = nChannelSampleCount(tSource.nDataSize, g);
    // Samples nFrom .. nTo - 1 as one stretch, its first taken at tStretch.
    const auto vAddStretch = [&](int64_t nFrom, int64_t nTo, EpochTime tStretch) {
        if (nTo <= nFrom) return;
        tWriter.vAddSamplesFrom(tSource.szStation, tSource.szChannel, tSource.dSampleRate, tStretch,
                                nTo - nFrom,
                                [pData, &g, nFrom](int64_t nFirst, int nCount, int32_t* pnOut) {
                                    vFillSamples(pData, g, nFrom + nFirst, nCount, pnOut);
                                });
    };
    int64_t nFrom = 0;
    EpochTime tStretch = tSource.tStart;
    for (const StretchStart& t : tSource.atRestarts) {
        const int64_t nTo = std::min(nSamples, t.nRecord * nSamplesPerBlock(g));
        vAddStretch(nFrom, nTo, tStretch);
        nFrom = std::max(nFrom, nTo);
        tStretch = t.tStart;
    }
    vAddStretch(nFrom, nSamples, tStretch);
    tWriter.vFlushAll();
}
