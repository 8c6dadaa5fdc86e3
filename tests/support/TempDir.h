// Test helper: a fresh, empty directory removed with everything in it when
// the object goes, and small file helpers.
#pragma once

#include <string>

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& sPath() const { return m_sPath; }
    // Path of a file inside the directory.
    std::string sFile(const std::string& sName) const { return m_sPath + "/" + sName; }

private:
    std::string m_sPath;
};

// Whole content of a file ("" when it cannot be read) and whether it exists.
std::string sReadFile(const std::string& sPath);
bool bFileExists(const std::string& sPath);
void vWriteFile(const std::string& sPath, const std::string& sContent);
