// The batch: one conversion run per recording, under one signal handling
// for the whole card, so that a signal between two recordings also tells
// what stays converted. Its work for the progress line is the recordings'
// bytes: converted, and with -verify read back again; with -sds, the
// reading of every recording's start time first.
#include "driver/run/ConversionBatch.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "driver/input/Recording.h"
#include "driver/process/Diagnostics.h"
#include "driver/process/ExitStatus.h"
#include "driver/process/ProgressLine.h"
#include "driver/process/Signals.h"
#include "driver/run/CardReport.h"
#include "driver/run/ConversionRun.h"

namespace {

// The work of reading one recording's start time, for the progress line.
constexpr int64_t nStartTimeWork = 4096;

// Why sPath cannot be the folder szOption names (szWhat: "the archive");
// empty when it is a folder.
std::string sFolderProblem(const std::string& sPath, const char* szOption, const char* szWhat) {
    struct stat st;
    if (stat(sPath.c_str(), &st) != 0) {
        if (errno == ENOENT)
            return sPath + ": no such folder for " + szWhat + " (" + szOption + ")";
        return sPath + ": " + std::strerror(errno) + "; " + szOption + " names the folder of " +
               szWhat;
    }
    if (S_ISDIR(st.st_mode)) return "";
    return sPath + ": " + (S_ISREG(st.st_mode) ? "is a file, not a folder" : "is not a folder") +
           "; " + szOption + " names the folder of " + szWhat;
}

// The bytes of sPath; 0 when it cannot be looked at (its run says why).
int64_t nSizeOf(const std::string& sPath) {
    struct stat st;
    return stat(sPath.c_str(), &st) == 0 && S_ISREG(st.st_mode) ? st.st_size : 0;
}

// The recordings in the order of their start times, for an archive whose
// readers expect each day file in time order; a recording that cannot be
// read keeps its place after those that can, for its run to refuse it.
std::vector<std::string> asByStartTime(const std::vector<std::string>& asRecordings) {
    std::vector<std::pair<double, std::string>> at;
    for (const std::string& sInput : asRecordings) {
        vProgressRecording(at.size() + 1, asRecordings.size(), sInput, nStartTimeWork,
                           "reading its start time");
        Recording r;
        std::string sIgnored;
        const bool bRead = bLoadRecording(sInput, r, sIgnored);
        at.emplace_back(bRead ? r.tFileStart : HUGE_VAL, sInput);
        vProgressRecordingDone();
    }
    std::stable_sort(at.begin(), at.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<std::string> as;
    for (const auto& t : at) as.push_back(t.second);
    return as;
}

}  // namespace

int nRunConversions(const CommandLine& tArgs) {
    const bool bArchive = !tArgs.sArchiveDir.empty();
    for (const auto& [sFolder, szOption, szWhat] :
         {std::tuple{tArgs.sOutputDir, "-outdir", "the outputs"},
          std::tuple{tArgs.sArchiveDir, "-sds", "the archive"}}) {
        if (sFolder.empty()) continue;
        if (const std::string s = sFolderProblem(sFolder, szOption, szWhat); !s.empty()) {
            vPrintError(s);
            return nExitOutputFailed;
        }
    }
    const CRunSignals tSignals;
    const int64_t nPasses = tArgs.bVerify ? 2 : 1;
    int64_t nWork = 0;
    for (const std::string& s : tArgs.asRecordings)
        nWork += nSizeOf(s) * nPasses + (bArchive ? nStartTimeWork : 0);
    vStartProgress(tArgs.bQuiet, nWork);
    std::vector<std::string> asOrder = tArgs.asRecordings;
    if (bArchive) {
        const CCardReport tUnordered(tArgs, asOrder);  // a signal meanwhile: none started
        asOrder = asByStartTime(asOrder);
    }
    CCardReport tCard(tArgs, asOrder);
    for (size_t k = 0; k < tCard.nRecordings(); ++k) {
        const RecordingSummary& t = tCard.tRecording(k);
        std::fputs(szBannerText, stdout);
        tCard.vBegin(k);
        vProgressRecording(k + 1, tCard.nRecordings(), t.sName, nSizeOf(t.sName) * nPasses,
                           "reading");
        nRunConversion(tArgs, t.sName, t.sOutput, tCard.tSummary(k),
                       [&tCard, k] { tCard.vClosing(k); });
        vProgressRecordingDone();
        tCard.vEnd(k);
    }
    vEndProgress();
    tCard.vFinish();
    return tCard.nStatus();
}
