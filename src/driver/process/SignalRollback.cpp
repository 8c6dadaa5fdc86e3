// Rollback on signals. What the handler needs is kept in static storage,
// messages included (formed when armed), since a handler may make only
// async-signal-safe calls: ftruncate, unlink, write, signal, raise. A fault
// reading the input's mapping (SIGBUS: the file shrank under the run) maps
// zero pages over it with one mmap system call, so that the reading goes
// on, and leaves the putting back and the message to the run, which looks
// at bInputShrank.
#include "driver/process/SignalRollback.h"

#include <sys/mman.h>
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <cstring>
#include <iterator>
#include <memory>
#include <vector>

#include "base/PrintableText.h"

namespace {

// Longest escaped path: 4095 bytes, each possibly written as \xNN.
constexpr size_t nTextSize = 4 * 4096 + 128;

// The armed outputs: a slot is in use while its descriptor is >= 0. Paths
// are copied when armed and kept until the run's signals are uninstalled,
// so a handler never reads freed memory.
struct ArmedOutput {
    volatile sig_atomic_t nFile = -1;
    off_t nLength = 0;
    bool bCreated = false;
    const char* szPath = nullptr;
};
ArmedOutput g_atArmed[nMaxArmedOutputs];
std::vector<std::unique_ptr<char[]>> g_apArmedPaths;
// Folders to remove after the outputs, from the last to the first.
const char* volatile* volatile g_pszFolders = nullptr;
volatile size_t g_nFolders = 0;
std::vector<const char*> g_aszFolders;
// The message of an interruption, formed when armed: what it was and what
// became of the outputs.
char g_szInterruptMessage[nTextSize];  // "tessal: error: OUT: interrupted by "
char g_szInterruptFate[nTextSize];     // "; the file is left as it was"

// A copy of s that lives until the run's signals are uninstalled.
const char* szKept(const std::string& s) {
    g_apArmedPaths.push_back(std::make_unique<char[]>(s.size() + 1));
    std::memcpy(g_apArmedPaths.back().get(), s.c_str(), s.size() + 1);
    return g_apArmedPaths.back().get();
}

// Puts every armed output back and removes the armed folders; true when
// anything was armed. Only async-signal-safe calls.
bool bPutAllBack() {
    bool bAny = false;
    for (ArmedOutput& t : g_atArmed) {
        const int nFile = t.nFile;
        if (nFile < 0) continue;
        vPutOutputBack(t.bCreated, t.szPath, nFile, t.nLength);
        bAny = true;
    }
    const char* volatile* pszFolders = g_pszFolders;
    for (size_t i = g_nFolders; pszFolders != nullptr && i > 0; --i) rmdir(pszFolders[i - 1]);
    return bAny;
}

// The input's mapping, and whether reading it faulted.
void* volatile g_pInput = nullptr;
volatile size_t g_nInputSize = 0;
volatile sig_atomic_t g_bInputShrank = 0;

const int anRunSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGBUS};
// The handlers the run found, given back at its end.
struct sigaction atFoundActions[std::size(anRunSignals)];

// Appends sz to the message being formed in acLine (nUsed bytes so far).
void vAppend(char* acLine, size_t nSize, size_t& nUsed, const char* sz) {
    for (; *sz != '\0' && nUsed + 1 < nSize; ++sz) acLine[nUsed++] = *sz;
}

const char* szSignalName(int nSignal) {
    switch (nSignal) {
        case SIGINT:
            return "SIGINT";
        case SIGTERM:
            return "SIGTERM";
        case SIGHUP:
            return "SIGHUP";
        default:
            return "a signal";
    }
}

// Set by the first handler that runs: a second signal waits for the first
// to end the program.
std::atomic_flag g_tHandling = ATOMIC_FLAG_INIT;

void vOnRunSignal(int nSignal) {
    if (g_tHandling.test_and_set()) {
        for (;;) pause();
    }
    if (bPutAllBack()) {
        static char acLine[2 * nTextSize];
        size_t nUsed = 0;
        vAppend(acLine, sizeof acLine, nUsed, g_szInterruptMessage);
        vAppend(acLine, sizeof acLine, nUsed, szSignalName(nSignal));
        vAppend(acLine, sizeof acLine, nUsed, g_szInterruptFate);
        vAppend(acLine, sizeof acLine, nUsed, "\n");
        (void)!write(2, acLine, nUsed);
    }
    std::signal(nSignal, SIG_DFL);
    std::raise(nSignal);
}

