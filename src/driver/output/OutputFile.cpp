// Safe appending. The file is opened, then locked; once the lock is held the
// path must still name the locked file (a run that created it and failed
// removes it, and a waiter must not append to a removed file), and only then
// is its length read and its head checked. The length before the run, or
// the fact that the run made the file, is what a failure puts back.
#include "driver/output/OutputFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "driver/output/OutputLock.h"
#include "driver/process/OpenFailure.h"
#include "driver/process/Rollback.h"
#include "mseed/SeedRecord.h"

namespace {

// How often the path may change under a waiting run before it gives up.
constexpr int nMaxOpenAttempts = 100;

// Opens sPath for appending, creating it if missing; bCreated says whether
// this open made it. O_NONBLOCK: a named pipe that nobody reads fails at
// once (ENXIO) instead of blocking the run; it is cleared once open.
int nOpenForAppending(const std::string& sPath, mode_t nMode, bool& bCreated) {
    int nFile = open(sPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, nMode);
    bCreated = nFile >= 0;
    if (nFile < 0 && errno == EEXIST) {
        nFile = open(sPath.c_str(), O_WRONLY | O_CLOEXEC | O_NONBLOCK);
        if (nFile >= 0) fcntl(nFile, F_SETFL, fcntl(nFile, F_GETFL) & ~O_NONBLOCK);
    }
    return nFile;
}

// True when sPath names the file described by st.
bool bPathNames(const std::string& sPath, const struct stat& st) {
    struct stat stPath;
    return stat(sPath.c_str(), &stPath) == 0 && stPath.st_dev == st.st_dev &&
           stPath.st_ino == st.st_ino;
}

// True when the file at sPath (the one described by st) begins like a
// MiniSEED data record. A file this run may not read is given the benefit
// of the doubt.
bool bBeginsLikeMiniSeed(const std::string& sPath, const struct stat& st) {
    const int nRead = open(sPath.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (nRead < 0) return true;
    uint8_t acHead[8];
    const ssize_t n = pread(nRead, acHead, sizeof acHead, 0);
    struct stat stRead;
    const bool bSame =
        fstat(nRead, &stRead) == 0 && stRead.st_ino == st.st_ino && stRead.st_dev == st.st_dev;
    close(nRead);
    return !bSame || (n > 0 && bLooksLikeDataRecord(acHead, static_cast<size_t>(n)));
}

}  // namespace

COutputFile::~COutputFile() {
    vCloseFile();
}

void COutputFile::vCloseFile() {
    if (m_nFile < 0) return;
    vDisarmRollback(m_nFile);
    close(m_nFile);
    m_nFile = -1;
}

OutputOpening COutputFile::eOpen(const std::string& sPath, std::string& sError, bool bShared) {
    m_sPath = sPath;
    const mode_t nMode = bShared ? 0666 : S_IRUSR | S_IWUSR;
    OutputOpening eResult = OutputOpening::Failed;
    for (int i = 0; i < nMaxOpenAttempts; ++i) {
        if (bOpenOnce(sPath, nMode, eResult, sError)) return eResult;
    }
    sError = "the file was replaced again and again while this run waited for it";
    return OutputOpening::Failed;
}

bool COutputFile::bOpenOnce(const std::string& sPath, mode_t nMode, OutputOpening& eResult,
                            std::string& sError) {
    eResult = OutputOpening::Failed;
    bool bMadeIt = false;
    m_nFile = nOpenForAppending(sPath, nMode, bMadeIt);
    struct stat st;
    if (m_nFile < 0 || fstat(m_nFile, &st) != 0) {
        sError = sOpenFailure(errno, sPath, true);
        vCloseFile();
        return true;
    }
    if (S_ISREG(st.st_mode)) {
        m_sLockProblem.clear();
        if (!bLockOutput(m_nFile, sPath, m_sLockProblem)) {
            // Unlocked: nobody can have replaced the file for us to notice.
        } else if (!bPathNames(sPath, st) || fstat(m_nFile, &st) != 0) {
            vCloseFile();  // removed or replaced while this run waited
            return false;
        }
        if (st.st_size > 0 && !bBeginsLikeMiniSeed(sPath, st)) {
            sError = "it exists and does not begin like a MiniSEED record";
            vCloseFile();
            eResult = OutputOpening::NotMiniSeed;
            return true;
        }
    }
    // Only an empty file the run made is removed on failure: another run
    // may have appended to it before this one got the lock.
    m_bCreated = bMadeIt && st.st_size == 0;
    m_nOldLength = S_ISREG(st.st_mode) ? st.st_size : 0;
    m_nAppendFrom = m_nOldLength;
    m_tOpened = st;
    m_acTail.clear();
    if (!bArmRollback(m_nFile, m_nOldLength, m_bCreated, sPath)) {
        vPutOutputBack(m_bCreated, sPath.c_str(), m_nFile, m_nOldLength);
        vCloseFile();
        sError = "more outputs are open than a run can put back";
        return true;
    }
    eResult = OutputOpening::Opened;
    return true;
}

void COutputFile::vRestore() {
    if (m_nFile < 0) return;
    vDisarmRollback(m_nFile);
    if (!m_acTail.empty()) {
        const timespec atTimes[2] = {m_tOpened.st_atim, m_tOpened.st_mtim};
        vPutTailBack(m_nFile, m_acTail.data(), m_acTail.size(), m_nAppendFrom, atTimes);
    } else {
        vPutOutputBack(m_bCreated, m_sPath.c_str(), m_nFile, m_nOldLength);
    }
    vCloseFile();
}

bool COutputFile::bCutTail(std::string& sError) {
    const off_t nWhole = m_nOldLength - m_nOldLength % nSeedRecordLength;
    if (nWhole == m_nOldLength) return true;
    std::vector<unsigned char> ac(static_cast<size_t>(m_nOldLength - nWhole));
    const int nRead = open(m_sPath.c_str(), O_RDONLY | O_CLOEXEC);
    const bool bRead =
        nRead >= 0 && pread(nRead, ac.data(), ac.size(), nWhole) == static_cast<ssize_t>(ac.size());
    const int nErrno = errno;
    if (nRead >= 0) close(nRead);
    if (!bRead) {
        sError = std::string("cannot read its last bytes: ") + std::strerror(nErrno);
        return false;
    }
    m_acTail = std::move(ac);
    m_nAppendFrom = nWhole;
    const timespec atTimes[2] = {m_tOpened.st_atim, m_tOpened.st_mtim};
    vArmTail(m_nFile, m_acTail.data(), m_acTail.size(), nWhole, atTimes);
    if (ftruncate(m_nFile, nWhole) != 0 || lseek(m_nFile, 0, SEEK_END) < 0) {
        sError = std::string("cannot cut its last bytes: ") + std::strerror(errno);
        return false;
    }
    return true;
}

namespace {

// fsync on nFile; true when the data are on the disk, or when the file takes
// no sync (a pipe, a device, a file system without it); else false with
// errno set.
bool bSynced(int nFile) {
    return fsync(nFile) == 0 || errno == EINVAL || errno == ENOTSUP;
}

}  // namespace

std::string sFolderOf(const std::string& sPath) {
    const size_t nSlash = sPath.rfind('/');
    if (nSlash == std::string::npos) return ".";
    return nSlash == 0 ? "/" : sPath.substr(0, nSlash);
}

bool bSyncFolder(const std::string& sFolder, std::string& sError) {
    const int nFolder = open(sFolder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    const bool bOk = nFolder >= 0 && bSynced(nFolder);
    const int nErrno = errno;
    if (nFolder >= 0) close(nFolder);
    if (!bOk) sError = std::strerror(nErrno);
    return bOk;
}

bool COutputFile::bSync(std::string& sError) {
    if (!bSynced(m_nFile)) {
        sError = std::strerror(errno);
        return false;
    }
    // A new file's name is on the disk once its folder is.
    return !m_bCreated || bSyncFolder(sFolderOf(m_sPath), sError);
}

bool COutputFile::bCloseKeepingLock(std::string& sError) {
    if (m_nFile < 0) return true;
    if (!bSync(sError)) return false;
    const int nKeep = dup(m_nFile);
    if (nKeep < 0) {
        sError = std::strerror(errno);
        return false;
    }
    vRearmRollback(m_nFile, nKeep);
    const int nResult = close(m_nFile);
    const int nErrno = errno;
    m_nFile = nKeep;
    if (nResult == 0) return true;
    sError = std::strerror(nErrno);
    return false;
}

void COutputFile::vRelease() {
    vCloseFile();
}

bool COutputFile::bClose(std::string& sError) {
    if (m_nFile < 0) return true;
    if (!bSync(sError)) {
        vRestore();
        return false;
    }
    // A second descriptor keeps the lock (it belongs to the open file
    // description) while the close reports, and through a putting back.
    const int nKeep = dup(m_nFile);
    const int nResult = close(m_nFile);
    const int nErrno = errno;
    vDisarmRollback(m_nFile);
    m_nFile = -1;
    if (nResult != 0) {
        vPutOutputBack(m_bCreated, m_sPath.c_str(), nKeep, m_nOldLength);
        sError = std::strerror(nErrno);
    }
    if (nKeep >= 0) close(nKeep);
    return nResult == 0;
}
