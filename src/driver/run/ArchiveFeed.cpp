// The archive's day files surveyed before the run writes (DayFileSurvey.h),
// one at a time, so memory grows with one day file; then planned: a file
// whose records the run's follow is appended to, any other the run writes
// into is replaced in time order.
#include "driver/run/ArchiveFeed.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <ctime>
#include <utility>

#include "driver/check/DayFileSurvey.h"
#include "driver/output/ArchiveLayout.h"
#include "driver/process/ExitStatus.h"
#include "mseed/SeedRecord.h"

namespace {

// A torn end younger than this may be a record another program is writing.
constexpr int64_t nTornQuietSeconds = 60;

// The channel of atChannels whose records carry tCodes; its count when none does.
size_t nChannelOf(const std::vector<ConvertedChannel>& atChannels, const StreamCodes& tCodes) {
    for (size_t k = 0; k < atChannels.size(); ++k)
        if (atChannels[k].tCodes == tCodes) return k;
    return atChannels.size();
}

// What c writes on one day, given what the archive holds: where its first
// record starts (INT64_MAX when it writes nothing that day), and whether its
// records come in order of start time (a stretch dated back by a jump of the
// recorder's clock comes after records of later times).
struct DayWrites {
    int64_t nFirstMicros = INT64_MAX;
    bool bInOrder = true;
};

DayWrites tDayWrites(const ConvertedChannel& c, const CHeldStretches& h, int64_t nDay) {
    DayWrites t;
    int64_t nEndSoFar = INT64_MIN;
    for (size_t k = 0; k < c.atStretches.size(); ++k) {
        const SampleStretch& s = c.atStretches[k];
        const int64_t nCount = nStretchEnd(c, k) - s.nFirstSample;
        const int64_t a =
            std::min(nCount, nFirstSampleFrom(s.nStartMicros, c.nRate, nDay * nMicrosPerDay));
        const int64_t b =
            std::min(nCount, nFirstSampleFrom(s.nStartMicros, c.nRate, (nDay + 1) * nMicrosPerDay));
        if (a >= b) continue;
        std::vector<SampleRange> at;
        h.vNotHeld(s.nStartMicros, a, b - a, at);
        if (at.empty()) continue;
        const int64_t nFirst = nRecordStartDue(c, s.nFirstSample + a + at.front().nFirst);
        const int64_t nLast = a + at.back().nFirst + at.back().nCount;  // after the last
        if (nFirst < nEndSoFar) t.bInOrder = false;
        nEndSoFar = std::max(nEndSoFar, tSampleTime(s.nStartMicros, nLast, c.nRate).nMicros);
        t.nFirstMicros = std::min(t.nFirstMicros, nFirst);
    }
    return t;
}

// Surveys the first nLength bytes of day file i of tArchive, and the day
// before it where the run does not write that one, into tHeld; the problem
// found (status 0: none).
DayFileSurvey tSurveyOne(const CArchiveSink& tArchive, size_t i, int64_t nLength,
                         const std::string& sRoot, const ConvertedChannel& c, CHeldStretches& tHeld,
                         CWorkerPool& tPool) {
    const DayFile& f = tArchive.atFiles()[i];
    DayFileSurvey t = tSurveyDayFile(f.sPath, nLength, c, tHeld, tPool);
    const std::string sBefore = sDayFilePath(sRoot, f.tCodes, f.nDay - 1);
    const auto& at = tArchive.atFiles();
    const bool bOwn =
        std::any_of(at.begin(), at.end(), [&](const DayFile& o) { return o.sPath == sBefore; });
    if (t.nStatus == 0 && !bOwn) {
        const DayFileSurvey tBefore = tSurveyDayBefore(sBefore, f.nDay, c, tHeld);
        t.nStatus = tBefore.nStatus;
        t.sProblem = tBefore.sProblem;
    }
    return t;
}

// How day file i is written, given its survey t and what the run writes
// into it; a refusal when its torn end is too young to cut.
Refusal tPlanOne(const CArchiveSink& tArchive, size_t i, DayFileSurvey t, const DayWrites& w,
                 DayFilePlan& p, std::vector<std::string>& asWarnings) {
    const COutputFile& f = tArchive.tFile(i);
    if (w.nFirstMicros == INT64_MAX) return {};  // nothing to write: the file stays as it is
    p.bReplace = !t.bInOrder || !w.bInOrder || w.nFirstMicros < t.nHeldEndMicros;
    p.atHeld = std::move(t.atRecords);
    if (t.nTornBytes == 0) return {};
    const int64_t nAge = static_cast<int64_t>(std::time(nullptr)) - f.tOpened().st_mtim.tv_sec;
    if (nAge < nTornQuietSeconds)
        return {nExitOutputFailed,
                f.sPath() + ": ends in " + std::to_string(t.nTornBytes) +
                    " bytes after its last whole record, and changed less than a minute ago: "
                    "another program may be writing it; run the command again in a minute"};
    p.bCutTail = true;
    asWarnings.push_back(
        f.sPath() + ": ends in " + std::to_string(t.nTornBytes) +
        " bytes after its last whole record (a record cut short, by a crash "
        "perhaps); they are removed, and this run's records follow the whole ones");
    return {};
}

}  // namespace

