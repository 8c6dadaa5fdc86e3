// The segment writer: chunking of sample stretches, the continuity and flush
// rules, name lookups, and the flush: each segment's record template is
// filled here and its samples queued for encoding; the encoded records are
// numbered, their progress lines ("Seed block number", "vSetHeaderTime",
// "Seed block counts") printed and the records handed to the sink, segment
// by segment in flush order.
#include "segments/SeedWriter.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

#include "segments/DecimalText.h"
#include "timeconv/SampleTime.h"

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

CSeedWriter::CSeedWriter(CRecordSink& tSinkIn, CSegmentQueue& tQueueIn)
    : tSink(tSinkIn), tQueue(tQueueIn) {}

CSeedWriter::~CSeedWriter() {
    while (!tQueue.bEmpty()) vEmitOldest();
    arrStations.vDeleteAll();
}

void CSeedWriter::vAddSamples(const char* szStation, const char* szChannel, double dSpS,
                              EpochTime tBegin, int64_t nCount, const int32_t* pnSamples) {
    const int64_t nStretchStartMicros = nMicrosOf(tBegin);
    for (int64_t n = 0; n < nCount; n += nMaxChunkSamples) {
        const int c = static_cast<int>(std::min<int64_t>(nCount - n, nMaxChunkSamples));
        const EpochTime tChunk = tBegin + static_cast<double>(n) / dSpS;
        vChunkLine(c, dSpS, tBegin, tChunk);
        vAddStretchChunk(szStation, szChannel, dSpS, tChunk, nStretchStartMicros, n, c,
                         pnSamples + n);
    }
}

void CSeedWriter::vAddSamplesFrom(const char* szStation, const char* szChannel, double dSpS,
                                  EpochTime tBegin, int64_t nCount, const SampleFill& fnFill) {
    if (nCount > nMaxChunkSamples) {
        vAddStretchDeferred(szStation, szChannel, dSpS, tBegin, nCount, fnFill);
        return;
    }
    if (nCount <= 0) return;
    std::vector<int32_t> anChunk(static_cast<size_t>(nCount));
    fnFill(0, static_cast<int>(nCount), anChunk.data());
    vAddSamples(szStation, szChannel, dSpS, tBegin, nCount, anChunk.data());
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

// Every chunk of the stretch but the last is a segment of its own: held samples
// cannot take a chunk of 10000 (the limit is 9900), and each chunk is
// flushed when the next one arrives. So those chunks are queued as they
// are, with the console lines, rate and times vAddChunk would give them, and
// their samples are fetched when they are encoded; the last chunk is held as
// vAddChunk holds it.
void CSeedWriter::vAddStretchDeferred(const char* szStation, const char* szChannel, double dSpS,
                                      EpochTime tBegin, int64_t nCount, const SampleFill& fnFill) {
    const int s = nFindStation(szStation);
    const int k = nFindChannel(s, szChannel, dSpS);
    const int64_t nStretchStartMicros = nMicrosOf(tBegin);
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
            std::unique_ptr<CSegmentJob> pJob =
                pNewJob(pGetStation(s)->strName.szGetText(), g.strName.szGetText(), dSpS,
                        nStretchStartMicros, nPrevious);
            pJob->fnFill = fnFill;
            pJob->nFirst = nPrevious;
            pJob->nCount = nMaxChunkSamples;
            vQueue(std::move(pJob));
        }
        if (n + c == nCount) {  // the last chunk: held
            fnFill(n, c, g.anBuffer);
            g.tStart = tChunk;
            g.nStretchStartMicros = nStretchStartMicros;
            g.nFirstSample = n;
            g.dDuration = c * (1.0 / dSpS);
            g.nSampleCount = c;
        }
    }
}

