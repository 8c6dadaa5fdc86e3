// Day files of an archive. A channel's runs (one, or one more from each
// jump of the recorder's clock with -recordtime) are cut at UTC midnights
// by the exact time of each sample, as the segment writer cuts its
// segments, so every record finds the day file planned for it.
#include "driver/output/ArchiveLayout.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <map>
#include <set>
#include <utility>

#include "driver/run/RecordCodes.h"
#include "timeconv/CalendarTime.h"
#include "timeconv/SampleTime.h"

namespace {

constexpr int64_t nMicrosPerDay = int64_t{86400} * 1000000;

// Adds to mapSpans the days of the nCount samples from sample nFirst on of
// a run that started at nStartMicros, with the span of each day they cover.
void vAddRunDays(const StreamCodes& tCodes, int32_t nRate, int64_t nStartMicros, int64_t nFirst,
                 int64_t nCount, std::map<std::pair<StreamCodes, int64_t>, HeldSpan>& mapSpans) {
    if (nCount <= 0) return;
    const SampleTime tFirst = tSampleTime(nStartMicros, nFirst, nRate);
    const SampleTime tLast = tSampleTime(nStartMicros, nFirst + nCount - 1, nRate);
    const int64_t nEnd = tSampleTime(nStartMicros, nFirst + nCount, nRate).nMicros;
    for (int64_t nDay = nDayOf(tFirst); nDay <= nDayOf(tLast); ++nDay) {
        const int64_t nFrom = std::max(tFirst.nMicros, nDay * nMicrosPerDay);
        const int64_t nTo = std::min(nEnd, (nDay + 1) * nMicrosPerDay);
        const auto [it, bNew] = mapSpans.try_emplace({tCodes, nDay}, HeldSpan{nFrom, nTo});
        if (bNew) continue;
        it->second.nFromMicros = std::min(it->second.nFromMicros, nFrom);
        it->second.nToMicros = std::max(it->second.nToMicros, nTo);
    }
}

// The folder of a day file, and the folders from sRoot down to it.
std::vector<std::string> asFoldersOf(const std::string& sPath) {
    std::vector<std::string> as;
    // The day file lies four folders below the root: YEAR/NET/STA/CHA.D.
    std::string s = sPath;
    for (int i = 0; i < 4; ++i) {
        s.erase(s.rfind('/'));
        as.insert(as.begin(), s);
    }
    return as;
}

}  // namespace

std::string sDayFilePath(const std::string& sRoot, const StreamCodes& t, int64_t nDay) {
    const UtcFields u = tSplitEpochSeconds(nDay * 86400);
    char acYear[16], acDay[8];
    std::snprintf(acYear, sizeof acYear, "%04lld", static_cast<long long>(u.nYear));
    std::snprintf(acDay, sizeof acDay, "%03d", u.nDayOfYear);
    const std::string sNet = sCodeField(t, 10, 2), sSta = sCodeField(t, 0, 5);
    const std::string sLoc = sCodeField(t, 5, 2), sCha = sCodeField(t, 7, 3);
    return sRoot + "/" + acYear + "/" + sNet + "/" + sSta + "/" + sCha + ".D/" + sNet + "." + sSta +
           "." + sLoc + "." + sCha + ".D." + acYear + "." + acDay;
}

std::vector<DayFile> atDayFiles(const std::string& sRoot,
                                const std::vector<VerifiedChannel>& atChannels) {
    std::map<std::pair<StreamCodes, int64_t>, HeldSpan> mapSpans;
    for (const VerifiedChannel& c : atChannels) {
        for (size_t k = 0; k < c.atRuns.size(); ++k) {
            const int64_t nEnd = k + 1 < c.atRuns.size()
                                     ? std::min(c.atRuns[k + 1].nFirstSample, c.nSamples)
                                     : c.nSamples;
            const VerifiedRun& r = c.atRuns[k];
            vAddRunDays(c.tCodes, c.nRate, r.nStartMicros, 0, nEnd - r.nFirstSample, mapSpans);
        }
    }
    std::vector<DayFile> at;
    for (const auto& [tKey, tSpan] : mapSpans)
        at.push_back(
            {sDayFilePath(sRoot, tKey.first, tKey.second), tKey.first, tKey.second, tSpan});
    std::sort(at.begin(), at.end(),
              [](const DayFile& a, const DayFile& b) { return a.sPath < b.sPath; });
    return at;
}

bool bMakeDayFolders(const std::vector<DayFile>& atFiles, std::vector<std::string>& asCreated,
                     std::string& sError) {
    std::set<std::string> setKnown;
    for (const DayFile& f : atFiles) {
        for (const std::string& sFolder : asFoldersOf(f.sPath)) {
            if (!setKnown.insert(sFolder).second) continue;
            if (mkdir(sFolder.c_str(), 0777) == 0) {
                asCreated.push_back(sFolder);
                continue;
            }
            const int nErrno = errno;
            struct stat st;
            if (nErrno == EEXIST && stat(sFolder.c_str(), &st) == 0 && S_ISDIR(st.st_mode))
                continue;
            sError = sFolder + ": cannot make the folder: " +
                     (nErrno == EEXIST ? "it exists and is no folder" : std::strerror(nErrno));
            return false;
        }
    }
    return true;
}