// A fault reading the input: its pages become zeros, which the reading
// then gets (several threads may fault at once; each maps the same zeros).
// A fault anywhere else is a crash, and ends the program as one.
void vOnBusError(int nSignal, siginfo_t* pInfo, void*) {
    char* const p = static_cast<char*>(g_pInput);
    const char* const pFault = static_cast<const char*>(pInfo->si_addr);
    if (p == nullptr || pFault < p || pFault >= p + g_nInputSize ||
        mmap(p, g_nInputSize, PROT_READ, MAP_FIXED | MAP_PRIVATE | MAP_ANONYMOUS, -1, 0) ==
            MAP_FAILED) {
        std::signal(nSignal, SIG_DFL);
        return;  // the fault recurs, now with the default action
    }
    g_bInputShrank = 1;
}

void vCopy(char* acTarget, size_t nSize, const std::string& s) {
    std::strncpy(acTarget, s.c_str(), nSize - 1);
    acTarget[nSize - 1] = '\0';
}

}  // namespace

void vPutOutputBack(bool bCreated, const char* szPath, int nFile, off_t nLength) {
    if (bCreated) {
        unlink(szPath);
    } else if (nFile >= 0) {
        (void)!ftruncate(nFile, nLength);
    } else {
        (void)!truncate(szPath, nLength);
    }
}

std::string sOutputFate(bool bCreated) {
    return bCreated ? "is removed (this run created it)" : "is left as it was";
}

void vInstallRunSignals() {
    for (size_t i = 0; i < std::size(anRunSignals); ++i) {
        const int nSignal = anRunSignals[i];
        sigaction(nSignal, nullptr, &atFoundActions[i]);
        // A signal the run's parent chose to ignore (SIGHUP under nohup,
        // SIGINT in a background job) cannot end the run: it stays ignored.
        // A fault (SIGBUS) is never ignored.
        if (atFoundActions[i].sa_handler == SIG_IGN && nSignal != SIGBUS) continue;
        struct sigaction tAction {};
        sigemptyset(&tAction.sa_mask);
        if (nSignal == SIGBUS) {
            tAction.sa_sigaction = vOnBusError;
            tAction.sa_flags = SA_SIGINFO;
        } else {
            tAction.sa_handler = vOnRunSignal;
        }
        sigaction(nSignal, &tAction, nullptr);
    }
}

void vUninstallRunSignals() {
    vDisarmAll();
    for (size_t i = 0; i < std::size(anRunSignals); ++i)
        sigaction(anRunSignals[i], &atFoundActions[i], nullptr);
    g_apArmedPaths.clear();
}

void vSetInterruptMessage(const std::string& sWhat, const std::string& sFate) {
    vCopy(g_szInterruptMessage, sizeof g_szInterruptMessage,
          "tessal: error: " + sPrintable(sWhat) + ": interrupted by ");
    vCopy(g_szInterruptFate, sizeof g_szInterruptFate, "; " + sFate);
}

bool bArmRollback(int nFile, off_t nLength, bool bCreated, const std::string& sOutputPath) {
    for (ArmedOutput& t : g_atArmed) {
        if (t.nFile >= 0) continue;
        t.nLength = nLength;
        t.bCreated = bCreated;
        t.szPath = szKept(sOutputPath);
        vSetInterruptMessage(sOutputPath, "the file " + sOutputFate(bCreated));
        t.nFile = nFile;
        return true;
    }
    return false;
}

void vArmFolderRemoval(const std::vector<std::string>& asFolders) {
    g_nFolders = 0;
    g_aszFolders.clear();
    for (const std::string& s : asFolders) g_aszFolders.push_back(szKept(s));
    g_pszFolders = g_aszFolders.data();
    g_nFolders = g_aszFolders.size();
}

void vDisarmRollback(int nFile) {
    for (ArmedOutput& t : g_atArmed)
        if (t.nFile == nFile) t.nFile = -1;
}

void vDisarmAll() {
    for (ArmedOutput& t : g_atArmed) t.nFile = -1;
    g_nFolders = 0;
}

void vWatchInput(const void* p, size_t nSize) {
    g_nInputSize = nSize;
    g_pInput = const_cast<void*>(p);
}

void vUnwatchInput() {
    g_pInput = nullptr;
    g_nInputSize = 0;
    g_bInputShrank = 0;
}

bool bInputShrank() {
    return g_bInputShrank != 0;
}
