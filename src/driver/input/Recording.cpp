// Loading the input recording: the fixed header first, then the sections
// laid over it, then the data area and the record length of the last stream.
#include "driver/input/Recording.h"

#include <cmath>

bool bLoadRecording(const std::string& sPath, Recording& r, std::string& sError) {
    if (!r.tInput.bOpen(sPath, sError)) return false;
    const uint8_t* pFile = r.tInput.pBytes();
    const size_t nFileSize = static_cast<size_t>(r.tInput.nSize());
    r.tFileStart = tReadRecorderHeader(pFile, nFileSize, r.tHeader, sError);
    if (std::isnan(r.tFileStart)) return false;
    vReadRecorderSections(pFile, nFileSize, r.tHeader, r.aGroups);
    if (r.tHeader.nStreamCount <= 0) {
        sError = "no STREAM section: the record length in seconds is unknown";
        return false;
    }
    r.nRecSeconds = static_cast<int8_t>(r.tHeader.aStreams[r.tHeader.nStreamCount - 1].nRecSizeSec);
    r.pData = pFile + r.tHeader.nDataOffset;
    r.nDataSize = r.tInput.nSize() - r.tHeader.nDataOffset;
    return true;
}
