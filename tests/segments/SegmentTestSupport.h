// Helpers for the segment tests: capturing standard output and reading
// record header fields.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "support/WriterRig.h"

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

// Big-endian 16-bit field at nOffset of record k in sFile.
inline int nRecordU16(const std::string& sFile, int k, int nOffset) {
    const auto* p = reinterpret_cast<const unsigned char*>(sFile.data()) + 512 * k + nOffset;
    return (p[0] << 8) | p[1];
}

inline std::string sRecordText(const std::string& sFile, int k, int nOffset, int nLength) {
    return sFile.substr(512 * k + nOffset, nLength);
}
