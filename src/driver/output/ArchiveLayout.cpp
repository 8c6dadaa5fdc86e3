// Day files of an archive. A channel's samples fall on the UTC days of
// their exact times (mapDaySpans), as the segment writer cuts its segments
// at midnight, so every record finds the day file planned for it.
#include "driver/output/ArchiveLayout.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <set>

#include "timeconv/CalendarTime.h"

namespace {

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
    const UtcFields u = tSplitEpochSeconds(nDay * nSecondsPerDay);
    char acYear[16], acDay[8];
    std::snprintf(acYear, sizeof acYear, "%04lld", static_cast<long long>(u.nYear));
    std::snprintf(acDay, sizeof acDay, "%03d", u.nDayOfYear);
    const std::string sNet = sCodeField(t, tNetworkField), sSta = sCodeField(t, tStationField);
    const std::string sLoc = sCodeField(t, tLocationField), sCha = sCodeField(t, tChannelField);
    return sRoot + "/" + acYear + "/" + sNet + "/" + sSta + "/" + sCha + ".D/" + sNet + "." + sSta +
           "." + sLoc + "." + sCha + ".D." + acYear + "." + acDay;
}

std::vector<DayFile> atDayFiles(const std::string& sRoot,
                                const std::vector<ConvertedChannel>& atChannels) {
    std::vector<DayFile> at;
    for (const ConvertedChannel& c : atChannels)
        for (const auto& [nDay, tSpan] : mapDaySpans(c))
            at.push_back({sDayFilePath(sRoot, c.tCodes, nDay), c.tCodes, nDay, tSpan});
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
