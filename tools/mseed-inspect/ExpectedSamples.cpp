// Reader of vorn-synth's expected-sample directories.
#include "ExpectedSamples.h"

#include <fstream>
#include <iterator>
#include <sstream>

bool bReadExpectedSamples(const std::string& sDir, std::vector<ExpectedChannel>& atChannels,
                          std::string& sError) {
    std::ifstream tManifest(sDir + "/manifest.txt");
    if (!tManifest) {
        sError = sDir + "/manifest.txt: cannot be read";
        return false;
    }
    // position channel name rate count start file
    std::string sLine;
    while (std::getline(tManifest, sLine)) {
        std::istringstream in(sLine);
        std::string sPosition, sChannel, sName, sRate, sCount, sStart, sFile;
        if (!(in >> sPosition >> sChannel >> sName >> sRate >> sCount >> sStart >> sFile)) continue;
        std::ifstream tData(sDir + "/" + sFile, std::ios::binary);
        if (!tData) {
            sError = sDir + "/" + sFile + ": cannot be read";
            return false;
        }
        const std::string sBytes((std::istreambuf_iterator<char>(tData)),
                                 std::istreambuf_iterator<char>());
        ExpectedChannel t;
        t.sName = sName;
        t.anSamples.reserve(sBytes.size() / 2);
        for (size_t i = 0; i + 1 < sBytes.size(); i += 2) {
            t.anSamples.push_back(static_cast<unsigned char>(sBytes[i]) |
                                  static_cast<unsigned char>(sBytes[i + 1]) << 8);
        }
        atChannels.push_back(std::move(t));
    }
    return true;
}