Refusal tSurveyArchive(const std::string& sIn, CArchiveSink& tArchive, const std::string& sRoot,
                       const std::vector<ConvertedChannel>& atChannels, CWorkerPool& tPool,
                       ArchiveHeld& t) {
    for (const ConvertedChannel& c : atChannels)
        t.apChannels.push_back(std::make_unique<CHeldStretches>(c));
    const std::vector<DayFile>& atFiles = tArchive.atFiles();
    std::vector<DayFileSurvey> atSurveys;
    Refusal tProblem;
    for (size_t i = 0; i < atFiles.size(); ++i) {
        const size_t k = nChannelOf(atChannels, atFiles[i].tCodes);
        atSurveys.push_back(tSurveyOne(tArchive, i, tArchive.tFile(i).nOldLength(), sRoot,
                                       atChannels[k], *t.apChannels[k], tPool));
        if (atSurveys.back().nStatus != 0 && !tProblem)
            tProblem = {atSurveys.back().nStatus, sIn + ": " + atSurveys.back().sProblem};
    }
    if (tProblem) return tProblem;
    for (const std::unique_ptr<CHeldStretches>& p : t.apChannels) {
        p->vSettle();
        t.nSamplesHeld += p->nHeld();
    }
    for (size_t i = 0; i < atFiles.size(); ++i) {
        const size_t k = nChannelOf(atChannels, atFiles[i].tCodes);
        const DayWrites w = tDayWrites(atChannels[k], *t.apChannels[k], atFiles[i].nDay);
        DayFilePlan p;
        if (const Refusal r = tPlanOne(tArchive, i, std::move(atSurveys[i]), w, p, t.asWarnings))
            return r;
        std::string sError;
        if (!tArchive.bPlan(i, std::move(p), sError)) return {nExitOutputFailed, sError};
    }
    return {};
}

Refusal tVerifyArchive(const std::string& sIn, CArchiveSink& tArchive, const std::string& sRoot,
                       const std::vector<ConvertedChannel>& atChannels, CWorkerPool& tPool) {
    std::string sError;
    if (!tArchive.bPrepare(sError))
        return {nExitOutputFailed,
                sRoot + ": cannot write: " + sError + "; the archive " + tArchive.sFate()};
    ArchiveHeld tFound;
    for (const ConvertedChannel& c : atChannels)
        tFound.apChannels.push_back(std::make_unique<CHeldStretches>(c));
    std::string sProblem;
    for (size_t i = 0; i < tArchive.atFiles().size() && sProblem.empty(); ++i) {
        const DayFile& f = tArchive.atFiles()[i];
        // From the disk, not the cache, where the file system allows.
        const int nFile = open(f.sPath.c_str(), O_RDONLY | O_CLOEXEC);
        struct stat st {};
        if (nFile >= 0) {
            fstat(nFile, &st);
            posix_fadvise(nFile, 0, 0, POSIX_FADV_DONTNEED);
            close(nFile);
        }
        const size_t k = nChannelOf(atChannels, f.tCodes);
        const DayFileSurvey t =
            tSurveyOne(tArchive, i, st.st_size, sRoot, atChannels[k], *tFound.apChannels[k], tPool);
        if (t.nStatus != 0) sProblem = t.sProblem;
    }
    for (size_t k = 0; k < atChannels.size() && sProblem.empty(); ++k) {
        tFound.apChannels[k]->vSettle();
        const int64_t nMissing = atChannels[k].nSamples - tFound.apChannels[k]->nHeld();
        if (nMissing != 0)
            sProblem = "stream " + sStreamName(atChannels[k].tCodes) + ": " +
                       std::to_string(nMissing) + " of its samples are not in the archive";
    }
    if (sProblem.empty()) return {};
    tArchive.vRestore();
    return {nExitVerifyFailed, sRoot + ": " + sProblem + ", read back against " + sIn +
                                   "; the archive " + tArchive.sFate()};
}
