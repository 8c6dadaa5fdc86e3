// The batch: one conversion run per recording, their statuses kept for the
// combined status and the closing line.
#include "driver/ConversionBatch.h"

#include <sys/stat.h>

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "driver/ConversionRun.h"
#include "driver/Diagnostics.h"
#include "driver/ExitStatus.h"

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

}  // namespace

int nRunConversions(const CommandLine& tArgs) {
    if (!tArgs.sOutputDir.empty() && !bIsFolder(tArgs.sOutputDir)) {
        vPrintError(tArgs.sOutputDir + ": no such folder for the outputs (-outdir)");
        return nExitOutputFailed;
    }
    std::vector<std::pair<std::string, int>> atFailed;
    for (const std::string& sInput : tArgs.asRecordings) {
        std::fputs(szBannerText, stdout);
        const int nStatus = nRunConversion(tArgs, sInput, sOutputNameOf(tArgs, sInput));
        if (nStatus != nExitSuccess) atFailed.emplace_back(sInput, nStatus);
    }
    if (atFailed.empty()) return nExitSuccess;
    if (tArgs.asRecordings.size() > 1)
        vPrintError(sFailureLine(atFailed, tArgs.asRecordings.size()));
    return atFailed.front().second;
}
