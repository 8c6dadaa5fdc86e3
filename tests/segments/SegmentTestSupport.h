// Helpers for the segment tests: capturing standard output and error,
// output files in a temporary directory, and reading record header fields.
#pragma once

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "support/TempDir.h"

// Standard output written while fn runs.
inline std::string sCaptureStdout(const std::function<void()>& fn) {
    std::fflush(stdout);
    testing::internal::CaptureStdout();
    fn();
    std::fflush(stdout);
    return testing::internal::GetCapturedStdout();
}

inline std::vector<std::string> asLines(const std::string& sText) {
    std::vector<std::string> as;
    std::istringstream in(sText);
    for (std::string s; std::getline(in, s);) as.push_back(s);
    return as;
}

// Lines of sText that begin with sPrefix.
inline std::vector<std::string> asLinesStartingWith(const std::string& sText,
                                                    const std::string& sPrefix) {
    std::vector<std::string> as;
    for (const std::string& s : asLines(sText)) {
        if (s.compare(0, sPrefix.size(), sPrefix) == 0) as.push_back(s);
    }
    return as;
}

// A fresh output file opened for writing, closed with the object.
class ScratchOutputFile {
public:
    ScratchOutputFile() : m_sPath(m_dir.sFile("out.mseed")) {
        m_nFd = ::open(m_sPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    }
    ~ScratchOutputFile() {
        if (m_nFd >= 0) ::close(m_nFd);
    }
    int nFd() const { return m_nFd; }
    std::string sContent() const { return sReadFile(m_sPath); }
    const std::string& sPath() const { return m_sPath; }

private:
    TempDir m_dir;
    std::string m_sPath;
    int m_nFd = -1;
};

// Big-endian 16-bit field at nOffset of record k in sFile.
inline int nRecordU16(const std::string& sFile, int k, int nOffset) {
    const auto* p = reinterpret_cast<const unsigned char*>(sFile.data()) + 512 * k + nOffset;
    return (p[0] << 8) | p[1];
}

inline std::string sRecordText(const std::string& sFile, int k, int nOffset, int nLength) {
    return sFile.substr(512 * k + nOffset, nLength);
}
