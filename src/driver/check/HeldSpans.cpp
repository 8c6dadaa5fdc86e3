// Reading an output's spans: the file is mapped read-only and every 512-byte
// step's header read; nothing is decoded.
#include "driver/check/HeldSpans.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

#include "mseed/SeedRecord.h"
#include "mseed/Steim2Decoder.h"

namespace {

// Records this close after the end of a span extend it.
constexpr int64_t nJoinMicros = 1000000;

// Adds span t, which follows atSpans in the file, to them: it extends the
// last one where it starts within it or shortly after its end.
void vAddSpan(std::vector<TimeSpan>& atSpans, const TimeSpan& t) {
    if (!atSpans.empty() && t.nFromMicros >= atSpans.back().nFromMicros &&
        t.nFromMicros <= atSpans.back().nToMicros + nJoinMicros) {
        atSpans.back().nToMicros = std::max(atSpans.back().nToMicros, t.nToMicros);
        return;
    }
    atSpans.push_back(t);
}

// Adds record spans to their streams' spans. Records of one stream come
// in runs: the stream of the record before is looked at first.
class CSpanCollector {
public:
    explicit CSpanCollector(HeldSpans& mapSpans) : m_mapSpans(mapSpans) {}

    void vAdd(const RecordSpan& t) {
        if (m_pLast == nullptr || std::memcmp(m_tLast.data(), t.acCodes, m_tLast.size()) != 0) {
            std::memcpy(m_tLast.data(), t.acCodes, m_tLast.size());
            m_pLast = &m_mapSpans[m_tLast];
        }
        vAddSpan(*m_pLast, {t.nStartMicros, t.nEndMicros});
    }

private:
    HeldSpans& m_mapSpans;
    StreamCodes m_tLast{};
    std::vector<TimeSpan>* m_pLast = nullptr;
};

// The records from byte nFrom to nTo as a job for the run's threads.
struct CSpanPartJob : CPoolJob {
    const unsigned char* pBytes = nullptr;
    int64_t nFrom = 0, nTo = 0;
    HeldSpans mapSpans;
    void vRun() override {
        CSpanCollector tCollector(mapSpans);
        RecordSpan t;
        for (int64_t n = nFrom; n < nTo; n += nSeedRecordLength)
            if (bReadRecordSpan(pBytes + n, nSeedRecordLength, t)) tCollector.vAdd(t);
    }
};

// Fewest records a part is given.
constexpr int64_t nRecordsPerPartAtLeast = 16384;

}  // namespace

HeldSpans tReadHeldSpans(const std::string& sPath, int64_t nLength, CWorkerPool& tPool) {
    HeldSpans mapSpans;
    if (nLength < nSeedRecordLength) return mapSpans;
    const int nFile = open(sPath.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (nFile < 0) return mapSpans;
    struct stat st;
    void* p = MAP_FAILED;
    if (fstat(nFile, &st) == 0 && S_ISREG(st.st_mode) && st.st_size >= nLength)
        p = mmap(nullptr, static_cast<size_t>(nLength), PROT_READ, MAP_PRIVATE, nFile, 0);
    close(nFile);
    if (p == MAP_FAILED) return mapSpans;
    // The records are read in parts side by side; touching the pages is
    // what the reading costs.
    const std::vector<PartRange> atRanges =
        atPartsOf(nLength / nSeedRecordLength, nRecordsPerPartAtLeast, tPool);
    std::vector<CSpanPartJob> atParts(atRanges.size());
    for (size_t k = 0; k < atParts.size(); ++k) {
        CSpanPartJob& t = atParts[k];
        t.pBytes = static_cast<const unsigned char*>(p);
        t.nFrom = atRanges[k].nFrom * nSeedRecordLength;
        t.nTo = atRanges[k].nTo * nSeedRecordLength;
        tPool.vSubmit(t);
    }
    for (CSpanPartJob& t : atParts) {
        tPool.vWait(t);
        for (const auto& [tCodes, atSpans] : t.mapSpans)
            for (const TimeSpan& tSpan : atSpans) vAddSpan(mapSpans[tCodes], tSpan);
    }
    munmap(p, static_cast<size_t>(nLength));
    return mapSpans;
}
