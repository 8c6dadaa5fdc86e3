// Channel extraction: picks one channel's block out of every record of the
// data area into one sample array and hands it to a fresh segment writer.
#include "recorder/ChannelExtraction.h"

#include <unistd.h>

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

int32_t* SampleArray::pnReserve(size_t nCount) {
    if (nCount > m_nCapacity || !m_pnSamples) {
        m_pnSamples.reset(new int32_t[nCount > 0 ? nCount : 1]);
        m_nCapacity = nCount;
    }
    return m_pnSamples.get();
}

namespace {

inline int32_t nSampleAt(const uint8_t* p) {
    return static_cast<int32_t>(static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8);
}

// Copies the channel's block of every record into pnOut; returns the count.
int64_t nGatherSamples(const uint8_t* pData, int64_t nDataSize, const RecordGeometry& g,
                       int32_t* pnOut) {
    if (!(g.dBlockSamples > 0.0) || g.nRecordCount == 0) return 0;
    // Q and T are whole numbers for the integer rates a recording holds; a
    // fractional Q takes the samples j < Q, as the record layout counts them.
    const int64_t nPerBlock = static_cast<int64_t>(std::ceil(g.dBlockSamples));
    const int64_t nBlockStart = static_cast<int64_t>(g.dBlockStart);
    int64_t n = 0;
    for (int64_t r = 0; r < g.nRecordCount; ++r) {
        const int64_t nOffset = r * g.nRecordSize + 256 + 2 * nBlockStart;
        const int64_t nFit = nOffset >= nDataSize ? 0 : (nDataSize - nOffset) / 2;
        const int64_t nTake = nFit < nPerBlock ? nFit : nPerBlock;
        const uint8_t* p = pData + nOffset;
        for (int64_t j = 0; j < nTake; ++j) pnOut[n++] = nSampleAt(p + 2 * j);
        if (nTake < nPerBlock) break;  // the next sample lies outside the data area
    }
    return n;
}

}  // namespace

ExtractionResult tExtractChannel(const uint8_t* pData, int64_t nDataSize, EpochTime tStart,
                                 const char* szChannel, const char* szStation, double dRate,
                                 int32_t nPosition, int32_t nRecSeconds, int32_t nChannelCount,
                                 int nFile, SampleArray& tSamples) {
    ExtractionResult tResult;
    lseek(nFile, 0, SEEK_END);
    tResult.tGeometry = tRecordGeometry(nDataSize, dRate, nPosition, nRecSeconds, nChannelCount);
    const RecordGeometry& g = tResult.tGeometry;

    int32_t* pnSamples = nullptr;
    if (g.nRecordCount > 0 && g.dBlockSamples > 0.0) {
        const double dMax = static_cast<double>(g.nRecordCount) * std::ceil(g.dBlockSamples);
        pnSamples = tSamples.pnReserve(static_cast<size_t>(dMax));
        tResult.nSamples = nGatherSamples(pData, nDataSize, g, pnSamples);
    }

    CSeedWriter tWriter(nFile);
    tWriter.vAddSamples(szStation, szChannel, dRate, tStart, static_cast<int>(tResult.nSamples),
                        pnSamples);
    tWriter.vFlushAll();
    tResult.nWriteError = tWriter.nWriteError();
    return tResult;
}
