// Reads the whole input file with one open and as few reads as the system
// allows. The block is left uninitialised before the read so its memory is
// touched once, by the copy itself.
#include "driver/InputFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <new>

namespace {

struct FileCloser {
    int nFile;
    ~FileCloser() { close(nFile); }
};

}  // namespace

bool bReadInputFile(const std::string& sPath, InputFile& tInput, std::string& sError) {
    const int nFile = open(sPath.c_str(), O_RDONLY | O_CLOEXEC);
    if (nFile < 0) {
        sError = std::string("cannot open: ") + std::strerror(errno);
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
    tInput.nDevice = st.st_dev;
    tInput.nInode = st.st_ino;
    tInput.nSize = st.st_size;
    tInput.pBytes.reset(new (std::nothrow) uint8_t[st.st_size > 0 ? st.st_size : 1]);
    if (!tInput.pBytes) {
        sError = "not enough memory to read the recording";
        return false;
    }
    int64_t nDone = 0;
    while (nDone < tInput.nSize) {
        const ssize_t n = read(nFile, tInput.pBytes.get() + nDone,
                               static_cast<size_t>(tInput.nSize - nDone));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            sError = std::string("cannot read: ") + std::strerror(errno);
            return false;
        }
        if (n == 0) break;  // the file shrank while being read
        nDone += n;
    }
    tInput.nSize = nDone;
    return true;
}
