// The segment writer: chunking of sample runs, the continuity and flush
// rules, name lookups, and the descriptor write shared by every flush.
#include "segments/SeedWriter.h"

#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>

#include "segments/DecimalText.h"
#include "segments/SegmentPipeline.h"

CChannelSegment::CChannelSegment(CText strNameIn, double dSampleRateIn)
    : dSampleRate(dSampleRateIn) {
    strName = strNameIn;
}

CStationEntry::CStationEntry(CText strNameIn) {
    strName = strNameIn;
}

CStationEntry::~CStationEntry() {
    arrChannels.vDeleteAll();
}

namespace {

// Bytes a writer with workers gathers before a write: a few large writes
// cost less than one per segment. A serial writer writes each segment as it
// is flushed.
constexpr size_t nWriteBatchBytes = nSegmentWriteBatch;

}  // namespace

CSeedWriter::CSeedWriter(int nFileIn, CSegmentPipeline* pWorkers)
    : nFile(nFileIn), m_pPipeline(pWorkers) {}

CSeedWriter::~CSeedWriter() {
    while (m_pPipeline && !m_pPipeline->bEmpty()) vEmitOldest();
    vWritePending();
    arrStations.vDeleteAll();
}

void CSeedWriter::vAddSamples(const char* szStation, const char* szChannel, double dSpS,
                              EpochTime tBegin, int64_t nCount, const int32_t* pnSamples) {
    vAddRun(szStation, szChannel, dSpS, tBegin, nCount,
            [pnSamples](int64_t n, int) { return pnSamples + n; });
}

void CSeedWriter::vAddSamplesFrom(const char* szStation, const char* szChannel, double dSpS,
                                  EpochTime tBegin, int64_t nCount, const SampleFill& fnFill) {
    if (nCount <= 0) return;
    if (m_pPipeline && nCount > nMaxChunkSamples) {
        vAddRunDeferred(szStation, szChannel, dSpS, tBegin, nCount, fnFill);
        return;
    }
    const std::unique_ptr<int32_t[]> pnChunk(
        new int32_t[nCount < nMaxChunkSamples ? nCount : nMaxChunkSamples]);
    vAddRun(szStation, szChannel, dSpS, tBegin, nCount, [&](int64_t n, int c) {
        fnFill(n, c, pnChunk.get());
        return pnChunk.get();
    });
}

void CSeedWriter::vAddRun(const char* szStation, const char* szChannel, double dSpS,
                          EpochTime tBegin, int64_t nCount,
                          const std::function<const int32_t*(int64_t n, int c)>& fnChunk) {
    int64_t n = 0;
    int64_t r = nCount;
    while (r > 0) {
        const int c = r <= nMaxChunkSamples ? static_cast<int>(r) : nMaxChunkSamples;
        const EpochTime tChunk = tBegin + static_cast<double>(n) / dSpS;
        vChunkLine(c, dSpS, tBegin, tChunk);
        vAddChunk(szStation, szChannel, dSpS, tChunk, c, fnChunk(n, c));
        n += c;
        r -= c;
    }
}

namespace {

// Appends sz to p; returns the end.
char* pPutText(char* p, const char* sz) {
    while (*sz != '\0') *p++ = *sz++;
    return p;
}

}  // namespace

void CSeedWriter::vChunkLine(int nChunk, double dSpS, EpochTime tBegin, EpochTime tChunk) {
    char acLine[160];
    if (bFitsFixed6(dSpS) && bFitsFixed6(tBegin) && bFitsFixed6(tChunk)) {
        char* p = pPutInt(pPutText(acLine, "nCount: "), nChunk);
        p = pPutFixed6(pPutText(p, " dSpS: "), dSpS);
        p = pPutFixed6(pPutText(p, " tBegin: "), tBegin);
        p = pPutFixed6(pPutText(p, " (tBegin+n/dSpS): "), tChunk);
        *p++ = '\n';
        *p = '\0';
    } else {
        std::snprintf(acLine, sizeof acLine, "nCount: %d dSpS: %f tBegin: %f (tBegin+n/dSpS): %f\n",
                      nChunk, dSpS, tBegin, tChunk);
    }
    vConsole(acLine);
}

