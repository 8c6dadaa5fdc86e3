// The input is mapped rather than copied: its pages come straight from the
// page cache, read in once, and the run never touches fresh memory for them.
// A file that shrinks while it is mapped raises SIGBUS; the run's signal
// handling watches the mapping and turns that into a clean failure of this
// recording alone (Signals.h).
#include "driver/input/InputFile.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "driver/process/OpenFailure.h"
#include "driver/process/Signals.h"

namespace {

struct FileCloser {
    int nFile;
    ~FileCloser() { close(nFile); }
};

// Largest input whose pages are all mapped when it is opened.
constexpr off_t nPopulateLimit = off_t{1} << 30;

// An empty file maps to this, so pBytes() is never null.
const uint8_t nNoBytes = 0;

}  // namespace

CInputFile::~CInputFile() {
    if (m_nSize <= 0) return;
    vUnwatchInput();
    munmap(const_cast<uint8_t*>(m_pBytes), static_cast<size_t>(m_nSize));
}

bool CInputFile::bOpen(const std::string& sPath, std::string& sError) {
    // O_NONBLOCK: a named pipe without a writer must be refused, not waited
    // for; it changes nothing for the regular file that is then required.
    const int nFile = open(sPath.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (nFile < 0) {
        sError = std::string("cannot open: ") + sOpenFailure(errno, sPath, false);
        return false;
    }
    FileCloser tCloser{nFile};
    struct stat st;
    if (fstat(nFile, &st) != 0) {
        sError = std::string("cannot read: ") + std::strerror(errno);
        return false;
    }
    if (!S_ISREG(st.st_mode)) {
        sError = S_ISDIR(st.st_mode) ? "is a directory, not a recording" : "is not a regular file";
        return false;
    }
    m_nDevice = st.st_dev;
    m_nInode = st.st_ino;
    m_pBytes = &nNoBytes;
    if (st.st_size == 0) return true;
    // Up to a size that memory surely holds, the pages are mapped at once
    // (one sequential read); beyond it, as the passes reach them.
    const int nPopulate = st.st_size <= nPopulateLimit ? MAP_POPULATE : 0;
    void* p = mmap(nullptr, static_cast<size_t>(st.st_size), PROT_READ, MAP_PRIVATE | nPopulate,
                   nFile, 0);
    if (p == MAP_FAILED) {
        m_pBytes = nullptr;  // not read: no look at its bytes either
        sError = std::string("cannot read: ") + std::strerror(errno);
        return false;
    }
    m_pBytes = static_cast<const uint8_t*>(p);
    m_nSize = st.st_size;
    vWatchInput(p, static_cast<size_t>(st.st_size));
    return true;
}
