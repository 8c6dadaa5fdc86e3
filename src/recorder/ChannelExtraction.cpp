// Channel extraction: picks one channel's block out of every record of the
// data area and hands them to a fresh segment writer, chunk by chunk.
#include "recorder/ChannelExtraction.h"

#include <unistd.h>

#include <algorithm>
#include <cmath>

#include "segments/SeedWriter.h"

RecordGeometry tRecordGeometry(int64_t nDataSize, double dRate, int32_t nPosition,
                               int32_t nRecSeconds, int32_t nChannelCount) {
    RecordGeometry g;
    if (nChannelCount <= 0) {  // no block in a record: nothing to locate
        g.nTrailingBytes = nDataSize > 0 ? nDataSize : 0;
        return g;
    }
    const double dSize = (static_cast<double>(nChannelCount) * nRecSeconds * dRate) * 2.0 + 256.0;
    // Compare in double first: a size beyond the data area (or beyond any
    // integer) means no whole record, and no conversion can overflow.
    if (!(dSize > 0.0) || dSize > static_cast<double>(nDataSize)) {
        g.nTrailingBytes = nDataSize > 0 ? nDataSize : 0;
        return g;
    }
    g.nRecordSize = static_cast<int64_t>(dSize);
    g.nRecordCount = nDataSize / g.nRecordSize;
    g.nTrailingBytes = nDataSize - g.nRecordCount * g.nRecordSize;
    g.dBlockSamples = static_cast<double>(nRecSeconds) * dRate;
    g.dBlockStart = static_cast<double>(nPosition) * nRecSeconds * dRate;
    return g;
}

namespace {

inline int32_t nSampleAt(const uint8_t* p) {
    return static_cast<int32_t>(static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8);
}

// Samples of the channel in the data area: Q from every whole record, up to
// the first that would lie outside the data area.
int64_t nCountSamples(int64_t nDataSize, const RecordGeometry& g) {
    if (!(g.dBlockSamples > 0.0) || g.nRecordCount == 0) return 0;
    // Q and T are whole numbers for the integer rates a recording holds; a
    // fractional Q takes the samples j < Q, as the record layout counts them.
    const int64_t nPerBlock = static_cast<int64_t>(std::ceil(g.dBlockSamples));
    int64_t n = 0;
    for (int64_t r = 0; r < g.nRecordCount; ++r) {
        const int64_t nOffset = r * g.nRecordSize + 256 + 2 * static_cast<int64_t>(g.dBlockStart);
        const int64_t nTake = nOffset >= nDataSize ? 0 : std::min((nDataSize - nOffset) / 2, nPerBlock);
        n += nTake;
        if (nTake < nPerBlock) break;
    }
    return n;
}

// Copies samples nFirst .. nFirst + nCount - 1 of the channel's run to pnOut.
void vFillSamples(const uint8_t* pData, const RecordGeometry& g, int64_t nFirst, int nCount,
                  int32_t* pnOut) {
    const int64_t nPerBlock = static_cast<int64_t>(std::ceil(g.dBlockSamples));
    const int64_t nBlockStart = static_cast<int64_t>(g.dBlockStart);
    int64_t r = nFirst / nPerBlock;
    int64_t j = nFirst % nPerBlock;
    while (nCount > 0) {
        const int64_t nTake = std::min<int64_t>(nPerBlock - j, nCount);
        const uint8_t* p = pData + r * g.nRecordSize + 256 + 2 * (nBlockStart + j);
        for (int64_t i = 0; i < nTake; ++i) pnOut[i] = nSampleAt(p + 2 * i);
        pnOut += nTake;
        nCount -= static_cast<int>(nTake);
        ++r;
        j = 0;
    }
}

}  // namespace

void vExtractChannel(const uint8_t* pData, int64_t nDataSize, EpochTime tStart,
                     const char* szChannel, const char* szStation, double dRate, int32_t nPosition,
                     int32_t nRecSeconds, int32_t nChannelCount, int nFile,
                     ExtractionResult& tResult) {
    tResult = ExtractionResult{};
    lseek(nFile, 0, SEEK_END);
    tResult.tGeometry = tRecordGeometry(nDataSize, dRate, nPosition, nRecSeconds, nChannelCount);
    const RecordGeometry& g = tResult.tGeometry;

    tResult.nSamples = nCountSamples(nDataSize, g);

    CSeedWriter tWriter(nFile);
    tWriter.vAddSamplesFrom(szStation, szChannel, dRate, tStart,
                            static_cast<int>(tResult.nSamples),
                            [pData, &g](int nFirst, int nCount, int32_t* pnOut) {
                                vFillSamples(pData, g, nFirst, nCount, pnOut);
                            });
    tWriter.vFlushAll();
    tResult.nWriteError = tWriter.nWriteError();
}
