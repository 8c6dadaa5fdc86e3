// Safe appending. The length before the run (or the fact that the run made
// the file) is kept, also in static storage for the signal handler, which
// may use only async-signal-safe calls (ftruncate, unlink, signal, raise).
#include "driver/OutputFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>

namespace {

// What the signal handler needs to restore the file; nFile < 0 when disarmed.
volatile sig_atomic_t g_nArmedFile = -1;
off_t g_nArmedLength = 0;
bool g_bArmedCreated = false;
char g_szArmedPath[4096];

// Puts the file back: removes it when the run created it, else cuts it to
// nLength, through the descriptor when there is one (nFile >= 0) or by its
// name. With a descriptor it makes only async-signal-safe calls.
void vPutBack(bool bCreated, const char* szPath, int nFile, off_t nLength) {
    if (bCreated) {
        unlink(szPath);
    } else if (nFile >= 0) {
        (void)!ftruncate(nFile, nLength);
    } else {
        (void)!truncate(szPath, nLength);
    }
}

// SIGBUS arrives when the mapped input shrinks under the run.
const int anRestoreSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGBUS};

void vRestoreOnSignal(int nSignal) {
    const int nFile = g_nArmedFile;
    if (nFile >= 0) vPutBack(g_bArmedCreated, g_szArmedPath, nFile, g_nArmedLength);
    if (nSignal == SIGBUS) {
        static const char szMessage[] =
            "tessal: error: the input recording shrank while it was read; "
            "the output is left as it was\n";
        (void)!write(2, szMessage, sizeof szMessage - 1);
    }
    std::signal(nSignal, SIG_DFL);
    std::raise(nSignal);
}

void vArm(int nFile, off_t nLength, bool bCreated, const std::string& sPath) {
    g_nArmedLength = nLength;
    g_bArmedCreated = bCreated;
    std::strncpy(g_szArmedPath, sPath.c_str(), sizeof g_szArmedPath - 1);
    g_nArmedFile = nFile;
    for (int nSignal : anRestoreSignals) std::signal(nSignal, vRestoreOnSignal);
}

void vDisarm() {
    g_nArmedFile = -1;
    for (int nSignal : anRestoreSignals) std::signal(nSignal, SIG_DFL);
}

}  // namespace

OutputFile::~OutputFile() {
    if (m_nFile >= 0) {
        vDisarm();
        close(m_nFile);
    }
}

bool OutputFile::bOpen(const std::string& sPath, std::string& sError) {
    m_sPath = sPath;
    m_nFile = open(sPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, S_IRUSR | S_IWUSR);
    m_bCreated = m_nFile >= 0;
    // O_NONBLOCK: a named pipe that nobody reads fails at once (ENXIO)
    // instead of blocking the run; the writes themselves then block as usual.
    if (m_nFile < 0 && errno == EEXIST) {
        m_nFile = open(sPath.c_str(), O_WRONLY | O_CLOEXEC | O_NONBLOCK);
        if (m_nFile >= 0) fcntl(m_nFile, F_SETFL, fcntl(m_nFile, F_GETFL) & ~O_NONBLOCK);
    }
    if (m_nFile < 0) {
        sError = std::strerror(errno);
        return false;
    }
    struct stat st;
    if (fstat(m_nFile, &st) != 0) {
        sError = std::strerror(errno);
        close(m_nFile);
        m_nFile = -1;
        return false;
    }
    m_nOldLength = st.st_size;
    vArm(m_nFile, m_nOldLength, m_bCreated, sPath);
    return true;
}

void OutputFile::vRestore() {
    if (m_nFile < 0) return;
    vDisarm();
    vPutBack(m_bCreated, m_sPath.c_str(), m_nFile, m_nOldLength);
    close(m_nFile);
    m_nFile = -1;
}

bool OutputFile::bClose(std::string& sError) {
    if (m_nFile < 0) return true;
    const int nResult = close(m_nFile);
    const int nErrno = errno;
    vDisarm();
    m_nFile = -1;
    if (nResult != 0) {
        // The data may not have arrived: put the file back by its name.
        vPutBack(m_bCreated, m_sPath.c_str(), -1, m_nOldLength);
        sError = std::strerror(nErrno);
        return false;
    }
    return true;
}
