// The progress line is drawn as "\r", the text and blanks over what is left
// of the line before; it is erased as "\r", blanks and "\r". Blanks, not
// terminal escapes, so that it reads right on any terminal. The line is cut
// one short of the terminal's width, so that the terminal never wraps it.
#include "driver/process/ProgressLine.h"

#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>

#include "base/PrintableText.h"

namespace {

using Clock = std::chrono::steady_clock;

// Widest line drawn, whatever the terminal's width.
constexpr size_t nMaxWidth = 1000;
// Least time between two drawings of the same part of the work.
constexpr auto tRedrawEvery = std::chrono::milliseconds(200);

bool g_bOn = false;
volatile sig_atomic_t g_bStopped = 0;  // the signal handler erased the line for good
volatile sig_atomic_t g_nShown = 0;    // length of the line on the terminal, 0 when none
// "\r" and nMaxWidth blanks: "\r" and the first g_nShown blanks erase the line.
char g_acBlanks[nMaxWidth + 1];

std::string g_sItem;  // "3 of 8, rec3.vrx"
const char* g_szDoing = "";
int64_t g_nTotal = 0;     // the card's work
int64_t g_nFinished = 0;  // the work of the recordings done
int64_t g_nItemWork = 0;  // the work of the recording under way
double g_dFrom = 0, g_dTo = 1, g_dShare = 0;
Clock::time_point g_tStart, g_tDrawn;

// Writes all n bytes at p to standard error; a failure drops the rest.
void vWriteAll(const char* p, size_t n) {
    while (n > 0) {
        const ssize_t k = write(2, p, n);
        if (k < 0 && errno == EINTR) continue;
        if (k <= 0) return;
        p += k;
        n -= static_cast<size_t>(k);
    }
}

// Columns of the terminal on standard error; 80 when it does not say.
size_t nTerminalWidth() {
    struct winsize t {};
    if (ioctl(2, TIOCGWINSZ, &t) != 0 || t.ws_col == 0) return 80;
    return t.ws_col;
}

// True when descriptor nFile is a regular file or /dev/null.
bool bFileOrNull(int nFile) {
    struct stat st, stNull;
    if (fstat(nFile, &st) != 0) return false;
    if (S_ISREG(st.st_mode)) return true;
    return S_ISCHR(st.st_mode) && stat("/dev/null", &stNull) == 0 && st.st_rdev == stNull.st_rdev;
}

void vDraw() {
    if (!g_bOn || g_bStopped) return;
    const double dItem = g_dFrom + (g_dTo - g_dFrom) * g_dShare;
    const auto nDone = g_nFinished + static_cast<int64_t>(static_cast<double>(g_nItemWork) * dItem);
    g_tDrawn = Clock::now();
    const double dSeconds = std::chrono::duration<double>(g_tDrawn - g_tStart).count();
    const size_t nWidth = std::min(nTerminalWidth() - 1, nMaxWidth);
    std::string s = sProgressText(g_sItem, g_szDoing, nDone, g_nTotal, dSeconds, nWidth);
    const size_t nText = s.size();
    s.resize(std::max(nText, static_cast<size_t>(g_nShown)), ' ');
    s.insert(0, 1, '\r');
    // Blanks as long as the old line and the new one erase either, so the
    // handler may erase at any moment of the writing.
    g_nShown = static_cast<sig_atomic_t>(s.size() - 1);
    vWriteAll(s.data(), s.size());
}

// "1:05", "2:01:05".
std::string sDuration(double dSeconds) {
    const auto n = static_cast<long long>(dSeconds + 0.999);
    char ac[48];
    if (n >= 3600)
        std::snprintf(ac, sizeof ac, "%lld:%02lld:%02lld", n / 3600, n / 60 % 60, n % 60);
    else
        std::snprintf(ac, sizeof ac, "%lld:%02lld", n / 60, n % 60);
    return ac;
}

}  // namespace

std::string sProgressText(const std::string& sItem, const char* szDoing, int64_t nDone,
                          int64_t nTotal, double dSeconds, size_t nWidth) {
    nDone = std::clamp<int64_t>(nDone, 0, nTotal);
    const int nPercent =
        nTotal > 0
            ? static_cast<int>(100 * static_cast<double>(nDone) / static_cast<double>(nTotal))
            : 0;
    std::string s =
        "tessal: " + sItem + ": " + szDoing + "; " + std::to_string(nPercent) + "% done";
    // Speed and time left once there is a second to measure them by.
    if (dSeconds >= 1 && nDone > 0) {
        const double dRate = static_cast<double>(nDone) / dSeconds;
        char ac[64];
        std::snprintf(ac, sizeof ac, ", %.1f MB/s, ", dRate / 1e6);
        s += ac + sDuration(static_cast<double>(nTotal - nDone) / dRate) + " left";
    }
    if (s.size() > nWidth) s.resize(nWidth);
    return s;
}

void vStartProgress(bool bQuiet, int64_t nTotalWork) {
    g_bOn = isatty(2) && (bQuiet || bFileOrNull(1));
    g_bStopped = 0;
    g_nShown = 0;
    g_acBlanks[0] = '\r';
    std::fill(g_acBlanks + 1, g_acBlanks + sizeof g_acBlanks, ' ');
    g_nTotal = nTotalWork;
    g_nFinished = 0;
    g_nItemWork = 0;
    g_tStart = Clock::now();
}

void vProgressRecording(size_t nIndex, size_t nCount, const std::string& sName, int64_t nWork,
                        const char* szDoing) {
    g_sItem = std::to_string(nIndex) + " of " + std::to_string(nCount) + ", " + sPrintable(sName);
    g_nItemWork = nWork;
    g_szDoing = szDoing;
    g_dFrom = 0;
    g_dTo = 1;
    g_dShare = 0;
    vDraw();
}

void vProgressDoing(const char* szDoing, double dFrom, double dTo) {
    g_szDoing = szDoing;
    g_dFrom = dFrom;
    g_dTo = dTo;
    g_dShare = 0;
    vDraw();
}

void vProgressShare(double dShare) {
    g_dShare = std::clamp(dShare, 0.0, 1.0);
    if (g_bOn && (g_nShown == 0 || Clock::now() - g_tDrawn >= tRedrawEvery)) vDraw();
}

void vProgressRecordingDone() {
    g_nFinished += g_nItemWork;
    g_nItemWork = 0;
    g_dShare = 0;
}

void vClearProgress() {
    const size_t n = static_cast<size_t>(g_nShown);
    if (n == 0) return;
    g_nShown = 0;
    vWriteAll(g_acBlanks, n + 1);
    vWriteAll("\r", 1);
}

void vEndProgress() {
    vClearProgress();
    g_bOn = false;
}

void vClearProgressForSignal() {
    g_bStopped = 1;
    const size_t n = static_cast<size_t>(g_nShown);
    if (n == 0) return;
    g_nShown = 0;
    (void)!write(2, g_acBlanks, n + 1);
    (void)!write(2, "\r", 1);
}