// Every chunk of the run but the last is a segment of its own: held samples
// cannot take a chunk of 10000 (the limit is 9900), and each chunk is
// flushed when the next one arrives. So those chunks are queued as they
// are, with the console lines, rate and times vAddChunk would give them, and
// the workers fetch their samples; the last chunk is held as vAddChunk
// holds it.
void CSeedWriter::vAddRunDeferred(const char* szStation, const char* szChannel, double dSpS,
                                  EpochTime tBegin, int64_t nCount, const SampleFill& fnFill) {
    const int s = nFindStation(szStation);
    const int k = nFindChannel(s, szChannel, dSpS);
    for (int64_t n = 0; n < nCount; n += nMaxChunkSamples) {
        const int c = static_cast<int>(std::min<int64_t>(nCount - n, nMaxChunkSamples));
        const EpochTime tChunk = tBegin + static_cast<double>(n) / dSpS;
        vChunkLine(c, dSpS, tBegin, tChunk);
        CChannelSegment& g = *pGetStation(s)->pGetChannel(k);
        if (n == 0) {
            if (dSpS != g.dSampleRate) g.dSampleRate = dSpS;
            if (g.nSampleCount > 0) vFlushSegment(s, k);
        } else {
            const int64_t nPrevious = n - nMaxChunkSamples;
            vDispatchDeferred(pGetStation(s)->strName.szGetText(), g.strName.szGetText(), dSpS,
                              tBegin + static_cast<double>(nPrevious) / dSpS, nPrevious,
                              nMaxChunkSamples, fnFill);
        }
        if (n + c == nCount) {  // the last chunk: held
            fnFill(n, c, g.anBuffer);
            g.tStart = tChunk;
            g.dDuration = c * (1.0 / dSpS);
            g.nSampleCount = c;
        }
    }
}

void CSeedWriter::vDispatchDeferred(const char* szStation, const char* szChannel, double dSpS,
                                    EpochTime tChunk, int64_t nFirst, int nCount,
                                    const SampleFill& fnFill) {
    std::unique_ptr<SegmentJob> pJob = pStartJob(szStation, szChannel, dSpS, tChunk);
    pJob->fnFill = fnFill;
    pJob->nFirst = nFirst;
    pJob->nCount = nCount;
    m_pPipeline->vSubmit(std::move(pJob));
}

std::unique_ptr<SegmentJob> CSeedWriter::pStartJob(const char* szStation, const char* szChannel,
                                                   double dRate, EpochTime tStart) {
    if (m_pPipeline->bFull()) {
        // Emitting every job already encoded lets the queue fill again in
        // one go, instead of a wait for each job.
        vEmitOldest();
        while (!m_pPipeline->bEmpty() && m_pPipeline->bOldestDone()) vEmitOldest();
    }
    std::unique_ptr<SegmentJob> pJob = m_pPipeline->pNewJob();
    pJob->sStation = szStation ? szStation : "";
    pJob->sChannel = szChannel ? szChannel : "";
    pJob->dRate = dRate;
    pJob->tStart = tStart;
    return pJob;
}

void CSeedWriter::vAddChunk(const char* szStation, const char* szChannel, double dSpS,
                            EpochTime tChunk, int nChunk, const int32_t* pnSamples) {
    // The buffer holds one chunk; a longer run is taken piece by piece.
    while (nChunk > nMaxChunkSamples) {
        vAddChunk(szStation, szChannel, dSpS, tChunk, nMaxChunkSamples, pnSamples);
        tChunk += nMaxChunkSamples / dSpS;
        pnSamples += nMaxChunkSamples;
        nChunk -= nMaxChunkSamples;
    }
    if (nChunk <= 0) return;

    const int s = nFindStation(szStation);
    const int k = nFindChannel(s, szChannel, dSpS);
    CChannelSegment& g = *pGetStation(s)->pGetChannel(k);

    // The new rate counts for the continuity test and for a flush this chunk causes.
    if (dSpS != g.dSampleRate) g.dSampleRate = dSpS;
    const double dPeriod = 1.0 / dSpS;
    const double dChunkDuration = nChunk * dPeriod;
    const double dGap = std::fabs(g.tStart + g.dDuration - tChunk);

    // An empty segment is never continued, so that its start is always the
    // chunk's own time (an empty segment's tStart of 0 is no real time).
    if (g.nSampleCount > 0 && !(dGap > dPeriod) && g.nSampleCount + nChunk <= nMaxSegmentSamples &&
        g.dSampleRate > 1.0) {
        std::memcpy(g.anBuffer + g.nSampleCount, pnSamples, nChunk * sizeof *pnSamples);
        g.nSampleCount += nChunk;
        g.dDuration += dChunkDuration;
        return;
    }

    // Not a continuation (or no room, or a rate of 1.0 or lower): the held
    // samples go out and the chunk starts a new segment.
    if (g.nSampleCount > 0) vFlushSegment(s, k);
    g.tStart = tChunk;
    g.dDuration = dChunkDuration;
    g.nSampleCount = nChunk;
    std::memcpy(g.anBuffer, pnSamples, nChunk * sizeof *pnSamples);
}

