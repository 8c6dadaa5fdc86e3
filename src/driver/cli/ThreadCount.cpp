// The thread setting, read once at start-up.
#include "driver/cli/ThreadCount.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <thread>

namespace {

// Data area below which a run uses one thread unless the thread count was
// chosen: two million samples encode in a few milliseconds, less than
// starting workers and touching their buffers costs.
constexpr int64_t nParallelFromBytes = int64_t{4} << 20;

int nCores() {
    const unsigned n = std::thread::hardware_concurrency();
    return std::clamp(static_cast<int>(n), 1, nMaxThreads);
}

}  // namespace

ThreadSetting tThreadSetting(const char* szSetting, std::string& sWarning) {
    if (szSetting == nullptr || *szSetting == '\0') return {nCores(), false};
    char* pEnd = nullptr;
    errno = 0;
    const long n = std::strtol(szSetting, &pEnd, 10);
    if (errno != 0 || *pEnd != '\0' || n < 1) {
        sWarning = std::string("TESSAL_THREADS=\"") + szSetting +
                   "\" is not a whole number of 1 or more; " + std::to_string(nCores()) +
                   " threads (the cores) are used";
        return {nCores(), false};
    }
    return {static_cast<int>(std::min<long>(n, nMaxThreads)), true};
}

int nEncodingThreads(int nThreads, bool bChosen, int64_t nDataBytes) {
    if (!bChosen && nDataBytes < nParallelFromBytes) return 1;
    return nThreads;
}
