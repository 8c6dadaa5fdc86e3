// Signal handlers. The interruption handler makes only async-signal-safe
// calls and uses state prepared in advance (Rollback.h). A fault reading
// the input's mapping maps zero pages over it with one mmap system call, so
// that the reading goes on, and leaves the putting back and the message to
// the run, which looks at bInputShrank.
#include "driver/process/Signals.h"

#include <sys/mman.h>
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <iterator>

#include "driver/process/InterruptVerdict.h"
#include "driver/process/ProgressLine.h"
#include "driver/process/Rollback.h"

namespace {

// The input's mapping, and whether reading it faulted.
void* volatile g_pInput = nullptr;
volatile size_t g_nInputSize = 0;
volatile sig_atomic_t g_bInputShrank = 0;

const int anRunSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGBUS, SIGXFSZ};
// The dispositions the run found, given back at its end.
struct sigaction atFoundActions[std::size(anRunSignals)];
// Installations not yet uninstalled: a card's, and each recording's in it.
int g_nInstalled = 0;

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
    vClearProgressForSignal();
    const bool bPutBack = bPutAllBack();
    if (bPutBack) vWriteInterruptLine(szSignalName(nSignal));
    vWriteInterruptVerdict(szSignalName(nSignal), bPutBack);
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

// The run's disposition of nSignal.
struct sigaction tRunAction(int nSignal) {
    struct sigaction t {};
    sigemptyset(&t.sa_mask);
    if (nSignal == SIGXFSZ) {
        t.sa_handler = SIG_IGN;
    } else if (nSignal == SIGBUS) {
        t.sa_sigaction = vOnBusError;
        t.sa_flags = SA_SIGINFO;
    } else {
        t.sa_handler = vOnRunSignal;
    }
    return t;
}

}  // namespace

void vIgnoreBrokenPipes() {
    std::signal(SIGPIPE, SIG_IGN);
}

void vInstallRunSignals() {
    if (g_nInstalled++ > 0) return;
    for (size_t i = 0; i < std::size(anRunSignals); ++i) {
        const int nSignal = anRunSignals[i];
        sigaction(nSignal, nullptr, &atFoundActions[i]);
        // A signal the run's parent chose to ignore (SIGHUP under nohup,
        // SIGINT in a background job) cannot end the run: it stays ignored.
        // A fault (SIGBUS) is never ignored.
        if (atFoundActions[i].sa_handler == SIG_IGN && nSignal != SIGBUS) continue;
        const struct sigaction tAction = tRunAction(nSignal);
        sigaction(nSignal, &tAction, nullptr);
    }
}

void vUninstallRunSignals() {
    vDisarmAll();
    if (--g_nInstalled > 0) return;
    for (size_t i = 0; i < std::size(anRunSignals); ++i)
        sigaction(anRunSignals[i], &atFoundActions[i], nullptr);
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
