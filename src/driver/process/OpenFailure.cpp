// Plain reasons for failed opens; the path is looked at again (without
// following a last symbolic link) where the error alone is ambiguous.
#include "driver/process/OpenFailure.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>

namespace {

bool bIs(const std::string& sPath, mode_t nType, bool bFollowLink) {
    struct stat st;
    const int n = bFollowLink ? stat(sPath.c_str(), &st) : lstat(sPath.c_str(), &st);
    return n == 0 && (st.st_mode & S_IFMT) == nType;
}

}  // namespace

std::string sOpenFailure(int nErrno, const std::string& sPath, bool bWriting) {
    switch (nErrno) {
        case ENXIO:
            if (bIs(sPath, S_IFIFO, true)) return "no process is reading this pipe";
            return "the device it names is not there";
        case ENODEV:
            return "the device it names is not there";
        case ENOENT:
            if (!bWriting) break;
            if (bIs(sPath, S_IFLNK, false))
                return "it is a symbolic link to a place that does not exist";
            return "the directory it would be made in does not exist";
        case ENOTDIR:
            return "a part of its path is not a directory";
        case ELOOP:
            return "its path has too many symbolic links (perhaps a loop)";
        case EISDIR:
            return "it is a directory";
        case ETXTBSY:
            return "it is a program that is running";
        case EROFS:
            return "it lies on a file system mounted read-only";
        default:
            break;
    }
    return std::strerror(nErrno);
}
