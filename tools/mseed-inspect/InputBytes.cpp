// The inspected file read whole with plain descriptor calls, which report a
// directory or a read error as an errno instead of an exception.
#include "InputBytes.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

// Appends everything left to read on nFd to sBytes; false with errno set.
bool bReadAll(int nFd, std::string& sBytes) {
    char ac[1 << 16];
    for (;;) {
        const ssize_t n = ::read(nFd, ac, sizeof ac);
        if (n == 0) return true;
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        sBytes.append(ac, static_cast<size_t>(n));
    }
}

}  // namespace

bool bReadInputBytes(const std::string& sPath, std::string& sBytes, std::string& sError) {
    const int nFd = ::open(sPath.c_str(), O_RDONLY | O_CLOEXEC);
    if (nFd < 0) {
        sError = std::string("cannot open: ") + std::strerror(errno);
        return false;
    }
    struct stat st;
    const bool bStat = ::fstat(nFd, &st) == 0;
    if (bStat && S_ISDIR(st.st_mode)) {
        ::close(nFd);
        sError = "is a directory, not a MiniSEED file";
        return false;
    }
    if (bStat && S_ISREG(st.st_mode)) sBytes.reserve(static_cast<size_t>(st.st_size));
    const bool bRead = bReadAll(nFd, sBytes);
    const int nErrno = errno;
    ::close(nFd);
    if (!bRead) {
        sError = std::string("cannot read: ") + std::strerror(nErrno);
        return false;
    }
    if (sBytes.empty()) {
        sError = "is empty, not a MiniSEED file";
        return false;
    }
    return true;
}