int CSeedWriter::nFindStation(const char* szStation) {
    for (int i = 0; i < arrStations.nGetCount(); ++i) {
        if (pGetStation(i)->strName.nCompareNoCase(szStation) == 0) return i;
    }
    return arrStations.nAdd(new CStationEntry(CText(szStation)));
}

int CSeedWriter::nFindChannel(int nStation, const char* szChannel, double dSpS) {
    CStationEntry& tEntry = *pGetStation(nStation);
    for (int i = 0; i < tEntry.nGetChannelCount(); ++i) {
        if (tEntry.pGetChannel(i)->strName.nCompareNoCase(szChannel) == 0) return i;
    }
    return tEntry.arrChannels.nAdd(new CChannelSegment(CText(szChannel), dSpS));
}

void CSeedWriter::vFlushAll() {
    for (int s = 0; s < nGetStationCount(); ++s) {
        for (int k = 0; k < pGetStation(s)->nGetChannelCount(); ++k) vFlushSegment(s, k);
    }
    while (m_pPipeline && !m_pPipeline->bEmpty()) vEmitOldest();
    vWritePending();
}

void CSeedWriter::vEmitOldest() {
    std::unique_ptr<SegmentJob> pJob = m_pPipeline->pTakeOldest();
    vEmitSegment(pJob->tEncoded);
    std::fputs(pJob->sTextAfter.c_str(), stdout);
    m_pPipeline->vRecycle(std::move(pJob));
}

void CSeedWriter::vConsole(const std::string& sText) {
    SegmentJob* pNewest = m_pPipeline ? m_pPipeline->pNewest() : nullptr;
    if (pNewest != nullptr) {
        pNewest->sTextAfter += sText;
    } else {
        std::fputs(sText.c_str(), stdout);
    }
}

void CSeedWriter::vSetNetwork(const char* szNetwork) {
    m_acNetwork[0] = m_acNetwork[1] = ' ';
    for (size_t i = 0; i < sizeof m_acNetwork && szNetwork[i] != '\0'; ++i)
        m_acNetwork[i] = szNetwork[i];
}

void CSeedWriter::vWriteAll(const void* pData, size_t nBytes) {
    if (!m_pPipeline) {
        vWriteOut(pData, nBytes);
        return;
    }
    std::vector<unsigned char>& acBatch = m_pPipeline->acWriteBatch();
    const unsigned char* p = static_cast<const unsigned char*>(pData);
    acBatch.insert(acBatch.end(), p, p + nBytes);
    if (acBatch.size() >= nWriteBatchBytes) vWritePending();
}

void CSeedWriter::vWritePending() {
    if (!m_pPipeline) return;
    std::vector<unsigned char>& acBatch = m_pPipeline->acWriteBatch();
    vWriteOut(acBatch.data(), acBatch.size());
    acBatch.clear();
}

void CSeedWriter::vWriteOut(const void* pData, size_t nBytes) {
    if (m_nWriteError != 0) return;
    const unsigned char* p = static_cast<const unsigned char*>(pData);
    while (nBytes > 0) {
        errno = 0;
        const ssize_t nWritten = ::write(nFile, p, nBytes);
        if (nWritten < 0 && errno == EINTR) continue;
        if (nWritten <= 0) {
            m_nWriteError = (nWritten < 0 && errno != 0) ? errno : EIO;
            return;
        }
        p += nWritten;
        nBytes -= static_cast<size_t>(nWritten);
    }
}
