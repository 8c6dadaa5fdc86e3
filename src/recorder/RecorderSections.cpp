// The CH, GROUP and STREAM sections of a recording's text head, laid over
// the fixed header image: which channels are on and their names, each
// channel's group (rate, gain), and the streams with their record length.
#include <algorithm>
#include <cstring>
#include <string>

#include "recorder/ProfileLookup.h"
#include "recorder/RecorderHeader.h"

namespace {

// Copies sText into the NUL-terminated field acField of nSize bytes, cut to
// nSize - 1 characters, the rest of the field cleared.
void vCopyText(char* acField, size_t nSize, const std::string& sText) {
    std::memset(acField, 0, nSize);
    std::memcpy(acField, sText.data(), std::min(sText.size(), nSize - 1));
}

std::string sSectionName(const char* szPrefix, int n) {
    return szPrefix + std::to_string(n);
}

void vReadChannels(const CProfileLookup& tProfile, RecorderHeader& tHeader) {
    int nOn = 0;
    for (int k = 1; k <= nRecorderChannelSlots; ++k) {
        RecorderChannel& ch = tHeader.aChannels[k - 1];
        const std::string sSection = sSectionName("CH", k);
        // Only the exact, upper-case "ON" switches a channel on.
        if (tProfile.sValue(sSection, "STAT") == "ON") {
            ch.bOn = 1;
            vCopyText(ch.sName, sizeof ch.sName, tProfile.sValue(sSection, "NAME"));
            ++nOn;
        } else {
            ch.bOn = 0;
            vCopyText(ch.sName, sizeof ch.sName, "EEE");
        }
    }
    tHeader.nChannelCount = static_cast<int8_t>(nOn);
}

// GROUP1 to GROUPn for n channels on; each fills the entry of its CH#, and a
// section whose CH# names no channel (missing, or outside 1..32) is ignored.
void vReadGroups(const CProfileLookup& tProfile, int nGroups,
                 RecorderGroup aGroups[nRecorderChannelSlots]) {
    for (int n = 1; n <= nGroups; ++n) {
        const std::string sSection = sSectionName("GROUP", n);
        const int32_t nChannelNo = nProfileInteger(tProfile.sValue(sSection, "CH#"));
        const std::string sType = tProfile.sValue(sSection, "TYPE");
        const int32_t nFreq = nProfileInteger(tProfile.sValue(sSection, "FREQ"));
        const int32_t nGroupChannels = nProfileInteger(tProfile.sValue(sSection, "N_CH"));
        const int32_t nGain = nProfileInteger(tProfile.sValue(sSection, "GAIN"));
        if (nChannelNo < 1 || nChannelNo > nRecorderChannelSlots) continue;
        RecorderGroup& g = aGroups[nChannelNo - 1];
        g.nChannelNo = nChannelNo;
        vCopyText(g.sType, sizeof g.sType, sType);
        g.nFreq = nFreq;
        g.nGroupChannels = nGroupChannels;
        g.nGain = nGain;
    }
}

// STREAM1, STREAM2, ... up to the first whose TYPE is "NULL" (missing).
void vReadStreams(const CProfileLookup& tProfile, RecorderHeader& tHeader) {
    int nRead = 0;
    for (int m = 1;; ++m) {
        const std::string sSection = sSectionName("STREAM", m);
        const std::string sType = tProfile.sValue(sSection, "TYPE");
        if (sType == "NULL") break;
        // Past the last slot the count stays at its maximum and the last
        // slot is overwritten, so it always holds the last section read.
        nRead = std::min(m, nRecorderStreamSlots);
        RecorderStream& s = tHeader.aStreams[nRead - 1];
        s.cType = sType == "PERMANENT" ? 'P' : 'T';
        s.nRecSizeSec = static_cast<int8_t>(
            static_cast<uint8_t>(nProfileInteger(tProfile.sValue(sSection, "REC_SIZE_SEC"))));
        s.nFileSizeSec =
            static_cast<uint16_t>(nProfileInteger(tProfile.sValue(sSection, "FILE_SIZE_SEC")));
        s.nStreamChannels =
            static_cast<uint8_t>(nProfileInteger(tProfile.sValue(sSection, "N_CH")));
        vCopyText(s.sChannels, sizeof s.sChannels, tProfile.sValue(sSection, "CH#"));
    }
    tHeader.nStreamCount = static_cast<int8_t>(nRead);
}

}  // namespace

void vReadRecorderSections(const uint8_t* pFile, size_t nFileSize, RecorderHeader& tHeader,
                           RecorderGroup aGroups[nRecorderChannelSlots]) {
    const CProfileLookup tProfile(pFile, nFileSize);
    for (int c = 0; c < nRecorderChannelSlots; ++c) aGroups[c] = RecorderGroup{};
    vReadChannels(tProfile, tHeader);
    vReadGroups(tProfile, tHeader.nChannelCount, aGroups);
    vReadStreams(tProfile, tHeader);
}
