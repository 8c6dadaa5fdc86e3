// The interruption's verdict in two slots: the main thread writes the one
// not in use and then makes it the one in use with one atomic store, so a
// handler never reads a text being written. The slot in use carries the
// mark of the recording under way.
#include "driver/process/InterruptVerdict.h"

#include <unistd.h>

#include <atomic>
#include <csignal>
#include <cstring>

#include "base/PrintableText.h"

namespace {

enum { nPutBack, nNotStarted, nKept, nForms };

struct VerdictSlot {
    std::string asForm[nForms];
    volatile sig_atomic_t bKept = 0;
};

VerdictSlot g_atSlots[2];
std::atomic<int> g_nInUse{-1};  // the slot in use, -1 for none
static_assert(std::atomic<int>::is_always_lock_free);

void vWrite(const char* p, size_t n) {
    (void)!write(2, p, n);
}

}  // namespace

void vPrepareInterruptVerdict(const std::string& sPutBack, const std::string& sNotStarted,
                              const std::string& sKept) {
    const int nFree = g_nInUse.load() == 0 ? 1 : 0;
    VerdictSlot& t = g_atSlots[nFree];
    t.asForm[nPutBack] = sPrintable(sPutBack) + "\n";
    t.asForm[nNotStarted] = sPrintable(sNotStarted) + "\n";
    t.asForm[nKept] = sPrintable(sKept) + "\n";
    t.bKept = 0;
    g_nInUse.store(nFree);
}

void vMarkRecordingKept(bool bKept) {
    const int n = g_nInUse.load();
    if (n >= 0) g_atSlots[n].bKept = bKept ? 1 : 0;
}

void vDropInterruptVerdict() {
    g_nInUse.store(-1);
}

void vWriteInterruptVerdict(const char* szSignal, bool bPutBack) {
    const int n = g_nInUse.load();
    if (n < 0) return;
    const VerdictSlot& t = g_atSlots[n];
    const std::string& s = t.asForm[bPutBack ? nPutBack : t.bKept ? nKept : nNotStarted];
    static const char szHead[] = "tessal: verdict: interrupted by ";
    vWrite(szHead, sizeof szHead - 1);
    vWrite(szSignal, std::strlen(szSignal));
    vWrite(s.data(), s.size());
}
