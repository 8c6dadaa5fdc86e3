// Folder trees read whole, and their differences.
#include "support/FileTree.h"

#include <dirent.h>
#include <sys/stat.h>

#include "support/TempDir.h"

Tree tTree(const std::string& sRoot, const std::string& sBelow) {
    Tree t;
    DIR* pDir = opendir((sRoot + "/" + sBelow).c_str());
    if (pDir == nullptr) return t;
    while (const dirent* p = readdir(pDir)) {
        const std::string sName = p->d_name, sPath = sBelow + sName;
        struct stat st {};
        if (sName == "." || sName == ".." || lstat((sRoot + "/" + sPath).c_str(), &st) != 0)
            continue;
        if (S_ISDIR(st.st_mode)) {
            t[sPath + "/"] = "";
            t.merge(tTree(sRoot, sPath + "/"));
        } else {
            t[sPath] = sReadFile(sRoot + "/" + sPath);
        }
    }
    closedir(pDir);
    return t;
}

Tree tWithFiles(Tree tWas, const std::vector<std::string>& asFiles) {
    for (const std::string& s : asFiles) {
        tWas[s] = "";
        for (size_t n = s.find('/'); n != std::string::npos; n = s.find('/', n + 1))
            tWas[s.substr(0, n + 1)] = "";
    }
    return tWas;
}

std::string sDifference(const Tree& tWas, const Tree& tIs, bool bContents) {
    std::string s;
    for (const auto& [sPath, sContent] : tWas) {
        const auto it = tIs.find(sPath);
        if (it == tIs.end()) {
            s += "gone: " + sPath + "\n";
        } else if (bContents && it->second != sContent) {
            s += "changed: " + sPath + " (" + std::to_string(it->second.size()) + " bytes, was " +
                 std::to_string(sContent.size()) + ")\n";
        }
    }
    for (const auto& [sPath, sContent] : tIs)
        if (tWas.count(sPath) == 0) s += "new: " + sPath + "\n";
    return s;
}
