// The survey of a day file. Each record is read whole; a record of the
// channel's stream is laid over the channel's stretches: at the same rate
// and within its time resolution (1 us with a blockette 1001, else 100 us)
// of the channel's grid, its samples are the channel's samples at those
// times, and those of equal value are held. A held sample at a time where
// the channel has samples and none of its value, a record at another rate,
// or one off the channel's grid is a conflict. The file is read in parts
// side by side on the run's threads, each part a buffer at a time.
#include "driver/check/DayFileSurvey.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "base/WholeTransfer.h"
#include "driver/channel/StreamCodes.h"
#include "driver/process/ExitStatus.h"
#include "mseed/RecordReader.h"
#include "mseed/SeedRecord.h"
#include "timeconv/SampleTime.h"
#include "timeconv/UtcText.h"

namespace {

// The earliest conflict found: its time and what it is.
struct Conflict {
    int64_t nAtMicros = INT64_MAX;
    std::string sWhat;
    void vOffer(int64_t nAt, const std::string& s) {
        if (nAt >= nAtMicros) return;
        nAtMicros = nAt;
        sWhat = s;
    }
};

// A held run of samples: nCount from sample nFirst of stretch k.
struct HeldRun {
    size_t k;
    int64_t nFirst, nCount;
};

// What a part of the file gives.
struct PartFindings {
    std::vector<RecordTime> atRecords;
    std::vector<int64_t> anEnds;  // where each record's samples end
    std::vector<HeldRun> atHeld;
    Conflict tConflict;
    int64_t nBadRecord = -1;  // the first record that cannot be surveyed (counted from 0)
    std::string sBad;
    std::vector<int32_t> anRun;  // the recording's samples under a record, reused
    std::vector<size_t> akMet;   // the stretches a record meets, reused
    ReadRecord tRecord;          // the record being read, its buffer reused
    bool bUnreadable = false;    // the file could not be read (nReadErrno says why)
    int nReadErrno = 0;
};

// "record N of F" for messages.
std::string sRecordOf(const std::string& sPath, int64_t nRecord) {
    return sPath + ", record " + std::to_string(nRecord + 1);
}

// A record of a file, named in words only when a message needs it.
struct RecordAt {
    const std::string& sPath;
    int64_t nRecord;
    std::string sText() const { return sRecordOf(sPath, nRecord); }
};

// The options that keep data of two sources apart.
constexpr const char* szKeepApart =
    "; give this recording's data codes of their own (-station=, -location=, -channels=, "
    "-network=) or convert it into another archive";

// Where record h lies on stretch k of c: sample i0 of the stretch is the
// one nearest h's first, nOff (in units of 1 / rate microseconds) how far
// from it h's first is, and samples jFrom .. jTo - 1 of h have samples of
// the stretch at their times, if h is on its grid at all (bOnGrid).
struct Overlay {
    int64_t i0 = 0;
    int64_t nOffMicros = 0;
    bool bOnGrid = false;
    int64_t jFrom = 0, jTo = 0;
};

// Floor of a / b for b > 0.
template <typename Wide>
Wide nFloorDiv(Wide a, Wide b) {
    return a >= 0 ? a / b : -((-a + b - 1) / b);
}

// tOverlay's arithmetic on d = (record start - stretch start) * rate, in
// units of 1 / rate microseconds: in 64 bits where they are enough (records
// within centuries of the stretch at common rates), else in 128.
template <typename Wide>
Overlay tOverlayOf(Wide d, int64_t nRate, bool bMicroseconds) {
    const Wide i0 = nFloorDiv<Wide>(d + 500000, 1000000);
    const Wide nOff = d - i0 * 1000000;
    const Wide nResolution = static_cast<Wide>(bMicroseconds ? 1 : 100) * nRate;
    Overlay t;
    t.i0 = static_cast<int64_t>(i0);
    t.nOffMicros = static_cast<int64_t>(nOff / nRate);
    t.bOnGrid = nOff <= nResolution && -nOff <= nResolution;
    return t;
}

Overlay tOverlay(const ReadRecord& h, const ConvertedChannel& c, size_t k) {
    const SampleStretch& s = c.atStretches[k];
    const int64_t nCount = nStretchEnd(c, k) - s.nFirstSample;
    const int64_t nApart = h.nStartMicros - s.nStartMicros;
    int64_t d = 0;
    const bool bNarrow = !__builtin_mul_overflow(nApart, c.nRate, &d) && d < INT64_MAX - 1000000 &&
                         d > INT64_MIN + 1000000;
    Overlay t = bNarrow
                    ? tOverlayOf(d, c.nRate, h.bMicroseconds)
                    : tOverlayOf(static_cast<__int128>(nApart) * c.nRate, c.nRate, h.bMicroseconds);
    t.jFrom = std::max<int64_t>(0, -t.i0);
    t.jTo = std::min<int64_t>(static_cast<int64_t>(h.anSamples.size()), nCount - t.i0);
    return t;
}

// The channel's samples under samples jFrom .. jTo - 1 of a record laid
// over stretch k as o says, into an.
void vRunSamples(const ConvertedChannel& c, size_t k, const Overlay& o, std::vector<int32_t>& an) {
    an.resize(static_cast<size_t>(o.jTo - o.jFrom));
    c.fnSamples(c.atStretches[k].nFirstSample + o.i0 + o.jFrom, static_cast<int>(an.size()),
                an.data());
}

// Offers the conflict of held sample j of h (at offset nOffset into the
// record) whose time holds nRun in the recording.
void vOfferValue(const ReadRecord& h, size_t j, int32_t nRun, const RecordAt& tAt,
                 PartFindings& t) {
    const int64_t nAt = h.nStartMicros + nSampleOffsetMicros(h, static_cast<int64_t>(j));
    t.tConflict.vOffer(nAt, "the archive holds " + std::to_string(h.anSamples[j]) + " at " +
                                sMicrosText(nAt) + " (" + tAt.sText() +
                                "), where this recording has " + std::to_string(nRun));
}

// Lays h over the one stretch k of c it meets: its samples there are held
// when every one is the channel's; a sample that differs is a conflict.
void vMatchOne(const ReadRecord& h, const ConvertedChannel& c, size_t k, const Overlay& o,
               const RecordAt& tAt, PartFindings& t) {
    if (o.jTo <= o.jFrom) return;
    vRunSamples(c, k, o, t.anRun);
    const int32_t* pHeld = h.anSamples.data() + o.jFrom;
    const auto [pRun, pAt] = std::mismatch(t.anRun.begin(), t.anRun.end(), pHeld);
    if (pRun == t.anRun.end()) {
        t.atHeld.push_back({k, o.i0 + o.jFrom, o.jTo - o.jFrom});
        return;
    }
    vOfferValue(h, static_cast<size_t>(o.jFrom + (pRun - t.anRun.begin())), *pRun, tAt, t);
}

// Lays h over the stretches ak of c it meets, which date some of the same
// times (a clock that jumped back): a held sample whose time has samples of
// several stretches conflicts only when none of them has its value; those
// that have it are held.
void vMatchMany(const ReadRecord& h, const ConvertedChannel& c, const std::vector<size_t>& ak,
                const RecordAt& tAt, PartFindings& t) {
    const size_t n = h.anSamples.size();
    std::vector<char> acState(n, 0);  // 0: no sample there, 1: only others, 2: its value too
    std::vector<int32_t> anOther(n, 0);
    for (const size_t k : ak) {
        const Overlay o = tOverlay(h, c, k);
        if (o.jTo <= o.jFrom) continue;
        vRunSamples(c, k, o, t.anRun);
        int64_t nRunFrom = -1;  // the first of the held samples in a row
        for (int64_t j = o.jFrom; j <= o.jTo; ++j) {
            const size_t u = static_cast<size_t>(j);
            const bool bSame = j < o.jTo && t.anRun[u - o.jFrom] == h.anSamples[u];
            if (j < o.jTo && (bSame || acState[u] == 0)) {
                acState[u] = bSame ? 2 : 1;
                anOther[u] = t.anRun[u - o.jFrom];
            }
            if (bSame && nRunFrom < 0) nRunFrom = j;
            if (!bSame && nRunFrom >= 0) {
                t.atHeld.push_back({k, o.i0 + nRunFrom, j - nRunFrom});
                nRunFrom = -1;
            }
        }
    }
    for (size_t j = 0; j < n; ++j) {
        if (acState[j] != 1) continue;
        vOfferValue(h, j, anOther[j], tAt, t);
        break;
    }
}

// Lays record h, nRecord-th of sPath, over every stretch of c.
void vMatchRecord(const ReadRecord& h, const ConvertedChannel& c, const std::string& sPath,
                  int64_t nRecord, int64_t nEnd, PartFindings& t) {
    if (h.anSamples.empty() || !(h.dRate > 0)) return;
    std::vector<size_t>& ak = t.akMet;  // the stretches it meets
    ak.clear();
    for (size_t k = 0; k < c.atStretches.size(); ++k) {
        const int64_t nCount = nStretchEnd(c, k) - c.atStretches[k].nFirstSample;
        const int64_t nFrom = c.atStretches[k].nStartMicros;
        const int64_t nTo = tSampleTime(nFrom, nCount, c.nRate).nMicros;
        if (nCount > 0 && nEnd > nFrom && h.nStartMicros < nTo) ak.push_back(k);
    }
    if (ak.empty()) return;
    const RecordAt tAt{sPath, nRecord};
    if (h.dRate != static_cast<double>(c.nRate)) {
        t.tConflict.vOffer(std::max(c.atStretches[ak.front()].nStartMicros, h.nStartMicros),
                           "the archive holds samples at " + std::to_string(h.dRate) +
                               " samples per second from " + sMicrosText(h.nStartMicros) + " (" +
                               tAt.sText() + "), and this recording has " +
                               std::to_string(c.nRate) + " there");
        return;
    }
    for (const size_t k : ak) {
        const Overlay o = tOverlay(h, c, k);
        if (o.bOnGrid) continue;
        t.tConflict.vOffer(h.nStartMicros, "the archive holds samples from " +
                                               sMicrosText(h.nStartMicros) + " (" + tAt.sText() +
                                               ") on a grid " + std::to_string(o.nOffMicros) +
                                               " us off this recording's (another clock)");
        return;
    }
    if (ak.size() == 1) {
        vMatchOne(h, c, ak.front(), tOverlay(h, c, ak.front()), tAt, t);
    } else {
        vMatchMany(h, c, ak, tAt, t);
    }
}

// Surveys record n of sPath, at p, into t; false when it cannot be read
// or is not 512 bytes long.
bool bSurveyRecord(const unsigned char* p, int64_t n, const std::string& sPath,
                   const ConvertedChannel& c, PartFindings& t) {
    ReadRecord& h = t.tRecord;
    vReadRecord(h, p, nSeedRecordLength);
    if (!h.sError.empty() || h.nLength != static_cast<size_t>(nSeedRecordLength)) {
        t.nBadRecord = n;
        t.sBad = h.sError;
        return false;
    }
    const int64_t nEnd =
        h.nStartMicros + nSampleOffsetMicros(h, static_cast<int64_t>(h.anSamples.size()));
    t.atRecords.push_back({h.nStartMicros, h.nSequenceNumber});
    t.anEnds.push_back(nEnd);
    if (std::memcmp(h.acCodes, c.tCodes.data(), c.tCodes.size()) == 0)
        vMatchRecord(h, c, sPath, n, nEnd, t);
    return true;
}

// Records read at once: a buffer that stays in the cache.
constexpr int64_t nRecordsPerRead = 256;

// Calls fnRecord(p, n) for records nFrom .. nTo - 1 of the file open as
// nFile, read a buffer at a time, until it returns false; false when the
// file cannot be read (errno set).
template <typename RecordFn>
bool bReadRecords(int nFile, int64_t nFrom, int64_t nTo, RecordFn fnRecord) {
    std::vector<unsigned char> ac(nRecordsPerRead * nSeedRecordLength);
    for (int64_t n = nFrom; n < nTo; n += nRecordsPerRead) {
        const int64_t nCount = std::min(nRecordsPerRead, nTo - n);
        if (!bReadAll(nFile, ac.data(), static_cast<size_t>(nCount * nSeedRecordLength),
                      n * nSeedRecordLength))
            return false;
        for (int64_t k = 0; k < nCount; ++k)
            if (!fnRecord(ac.data() + k * nSeedRecordLength, n + k)) return true;
    }
    return true;
}

// A part of the file as a job for the run's threads: each part reads its
// own records, so the reading is shared out too.
struct CSurveyPartJob : CPoolJob {
    int nFile = -1;
    int64_t nFrom = 0, nTo = 0;
    const std::string* pPath = nullptr;
    const ConvertedChannel* pChannel = nullptr;
    PartFindings tFound;
    void vRun() override {
        PartFindings& t = tFound;
        t.bUnreadable = !bReadRecords(nFile, nFrom, nTo, [&](const unsigned char* p, int64_t n) {
            return bSurveyRecord(p, n, *pPath, *pChannel, t);
        });
        if (t.bUnreadable) t.nReadErrno = errno;
    }
};

// Fewest records a part is given.
constexpr int64_t nRecordsPerPartAtLeast = 512;

// The file at sPath open for reading; closed when it goes.
struct CReadFile {
    int nFile;
    explicit CReadFile(const std::string& sPath)
        : nFile(open(sPath.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK)) {}
    ~CReadFile() {
        if (nFile >= 0) close(nFile);
    }
    CReadFile(const CReadFile&) = delete;
    CReadFile& operator=(const CReadFile&) = delete;
};

// Refuses the recording for the day file sPath that cannot be read (errno
// nErrno).
void vRefuseUnreadable(const std::string& sPath, int nErrno, DayFileSurvey& t) {
    t.nStatus = nExitOutputFailed;
    t.sProblem = sPath + ": cannot read what it holds: " + std::strerror(nErrno);
}

// Gives the findings of a record that cannot be surveyed as t's refusal.
void vRefuseBadRecord(const std::string& sPath, const PartFindings& f, DayFileSurvey& t) {
    if (f.sBad.empty()) {
        t.nStatus = nExitCommandLine;
        t.sProblem = sRecordOf(sPath, f.nBadRecord) +
                     " is not 512 bytes long; records of other lengths are not mixed with "
                     "this run's, and the recording is not converted into this file";
        return;
    }
    t.nStatus = nExitBadInput;
    t.sProblem = sRecordOf(sPath, f.nBadRecord) + " cannot be read (" + f.sBad +
                 "); the recording is not converted into a file whose records it cannot read";
}

// Refuses the recording for conflict f in the file of c's stream, if any.
void vRefuseConflict(const ConvertedChannel& c, const Conflict& f, DayFileSurvey& t) {
    if (f.nAtMicros == INT64_MAX || t.nStatus != 0) return;
    t.nStatus = nExitBadInput;
    t.sProblem = "stream " + sStreamName(c.tCodes) + ": " + f.sWhat + szKeepApart;
}

}  // namespace