void CSeedWriter::vAddChunk(const char* szStation, const char* szChannel, double dSpS,
                            EpochTime tChunk, int nChunk, const int32_t* pnSamples) {
    // The buffer holds one chunk; a longer stretch is taken piece by piece.
    const int64_t nStretchStartMicros = nMicrosOf(tChunk);
    for (int n = 0; n < nChunk; n += nMaxChunkSamples) {
        vAddStretchChunk(szStation, szChannel, dSpS, tChunk + n / dSpS, nStretchStartMicros, n,
                         std::min(nChunk - n, nMaxChunkSamples), pnSamples + n);
    }
}

void CSeedWriter::vAddStretchChunk(const char* szStation, const char* szChannel, double dSpS,
                                   EpochTime tChunk, int64_t nStretchStartMicros,
                                   int64_t nFirstSample, int nChunk, const int32_t* pnSamples) {
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
    if (g.nSampleCount > 0 && !(dGap > dPeriod) && g.nSampleCount + nChunk <= nMaxAppendedSamples &&
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
    g.nStretchStartMicros = nStretchStartMicros;
    g.nFirstSample = nFirstSample;
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

void CSeedWriter::vFlushSegment(int nStation, int nChannel) {
    if (nStation < 0 || nStation >= nGetStationCount()) return;
    const CStationEntry& tEntry = *pGetStation(nStation);
    if (nChannel < 0 || nChannel >= tEntry.nGetChannelCount()) return;
    CChannelSegment& g = *tEntry.pGetChannel(nChannel);
    if (g.nSampleCount <= 0) return;
    std::unique_ptr<CSegmentJob> pJob =
        pNewJob(tEntry.strName.szGetText(), g.strName.szGetText(), g.dSampleRate,
                g.nStretchStartMicros, g.nFirstSample);
    pJob->anSamples.assign(g.anBuffer, g.anBuffer + g.nSampleCount);
    vQueue(std::move(pJob));
    g.tStart = 0;
    g.dDuration = 0;
    g.nSampleCount = 0;
}

void CSeedWriter::vFlushAll() {
    for (int s = 0; s < nGetStationCount(); ++s) {
        for (int k = 0; k < pGetStation(s)->nGetChannelCount(); ++k) vFlushSegment(s, k);
    }
    while (!tQueue.bEmpty()) vEmitOldest();
}

void CSeedWriter::vSetNetwork(const char* szNetwork) {
    sNetwork = szNetwork;
}

void CSeedWriter::vSetLocation(const char* szLocation) {
    sLocation = szLocation;
}

void CSeedWriter::vKeepToDays() {
    bKeepToDays = true;
}

void CSeedWriter::vSetHeld(const CHeldSamples* pHeldIn) {
    pHeld = pHeldIn;
}

std::unique_ptr<CSegmentJob> CSeedWriter::pNewJob(const char* szStation, const char* szChannel,
                                                  double dSampleRate, int64_t nStretchStartMicros,
                                                  int64_t nFirstSample) {
    std::unique_ptr<CSegmentJob> pJob = tQueue.pNewJob();
    pJob->tTemplate =
        tRecordTemplate(sNetwork.c_str(), szStation, szChannel, dSampleRate, sLocation.c_str());
    vSetHeaderTime(&pJob->tTemplate, nStretchStartMicros, nFirstSample, pJob->acTimeLine);
    pJob->pHeld = pHeld;
    return pJob;
}

std::unique_ptr<CSegmentJob> CSeedWriter::pCutAtMidnight(CSegmentJob& t) {
    const RecordTemplate& tTemplate = t.tTemplate;
    const int64_t nCount = t.fnFill ? t.nCount : static_cast<int64_t>(t.anSamples.size());
    const int64_t nMidnight = (t.nDay + 1) * nMicrosPerDay;
    const int64_t nCut =
        nFirstSampleFrom(tTemplate.nStretchStartMicros, tTemplate.nRate, nMidnight) -
        tTemplate.nFirstSample;
    if (nCut >= nCount) return nullptr;
    std::unique_ptr<CSegmentJob> pRest = tQueue.pNewJob();
    pRest->tTemplate = tTemplate;
    pRest->pHeld = t.pHeld;
    vSetHeaderTime(&pRest->tTemplate, tTemplate.nStretchStartMicros, tTemplate.nFirstSample + nCut,
                   pRest->acTimeLine);
    if (t.fnFill) {
        pRest->fnFill = t.fnFill;
        pRest->nFirst = t.nFirst + nCut;
        pRest->nCount = static_cast<int>(nCount - nCut);
        t.nCount = static_cast<int>(nCut);
    } else {
        pRest->anSamples.assign(t.anSamples.begin() + nCut, t.anSamples.end());
        t.anSamples.resize(static_cast<size_t>(nCut));
    }
    return pRest;
}

void CSeedWriter::vQueue(std::unique_ptr<CSegmentJob> pJob) {
    const RecordTemplate& t = pJob->tTemplate;
    pJob->nDay = nDayOf(tSampleTime(t.nStretchStartMicros, t.nFirstSample, t.nRate));
    if (bKeepToDays) {
        if (std::unique_ptr<CSegmentJob> pRest = pCutAtMidnight(*pJob)) {
            vQueue(std::move(pJob));
            vQueue(std::move(pRest));
            return;
        }
    }
    tQueue.vSubmit(std::move(pJob));
    if (!tQueue.bOverFull()) return;
    // Emitting every job already encoded lets the queue fill again in one
    // go, instead of a wait for each job.
    vEmitOldest();
    while (tQueue.bOldestDone()) vEmitOldest();
}

void CSeedWriter::vEmitOldest() {
    std::unique_ptr<CSegmentJob> pJob = tQueue.pTakeOldest();
    vEmitSegment(*pJob);
    std::fputs(pJob->sTextAfter.c_str(), stdout);
    tQueue.vRecycle(std::move(pJob));
}

void CSeedWriter::vEmitSegment(CSegmentJob& t) {
    const EncodedSegment& e = t.tEncoded;
    unsigned char* pArea = reinterpret_cast<unsigned char*>(t.tEncoded.anArea.data());
    for (const EncodedPiece& p : e.atPieces) {
        unsigned char* pRecords = pArea + p.nFirstRecord * nSeedRecordLength;
        const size_t nRecords = static_cast<size_t>(p.nRecords);
        // The sink numbers records that join records it holds; else the
        // writer counts on, by day when kept to days.
        if (bKeepToDays) nNextBlock = mapNextBlockOfDay.try_emplace(t.nDay, 1).first->second;
        const int32_t nFromSink = tSink.nNumberOfFirst(pRecords, nRecords, t.nDay);
        const int nFirst = nFromSink > 0 ? nFromSink : nNextBlock;
        for (int k = 0; k < p.nRecords; ++k) {
            char* pRecord = reinterpret_cast<char*>(pRecords + k * nSeedRecordLength);
            vPutSequenceNumber(pRecord, nSequenceNumber(nFirst + k));
        }
        char acNumber[7] = "";
        vPutSequenceNumber(acNumber, nSequenceNumber(nFirst));
        std::fputs("Seed block number ", stdout);
        std::fputs(acNumber, stdout);
        std::fputc('\n', stdout);
        std::fputs(p.acTimeLine, stdout);
        std::fwrite(e.sCountLines.data() + p.nLinesFrom, 1, p.nLinesTo - p.nLinesFrom, stdout);
        nNextBlock = nFirst + p.nRecords;
        if (bKeepToDays) mapNextBlockOfDay[t.nDay] = nNextBlock;
        tSink.vPutRecords(pRecords, nRecords, t.nDay);
    }
}

void CSeedWriter::vConsole(const char* szText) {
    CSegmentJob* pNewest = tQueue.pNewest();
    if (pNewest != nullptr) {
        pNewest->sTextAfter += szText;
    } else {
        std::fputs(szText, stdout);
    }
}
