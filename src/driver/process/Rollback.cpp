// Rollback state. What a signal handler needs is kept in static storage,
// messages included (formed when armed), since a handler may make only
// async-signal-safe calls: ftruncate, unlink, rmdir, write.
#include "driver/process/Rollback.h"

#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstring>
#include <memory>
#include <vector>

#include "base/PrintableText.h"

namespace {

// Longest escaped path: 4095 bytes, each possibly written as \xNN.
constexpr size_t nTextSize = 4 * 4096 + 128;

// The armed outputs: a slot is in use while its descriptor is >= 0. Paths
// are copied when armed and kept until everything is disarmed, so a
// handler never reads freed memory.
struct ArmedOutput {
    volatile sig_atomic_t nFile = -1;
    off_t nLength = 0;
    bool bCreated = false;
    const char* szPath = nullptr;
    const unsigned char* pTail = nullptr;  // bytes cut off at nTailAt, written back
    size_t nTail = 0;
    off_t nTailAt = 0;
    timespec atTimes[2] = {};
};
ArmedOutput g_atArmed[nMaxArmedOutputs];
// Slots used so far: the loops look at no more, so that a run of one output
// touches one slot, not the room for thousands.
volatile size_t g_nSlots = 0;

// The slots used so far, for a range-for.
struct UsedSlots {
    ArmedOutput* begin() const { return g_atArmed; }
    ArmedOutput* end() const { return g_atArmed + g_nSlots; }
};
// Replaced files: put back by renaming the kept file over the path, then
// removing the temporary files. Room for every entry is made once, so an
// entry never moves while a handler may read it.
constexpr size_t nMaxTemporary = 3;
struct Replacement {
    const char* szPath = nullptr;
    const char* szKept = nullptr;
    const char* aszTemporary[nMaxTemporary] = {};
};
std::vector<Replacement> g_atReplacements;
volatile size_t g_nReplacements = 0;
std::vector<std::unique_ptr<char[]>> g_apArmedPaths;
// Folders to remove after the outputs, from the last to the first.
const char* volatile* volatile g_pszFolders = nullptr;
volatile size_t g_nFolders = 0;
std::vector<const char*> g_aszFolders;
// The message of an interruption, formed when armed: what it was and what
// became of the outputs.
char g_szInterruptMessage[nTextSize];   // "tessal: error: OUT: interrupted by "
char g_szInterruptFate[2 * nTextSize];  // "; the file is left as it was"
std::string g_sFateNote;                // what earlier recordings wrote, which stays

// A copy of s that lives until vDisarmAll.
const char* szKept(const std::string& s) {
    g_apArmedPaths.push_back(std::make_unique<char[]>(s.size() + 1));
    std::memcpy(g_apArmedPaths.back().get(), s.c_str(), s.size() + 1);
    return g_apArmedPaths.back().get();
}

// Appends sz to the message being formed in acLine (nUsed bytes so far).
void vAppend(char* acLine, size_t nSize, size_t& nUsed, const char* sz) {
    for (; *sz != '\0' && nUsed + 1 < nSize; ++sz) acLine[nUsed++] = *sz;
}

void vCopy(char* acTarget, size_t nSize, const std::string& s) {
    std::strncpy(acTarget, s.c_str(), nSize - 1);
    acTarget[nSize - 1] = '\0';
}

// Puts replacement t back. Only async-signal-safe calls.
void vPutBack(const Replacement& t) {
    if (t.szKept == nullptr) return;  // put back already
    (void)rename(t.szKept, t.szPath);
    (void)unlink(t.szKept);  // where both names still named one file
    for (const char* sz : t.aszTemporary)
        if (sz != nullptr) (void)unlink(sz);
}

}  // namespace

void vPutTailBack(int nFile, const unsigned char* pTail, size_t nTail, off_t nAt,
                  const timespec (&atTimes)[2]) {
    if (ftruncate(nFile, nAt) != 0) return;
    while (nTail > 0) {
        const ssize_t n = pwrite(nFile, pTail, nTail, nAt);
        if (n <= 0) return;
        pTail += n;
        nTail -= static_cast<size_t>(n);
        nAt += n;
    }
    (void)futimens(nFile, atTimes);
}

