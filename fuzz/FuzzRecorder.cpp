// Fuzz target: the recorder readers and the channel extraction on arbitrary
// file images. The input is taken as a whole recording file; every channel
// the readers accept is extracted and written to /dev/null.
#include <fcntl.h>
#include <unistd.h>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "recorder/ChannelExtraction.h"
#include "recorder/RecorderHeader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize) {
    static const int nNull = open("/dev/null", O_WRONLY);
    static FILE* pQuiet = [] {
        // The writer's progress lines are not the subject here.
        return freopen("/dev/null", "w", stdout);
    }();
    (void)pQuiet;
    RecorderHeader tHeader;
    RecorderGroup aGroups[nRecorderChannelSlots];
    std::string sError;
    const EpochTime tStart = tReadRecorderHeader(pData, nSize, tHeader, sError);
    if (std::isnan(tStart)) return 0;
    vReadRecorderSections(pData, nSize, tHeader, aGroups);
    if (tHeader.nStreamCount <= 0) return 0;
    const int32_t nRecSeconds = tHeader.aStreams[tHeader.nStreamCount - 1].nRecSizeSec;
    const uint8_t* pArea = pData + tHeader.nDataOffset;
    const int64_t nArea = static_cast<int64_t>(nSize) - tHeader.nDataOffset;
    const std::string sStation = sStationName(tHeader);
    for (int i = 0; i < tHeader.nChannelCount && i < nRecorderChannelListLength; ++i) {
        const int c = tHeader.anChannelList[i];
        if (c < 0 || c >= nRecorderChannelSlots || tHeader.aChannels[c].bOn != 1) continue;
        if (aGroups[c].nFreq < 0) continue;
        ExtractionResult tResult;
        vExtractChannel(pArea, nArea, tStart, tHeader.aChannels[c].sName, sStation.c_str(),
                        aGroups[c].nFreq, i, nRecSeconds, tHeader.nChannelCount, nNull, tResult);
    }
    return 0;
}
