// The batch: one conversion run per recording, their statuses kept for the
// combined status and the closing line.
#include "driver/run/ConversionBatch.h"

#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "driver/input/Recording.h"
#include "driver/process/Diagnostics.h"
#include "driver/process/ExitStatus.h"
#include "driver/run/ConversionRun.h"

namespace {

// True when sPath is a folder.
bool bIsFolder(const std::string& sPath) {
    struct stat st;
    return stat(sPath.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// "2 of 10 recordings failed: a.vrx (status 1), b.vrx (status 3)".
std::string sFailureLine(const std::vector<std::pair<std::string, int>>& atFailed,
                         size_t nRecordings) {
    std::string s = std::to_string(atFailed.size()) + " of " + std::to_string(nRecordings) +
                    " recordings failed:";
    for (size_t k = 0; k < atFailed.size(); ++k)
        s += (k == 0 ? " " : ", ") + atFailed[k].first + " (status " +
             std::to_string(atFailed[k].second) + ")";
    return s;
}

// The recordings in the order of their start times, for an archive whose
// readers expect each day file in time order; a recording that cannot be
// read keeps its place after those that can, for its run to refuse it.
std::vector<std::string> asByStartTime(const std::vector<std::string>& asRecordings) {
    std::vector<std::pair<double, std::string>> at;
    for (const std::string& sInput : asRecordings) {
        Recording r;
        std::string sIgnored;
        const bool bRead = bLoadRecording(sInput, r, sIgnored);
        at.emplace_back(bRead ? r.tFileStart : HUGE_VAL, sInput);
    }
    std::stable_sort(at.begin(), at.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<std::string> as;
    for (const auto& t : at) as.push_back(t.second);
    return as;
}

}  // namespace

int nRunConversions(const CommandLine& tArgs) {
    if (!tArgs.sOutputDir.empty() && !bIsFolder(tArgs.sOutputDir)) {
        vPrintError(tArgs.sOutputDir + ": no such folder for the outputs (-outdir)");
        return nExitOutputFailed;
    }
    const bool bArchive = !tArgs.sArchiveDir.empty();
    if (bArchive && !bIsFolder(tArgs.sArchiveDir)) {
        vPrintError(tArgs.sArchiveDir + ": no such folder for the archive (-sds)");
        return nExitOutputFailed;
    }
    const std::vector<std::string> asRecordings =
        bArchive ? asByStartTime(tArgs.asRecordings) : tArgs.asRecordings;
    std::vector<std::pair<std::string, int>> atFailed;
    for (const std::string& sInput : asRecordings) {
        std::fputs(szBannerText, stdout);
        const std::string sOutput = bArchive ? tArgs.sArchiveDir : sOutputNameOf(tArgs, sInput);
        const int nStatus = nRunConversion(tArgs, sInput, sOutput);
        if (nStatus != nExitSuccess) atFailed.emplace_back(sInput, nStatus);
    }
    if (atFailed.empty()) return nExitSuccess;
    if (tArgs.asRecordings.size() > 1)
        vPrintError(sFailureLine(atFailed, tArgs.asRecordings.size()));
    return atFailed.front().second;
}