bool bPutAllBack() {
    bool bAny = false;
    for (ArmedOutput& t : UsedSlots{}) {
        const int nFile = t.nFile;
        if (nFile < 0) continue;
        if (t.pTail != nullptr) {
            vPutTailBack(nFile, t.pTail, t.nTail, t.nTailAt, t.atTimes);
        } else {
            vPutOutputBack(t.bCreated, t.szPath, nFile, t.nLength);
        }
        bAny = true;
    }
    const size_t nReplacements = g_nReplacements;
    for (size_t i = 0; i < nReplacements; ++i) vPutBack(g_atReplacements[i]);
    bAny = bAny || nReplacements > 0;
    const char* volatile* pszFolders = g_pszFolders;
    for (size_t i = g_nFolders; pszFolders != nullptr && i > 0; --i) rmdir(pszFolders[i - 1]);
    return bAny;
}

void vWriteInterruptLine(const char* szSignal) {
    static char acLine[3 * nTextSize];
    size_t nUsed = 0;
    vAppend(acLine, sizeof acLine, nUsed, g_szInterruptMessage);
    vAppend(acLine, sizeof acLine, nUsed, szSignal);
    vAppend(acLine, sizeof acLine, nUsed, g_szInterruptFate);
    vAppend(acLine, sizeof acLine, nUsed, "\n");
    (void)!write(2, acLine, nUsed);
}

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
    return bCreated ? "is removed (this run created it)" : "is left as it was" + g_sFateNote;
}

void vSetFateNote(const std::string& sNote) {
    g_sFateNote = sNote;
}

const std::string& sFateNote() {
    return g_sFateNote;
}

void vSetInterruptMessage(const std::string& sWhat, const std::string& sFate) {
    vCopy(g_szInterruptMessage, sizeof g_szInterruptMessage,
          "tessal: error: " + sPrintable(sWhat) + ": interrupted by ");
    vCopy(g_szInterruptFate, sizeof g_szInterruptFate, "; " + sFate);
}

bool bArmRollback(int nFile, off_t nLength, bool bCreated, const std::string& sOutputPath) {
    for (size_t i = 0; i < nMaxArmedOutputs; ++i) {
        ArmedOutput& t = g_atArmed[i];
        if (t.nFile >= 0) continue;
        t.nLength = nLength;
        t.bCreated = bCreated;
        t.szPath = szKept(sOutputPath);
        vSetInterruptMessage(sOutputPath, "the file " + sOutputFate(bCreated));
        if (i >= g_nSlots) g_nSlots = i + 1;
        t.nFile = nFile;  // armed from here on
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
    for (ArmedOutput& t : UsedSlots{}) {
        if (t.nFile != nFile) continue;
        t.nFile = -1;
        t.pTail = nullptr;
    }
}

void vRearmRollback(int nFile, int nKeep) {
    for (ArmedOutput& t : UsedSlots{})
        if (t.nFile == nFile) t.nFile = nKeep;
}

void vArmTail(int nFile, const unsigned char* pTail, size_t nTail, off_t nAt,
              const timespec (&atTimes)[2]) {
    for (ArmedOutput& t : UsedSlots{}) {
        if (t.nFile != nFile) continue;
        t.nTail = nTail;
        t.nTailAt = nAt;
        t.atTimes[0] = atTimes[0];
        t.atTimes[1] = atTimes[1];
        t.pTail = pTail;
    }
}

void vArmReplacement(const std::string& sPath, const std::string& sKept,
                     const std::vector<std::string>& asTemporary) {
    if (g_atReplacements.capacity() < nMaxArmedOutputs) g_atReplacements.reserve(nMaxArmedOutputs);
    if (g_nReplacements >= nMaxArmedOutputs) return;
    Replacement t;
    t.szPath = szKept(sPath);
    t.szKept = szKept(sKept);
    for (size_t i = 0; i < asTemporary.size() && i < nMaxTemporary; ++i)
        t.aszTemporary[i] = szKept(asTemporary[i]);
    g_atReplacements.push_back(t);
    g_nReplacements = g_atReplacements.size();
}

void vPutReplacementBack(const std::string& sPath) {
    for (size_t i = 0; i < g_nReplacements; ++i) {
        if (sPath != g_atReplacements[i].szPath) continue;
        vPutBack(g_atReplacements[i]);
        g_atReplacements[i].szKept = nullptr;
    }
}

void vDisarmReplacements() {
    g_nReplacements = 0;
    g_atReplacements.clear();
}

void vDisarmAll() {
    for (ArmedOutput& t : UsedSlots{}) {
        t.nFile = -1;
        t.pTail = nullptr;
    }
    vDisarmReplacements();
    g_nFolders = 0;
    g_aszFolders.clear();
    g_apArmedPaths.clear();
}
