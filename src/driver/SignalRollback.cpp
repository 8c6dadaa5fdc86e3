// Rollback on signals. What the handler needs is kept in static storage,
// messages included (formed when armed), since a handler may make only
// async-signal-safe calls: ftruncate, unlink, write, signal, raise, _exit.
#include "driver/SignalRollback.h"

#include <unistd.h>

#include <atomic>
#include <csignal>
#include <cstring>
#include <iterator>

#include "driver/ExitStatus.h"
#include "driver/PrintableText.h"

namespace {

// Longest escaped path: 4095 bytes, each possibly written as \xNN.
constexpr size_t nTextSize = 4 * 4096 + 128;

volatile sig_atomic_t g_nArmedFile = -1;  // < 0 when disarmed
off_t g_nArmedLength = 0;
bool g_bArmedCreated = false;
char g_szArmedPath[4096];
// The messages, formed in advance: the input's shrinking, and, once armed,
// an interruption, each followed by what became of the output.
char g_szShrankMessage[nTextSize];     // "tessal: error: IN: the recording shrank ..."
char g_szShrankFate[nTextSize];        // "; the output OUT is left as it was"
char g_szInterruptMessage[nTextSize];  // "tessal: error: OUT: interrupted by "
char g_szInterruptFate[nTextSize];     // "; the file is left as it was"

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

// Set by the first handler that runs: the input may shrink under several
// worker threads at once, and the output is put back and the message
// written once. Later handlers wait for the first to end the program.
std::atomic_flag g_tHandling = ATOMIC_FLAG_INIT;

void vOnRunSignal(int nSignal) {
    if (g_tHandling.test_and_set()) {
        for (;;) pause();
    }
    static char acLine[2 * nTextSize];
    size_t nUsed = 0;
    const int nFile = g_nArmedFile;
    if (nSignal != SIGBUS && nFile < 0) {  // nothing to put back: end as the signal says
        std::signal(nSignal, SIG_DFL);
        std::raise(nSignal);
        return;
    }
    if (nFile >= 0) vPutOutputBack(g_bArmedCreated, g_szArmedPath, nFile, g_nArmedLength);
    if (nSignal == SIGBUS) {
        vAppend(acLine, sizeof acLine, nUsed, g_szShrankMessage);
        if (nFile >= 0) vAppend(acLine, sizeof acLine, nUsed, g_szShrankFate);
    } else {
        vAppend(acLine, sizeof acLine, nUsed, g_szInterruptMessage);
        vAppend(acLine, sizeof acLine, nUsed, szSignalName(nSignal));
        vAppend(acLine, sizeof acLine, nUsed, g_szInterruptFate);
    }
    vAppend(acLine, sizeof acLine, nUsed, "\n");
    (void)!write(2, acLine, nUsed);
    if (nSignal == SIGBUS) _exit(nExitBadInput);
    std::signal(nSignal, SIG_DFL);
    std::raise(nSignal);
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

void vInstallRunSignals(const std::string& sInputPath) {
    vCopy(g_szShrankMessage, sizeof g_szShrankMessage,
          "tessal: error: " + sPrintable(sInputPath) + ": the recording shrank while it was read");
    struct sigaction tAction {};
    tAction.sa_handler = vOnRunSignal;
    sigemptyset(&tAction.sa_mask);
    for (size_t i = 0; i < std::size(anRunSignals); ++i) {
        sigaction(anRunSignals[i], nullptr, &atFoundActions[i]);
        // A signal the run's parent chose to ignore (SIGHUP under nohup,
        // SIGINT in a background job) cannot end the run: it stays ignored.
        // A fault (SIGBUS) is never ignored.
        if (atFoundActions[i].sa_handler == SIG_IGN && anRunSignals[i] != SIGBUS) continue;
        sigaction(anRunSignals[i], &tAction, nullptr);
    }
}

void vUninstallRunSignals() {
    vDisarmRollback();
    for (size_t i = 0; i < std::size(anRunSignals); ++i)
        sigaction(anRunSignals[i], &atFoundActions[i], nullptr);
}

void vArmRollback(int nFile, off_t nLength, bool bCreated, const std::string& sOutputPath) {
    g_nArmedLength = nLength;
    g_bArmedCreated = bCreated;
    vCopy(g_szArmedPath, sizeof g_szArmedPath, sOutputPath);
    const std::string sOutput = sPrintable(sOutputPath);
    const std::string sFate = sOutputFate(bCreated);
    vCopy(g_szShrankFate, sizeof g_szShrankFate, "; the output " + sOutput + " " + sFate);
    vCopy(g_szInterruptMessage, sizeof g_szInterruptMessage,
          "tessal: error: " + sOutput + ": interrupted by ");
    vCopy(g_szInterruptFate, sizeof g_szInterruptFate, "; the file " + sFate);
    g_nArmedFile = nFile;
}

void vDisarmRollback() {
    g_nArmedFile = -1;
}
