// End-to-end test helpers.
#include "support/ConversionTestSupport.h"

#include <gtest/gtest.h>

#include <sstream>

std::vector<std::vector<uint16_t>> aanWriteRecording(const TempDir& tDir, const std::string& sName,
                                                     const SyntheticRecording& tRec) {
    SyntheticOutput tOut = tBuildRecording(tRec);
    std::string sError;
    EXPECT_TRUE(bWriteBytes(tDir.sFile(sName), tOut.anFile, sError)) << sError;
    return tOut.aanSamples;
}

namespace {

int nBig16(const std::string& s, size_t n) {
    return (static_cast<unsigned char>(s[n]) << 8) | static_cast<unsigned char>(s[n + 1]);
}

}  // namespace

std::vector<RecordFields> atRecordFields(const std::string& sBytes) {
    std::vector<RecordFields> at;
    for (size_t n = 0; n + 512 <= sBytes.size(); n += 512) {
        const std::string r = sBytes.substr(n, 512);
        RecordFields f;
        f.sSequence = r.substr(0, 6);
        f.sStation = r.substr(8, 5);
        f.sChannel = r.substr(15, 3);
        f.sNetwork = r.substr(18, 2);
        f.nYear = nBig16(r, 20);
        f.nDay = nBig16(r, 22);
        f.nHour = static_cast<unsigned char>(r[24]);
        f.nMinute = static_cast<unsigned char>(r[25]);
        f.nSecond = static_cast<unsigned char>(r[26]);
        f.nFract = nBig16(r, 28);
        f.nSamples = nBig16(r, 30);
        f.nRateFactor = static_cast<int16_t>(nBig16(r, 32));
        at.push_back(f);
    }
    return at;
}

int nCountLines(const std::string& sText, const std::string& sPrefix) {
    std::istringstream in(sText);
    std::string sLine;
    int n = 0;
    while (std::getline(in, sLine)) n += sLine.rfind(sPrefix, 0) == 0 ? 1 : 0;
    return n;
}
