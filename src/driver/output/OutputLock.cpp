// The output lock: flock on the open file description, so it is released
// by the last close, and by the kernel when the process dies however it
// dies. Waiting polls without blocking, which leaves room to say once that
// the run is waiting, and lets signals end the wait as usual.
#include "driver/output/OutputLock.h"

#include <sys/file.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

#include "driver/process/Diagnostics.h"

namespace {

constexpr auto tFirstPause = std::chrono::milliseconds(1);
constexpr auto tLongestPause = std::chrono::milliseconds(50);
constexpr auto tQuietWait = std::chrono::seconds(1);

}  // namespace

bool bLockOutput(int nFile, const std::string& sPath, std::string& sProblem) {
    const auto tStart = std::chrono::steady_clock::now();
    auto tPause = tFirstPause;
    bool bSaid = false;
    while (flock(nFile, LOCK_EX | LOCK_NB) != 0) {
        if (errno == EINTR) continue;
        if (errno != EWOULDBLOCK) {
            sProblem = std::strerror(errno);
            return false;
        }
        if (!bSaid && std::chrono::steady_clock::now() - tStart >= tQuietWait) {
            vPrintWarning(sPath + ": waiting for another run that is writing this file");
            bSaid = true;
        }
        std::this_thread::sleep_for(tPause);
        tPause = std::min(tPause * 2, tLongestPause);
    }
    return true;
}
