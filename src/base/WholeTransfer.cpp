// Loops around pread and write until the whole transfer is done.
#include "base/WholeTransfer.h"

#include <unistd.h>

#include <cerrno>

bool bReadAll(int nFile, unsigned char* p, size_t nBytes, int64_t nOffset) {
    while (nBytes > 0) {
        const ssize_t n = pread(nFile, p, nBytes, nOffset);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (n == 0) errno = EIO;
            return false;
        }
        p += n;
        nBytes -= static_cast<size_t>(n);
        nOffset += n;
    }
    return true;
}

bool bWriteAll(int nFile, const unsigned char* p, size_t nBytes) {
    while (nBytes > 0) {
        const ssize_t n = write(nFile, p, nBytes);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (n == 0) errno = EIO;
            return false;
        }
        p += n;
        nBytes -= static_cast<size_t>(n);
    }
    return true;
}