DayFileSurvey tSurveyDayFile(const std::string& sPath, int64_t nLength, const ConvertedChannel& c,
                             CHeldStretches& tHeld, CWorkerPool& tPool) {
    DayFileSurvey t;
    t.nTornBytes = nLength % nSeedRecordLength;
    t.nWholeBytes = nLength - t.nTornBytes;
    if (t.nWholeBytes == 0) return t;
    const CReadFile tFile(sPath);
    if (tFile.nFile < 0) {
        vRefuseUnreadable(sPath, errno, t);
        return t;
    }
    const std::vector<PartRange> atRanges =
        atPartsOf(t.nWholeBytes / nSeedRecordLength, nRecordsPerPartAtLeast, tPool);
    std::vector<CSurveyPartJob> atParts(atRanges.size());
    for (size_t k = 0; k < atParts.size(); ++k) {
        CSurveyPartJob& j = atParts[k];
        j.nFile = tFile.nFile;
        j.nFrom = atRanges[k].nFrom;
        j.nTo = atRanges[k].nTo;
        j.pPath = &sPath;
        j.pChannel = &c;
        tPool.vSubmit(j);
    }
    Conflict tConflict;
    for (CSurveyPartJob& j : atParts) {
        tPool.vWait(j);
        const PartFindings& f = j.tFound;
        if (f.bUnreadable && t.nStatus == 0) vRefuseUnreadable(sPath, f.nReadErrno, t);
        if (f.nBadRecord >= 0 && t.nStatus == 0) vRefuseBadRecord(sPath, f, t);
        for (size_t i = 0; i < f.atRecords.size(); ++i) {
            if (!t.atRecords.empty() &&
                f.atRecords[i].nStartMicros < t.atRecords.back().nStartMicros)
                t.bInOrder = false;
            t.atRecords.push_back(f.atRecords[i]);
            t.nHeldEndMicros = std::max(t.nHeldEndMicros, f.anEnds[i]);
        }
        for (const HeldRun& r : f.atHeld) tHeld.vAdd(r.k, r.nFirst, r.nCount);
        tConflict.vOffer(f.tConflict.nAtMicros, f.tConflict.sWhat);
    }
    vRefuseConflict(c, tConflict, t);
    return t;
}

