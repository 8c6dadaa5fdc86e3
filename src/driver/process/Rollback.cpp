// Rollback state. What a signal handler needs is kept in static storage,
// messages included (formed when armed), since a handler may make only
// async-signal-safe calls: ftruncate, unlink, rmdir, write.
#include "driver/process/Rollback.h"

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
};
ArmedOutput g_atArmed[nMaxArmedOutputs];
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

}  // namespace

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
    g_aszFolders.clear();
    g_apArmedPaths.clear();
}
