// The archive walk with plain directory calls, which report an unreadable
// folder as an errno instead of an exception and let the walk go on.
#include "ArchiveCheck.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

#include "DayFileCheck.h"
#include "HeaderWalk.h"
#include "InputBytes.h"
#include "base/PrintableText.h"

namespace {

struct ArchiveWalk {
    std::string sPrefix;  // the archive's folder without a trailing '/'
    const std::function<void(const std::string&)>& fnProblem;
    const std::function<void(const std::string&, const std::string&)>& fnError;
    ArchiveCounts t;
};

void vCheckDayFile(ArchiveWalk& w, const std::string& sPath, const DayFilePath& tPath,
                   off_t nSize) {
    std::string sBytes, sError;
    if (nSize > 0 && !bReadInputBytes(sPath, sBytes, sError)) {
        w.fnError(sPath, sError);
        ++w.t.nUnreadable;
        return;
    }
    ++w.t.nChecked;
    const HeaderWalk tWalk =
        tWalkHeaders(reinterpret_cast<const uint8_t*>(sBytes.data()), sBytes.size());
    const std::vector<std::string> asProblems = asDayFileProblems(tPath, tWalk);
    if (asProblems.empty()) return;
    ++w.t.nWithProblems;
    std::string sLine = sPrintable(sPath) + ": ";
    for (size_t i = 0; i < asProblems.size(); ++i) sLine += (i == 0 ? "" : "; ") + asProblems[i];
    w.fnProblem(sLine);
}

// The names in the folder sFolder but . and .., sorted; false after an
// error report.
bool bListFolder(ArchiveWalk& w, const std::string& sFolder, std::vector<std::string>& asNames) {
    DIR* pDir = opendir(sFolder.c_str());
    if (pDir == nullptr) {
        w.fnError(sFolder, std::string("cannot open the folder: ") + std::strerror(errno));
        ++w.t.nUnreadable;
        return false;
    }
    errno = 0;
    while (const dirent* p = readdir(pDir)) {
        const std::string sName = p->d_name;
        if (sName != "." && sName != "..") asNames.push_back(sName);
    }
    const int nErrno = errno;
    closedir(pDir);
    std::sort(asNames.begin(), asNames.end());
    if (nErrno == 0) return true;
    w.fnError(sFolder, std::string("cannot read the folder: ") + std::strerror(nErrno));
    ++w.t.nUnreadable;
    return false;
}

// Walks the folder sBelow ("" for the archive's folder, else ending in '/').
void vWalkFolder(ArchiveWalk& w, const std::string& sBelow) {
    const std::string sFolder = w.sPrefix + "/" + sBelow;
    std::vector<std::string> asNames;
    if (!bListFolder(w, sBelow.empty() ? (w.sPrefix.empty() ? "/" : w.sPrefix) : sFolder, asNames))
        return;
    if (sBelow.empty()) w.t.bRootRead = true;
    for (const std::string& sName : asNames) {
        const std::string sRelative = sBelow + sName, sPath = sFolder + sName;
        struct stat st;
        if (lstat(sPath.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
            vWalkFolder(w, sRelative + "/");
            continue;
        }
        DayFilePath tPath;
        if (!bParseDayFilePath(sRelative, tPath)) {
            ++w.t.nOthers;
        } else if (stat(sPath.c_str(), &st) != 0) {  // a link to a day file counts as one
            w.fnError(sPath, std::string("cannot open: ") + std::strerror(errno));
            ++w.t.nUnreadable;
        } else if (!S_ISREG(st.st_mode)) {
            ++w.t.nOthers;
        } else {
            vCheckDayFile(w, sPath, tPath, st.st_size);
        }
    }
}

std::string sCount(int n, const char* szOne, const char* szMany) {
    return std::to_string(n) + " " + (n == 1 ? szOne : szMany);
}

}  // namespace

ArchiveCounts tCheckArchive(
    const std::string& sRoot, const std::function<void(const std::string&)>& fnProblem,
    const std::function<void(const std::string&, const std::string&)>& fnError) {
    ArchiveWalk w{sRoot, fnProblem, fnError, {}};
    while (!w.sPrefix.empty() && w.sPrefix.back() == '/') w.sPrefix.pop_back();
    vWalkFolder(w, "");
    return w.t;
}

std::string sArchiveSummary(const std::string& sRoot, const ArchiveCounts& t) {
    std::string s = sPrintable(sRoot) + ": " + sCount(t.nChecked, "day file", "day files") +
                    " checked, " + std::to_string(t.nWithProblems) + " with problems";
    if (t.nUnreadable > 0) s += ", " + std::to_string(t.nUnreadable) + " unreadable";
    if (t.nOthers > 0) s += ", " + sCount(t.nOthers, "other file", "other files") + " left alone";
    return s;
}