DayFileSurvey tSurveyDayBefore(const std::string& sPath, int64_t nDay, const ConvertedChannel& c,
                               CHeldStretches& tHeld) {
    DayFileSurvey t;
    struct stat st;
    if (stat(sPath.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return t;
    const CReadFile tFile(sPath);
    if (tFile.nFile < 0) return t;
    const int64_t nMidnight = nDay * nMicrosPerDay;
    PartFindings f;
    ReadRecord& h = f.tRecord;
    // A file that ends early holds what was read of it.
    bReadRecords(
        tFile.nFile, 0, st.st_size / nSeedRecordLength, [&](const unsigned char* p, int64_t n) {
            vReadRecord(h, p, nSeedRecordLength);
            // Another writer's file may hold what this run cannot read: only
            // records that run into the day matter, and none can be told then.
            if (!h.sError.empty() || h.nLength != static_cast<size_t>(nSeedRecordLength))
                return false;
            const int64_t nEnd =
                h.nStartMicros + nSampleOffsetMicros(h, static_cast<int64_t>(h.anSamples.size()));
            if (nEnd > nMidnight && std::memcmp(h.acCodes, c.tCodes.data(), c.tCodes.size()) == 0)
                vMatchRecord(h, c, sPath, n, nEnd, f);
            return true;
        });
    for (const HeldRun& r : f.atHeld) tHeld.vAdd(r.k, r.nFirst, r.nCount);
    vRefuseConflict(c, f.tConflict, t);
    return t;
}
