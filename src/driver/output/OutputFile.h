// The output file, appended to all or not at all, by one run at a time: it
// is locked against other runs, remembers whether the run created it and
// how long it was, so a failed run can put it back.
#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

#include "mseed/SeedRecord.h"

enum class OutputOpening {
    Opened,       // ready for appending
    NotMiniSeed,  // an existing file that does not begin like MiniSEED; untouched
    Failed,       // cannot be opened (sError says why)
};

// The folder sPath lies in ("." for a bare name).
std::string sFolderOf(const std::string& sPath);

// Forces the folder's entries onto the disk (new names in it, new folders);
// false with sError when the system cannot.
bool bSyncFolder(const std::string& sFolder, std::string& sError);

class COutputFile {
public:
    COutputFile() = default;
    ~COutputFile();
    COutputFile(const COutputFile&) = delete;
    COutputFile& operator=(const COutputFile&) = delete;

    // Opens sPath for writing without truncating it, creating it with owner
    // read and write permission when missing, and takes an exclusive lock on
    // a regular file: a run that holds it is waited for (after about a
    // second a warning says so once). A non-empty file must begin like a
    // MiniSEED data record. sError gets the reason when not Opened. A file
    // of a shared archive (bShared) is created with the permissions the
    // umask leaves of read and write for all.
    OutputOpening eOpen(const std::string& sPath, std::string& sError, bool bShared = false);

    int nFile() const { return m_nFile; }
    bool bCreated() const { return m_bCreated; }
    // Why the file could not be locked (the run goes on unlocked); empty
    // when it is locked or is no regular file.
    const std::string& sLockProblem() const { return m_sLockProblem; }
    // Bytes after the file's last whole 128-byte unit before the run: the
    // remains of a cut record, after which the records are appended all the same.
    int64_t nStrayBytes() const { return m_nOldLength % nSeedLengthUnit; }
    // The file's length before the run.
    int64_t nOldLength() const { return m_nOldLength; }
    // Where the run's records begin: the old length, less a tail cut off.
    int64_t nAppendFrom() const { return m_nAppendFrom; }
    // The file's status when it was opened and locked.
    const struct stat& tOpened() const { return m_tOpened; }
    const std::string& sPath() const { return m_sPath; }

    // Cuts off the bytes after the file's last whole 512-byte record (the
    // remains of a record cut short), so that the run's records follow the
    // whole ones; putting the file back writes them back. False with sError
    // when the file cannot be read or cut.
    bool bCutTail(std::string& sError);

    // Puts the file back as it was before eOpen: truncated to its old length,
    // or removed when this run created it; the lock is held until then. A
    // signal while the file is open does the same (see Rollback.h).
    void vRestore();

    // Forces the file's content onto the disk, and its name too when this
    // run created it (by syncing its folder); false with sError when the
    // system cannot. A file that takes no sync (a pipe, a device) needs none.
    bool bSync(std::string& sError);

    // Syncs the file (bSync), closes it and keeps its new content. When the
    // sync or the close reports a failure (the data may not have arrived)
    // the file is put back as by vRestore and the result is false with
    // sError set.
    bool bClose(std::string& sError);

    // As bClose, but the lock is kept (on a second descriptor, through which
    // vRestore can still put the file back) until vRelease.
    bool bCloseKeepingLock(std::string& sError);
    // Lets the file go: no putting back any more, the lock released.
    void vRelease();

private:
    // One attempt at eOpen; false (with m_nFile closed) when the path was
    // replaced or removed while this run waited for the lock.
    bool bOpenOnce(const std::string& sPath, mode_t nMode, OutputOpening& eResult,
                   std::string& sError);
    void vCloseFile();

    int m_nFile = -1;
    bool m_bCreated = false;
    off_t m_nOldLength = 0;
    off_t m_nAppendFrom = 0;
    struct stat m_tOpened {};
    std::vector<unsigned char> m_acTail;  // the bytes bCutTail cut off
    std::string m_sPath;
    std::string m_sLockProblem;
};
