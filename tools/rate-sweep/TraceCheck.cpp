// trace-check: reads a file of MiniSEED records with libmseed (an
// independent reader) and says, per channel, whether libmseed sees one
// continuous trace (no gap, no overlap, with its default tolerance of half a
// sample period) and whether every record starts where it should: within one
// tick (0.0001 s) below its first sample's exact time, or within one
// microsecond of it where a blockette 1001 carries microseconds.
//   trace-check FILE RATE START_SECONDS
// The file holds the channels of one conversion whose every channel starts
// at START_SECONDS at RATE samples per second. Prints one line per channel;
// exit status 0 when every channel is sound, 1 when one is not, 2 when the
// file cannot be read.
#include <libmseed.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>

namespace {

struct ChannelCheck {
    int64_t nSamples = 0;  // samples in the records read so far
    int64_t nRecords = 0;
    int64_t nBadStarts = 0;      // records not starting where they should
    int64_t nWorstMicros = 0;    // largest deviation seen, microseconds
    bool bMicroseconds = false;  // records carry blockette 1001
};

// The exact time of sample nIndex in microseconds, as whole microseconds
// rounded down and the rest in units of 1/nRate microsecond.
void vExactMicros(int64_t nStart, int64_t nIndex, int64_t nRate, int64_t& nMicros, int64_t& nRest) {
    const int64_t nRestMicros = nIndex % nRate * 1000000;
    nMicros = nStart * 1000000 + nIndex / nRate * 1000000 + nRestMicros / nRate;
    nRest = nRestMicros % nRate;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: trace-check FILE RATE START_SECONDS\n");
        return 2;
    }
    const int64_t nRate = std::atoll(argv[2]);
    const int64_t nStart = std::atoll(argv[3]);
    MSTraceList* pList = mstl_init(nullptr);
    std::map<std::string, ChannelCheck> mapChannels;
    MSRecord* pMsr = nullptr;
    int nResult;
    while ((nResult = ms_readmsr(&pMsr, argv[1], 0, nullptr, nullptr, 1, 1, 0)) == MS_NOERROR) {
        ChannelCheck& c = mapChannels[std::string(pMsr->station) + "." + pMsr->channel];
        int64_t nMicros, nRest;
        vExactMicros(nStart, c.nSamples, nRate, nMicros, nRest);
        const int64_t nGot = pMsr->starttime;  // microseconds (HPTMODULUS)
        BlktLink* pBlkt = pMsr->blkts;
        bool b1001 = false;
        for (; pBlkt != nullptr; pBlkt = pBlkt->next) b1001 = b1001 || pBlkt->blkt_type == 1001;
        c.bMicroseconds = c.bMicroseconds || b1001;
        // Below the exact time by less than a tick; with microseconds, the
        // nearest microsecond.
        const int64_t nNearest = nMicros + (2 * nRest >= nRate ? 1 : 0);
        const bool bGood = b1001 ? nGot == nNearest : nGot <= nMicros && nGot > nMicros - 100;
        const int64_t nOff = nGot - nMicros;
        if (std::llabs(nOff) > std::llabs(c.nWorstMicros)) c.nWorstMicros = nOff;
        if (!bGood) ++c.nBadStarts;
        c.nSamples += pMsr->samplecnt;
        ++c.nRecords;
        mstl_addmsr(pList, pMsr, 0, 1, -1.0, -1.0);
    }
    ms_readmsr(&pMsr, nullptr, 0, nullptr, nullptr, 0, 0, 0);
    if (nResult != MS_ENDOFFILE) {
        std::fprintf(stderr, "trace-check: %s: %s\n", argv[1], ms_errorstr(nResult));
        return 2;
    }
    bool bSound = !mapChannels.empty();
    for (auto& [sName, c] : mapChannels) {
        int nTraces = 0, nSegments = 0;
        for (MSTraceID* p = pList->traces; p != nullptr; p = p->next) {
            if (sName == std::string(p->station) + "." + p->channel) {
                ++nTraces;
                nSegments += static_cast<int>(p->numsegments);
            }
        }
        const bool bOk = nSegments == 1 && c.nBadStarts == 0;
        bSound = bSound && bOk;
        std::printf(
            "%s %lld sps: %lld records, %lld samples, %d trace segment(s), %lld bad "
            "start(s), worst %+lld us%s: %s\n",
            sName.c_str(), static_cast<long long>(nRate), static_cast<long long>(c.nRecords),
            static_cast<long long>(c.nSamples), nSegments, static_cast<long long>(c.nBadStarts),
            static_cast<long long>(c.nWorstMicros), c.bMicroseconds ? ", blockette 1001" : "",
            bOk ? "ok" : "FAILED");
    }
    mstl_free(&pList, 0);
    return bSound ? 0 : 1;
}
