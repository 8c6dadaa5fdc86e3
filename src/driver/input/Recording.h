// The input recording as the run uses it: mapped, its fixed header and
// sections read, its data area and record length located.
#pragma once

#include <cstdint>
#include <string>

#include "driver/input/InputFile.h"
#include "recorder/RecorderHeader.h"

struct Recording {
    CInputFile tInput;
    RecorderHeader tHeader{};
    RecorderGroup aGroups[nRecorderChannelSlots]{};
    EpochTime tFileStart = 0;
    const uint8_t* pData = nullptr;
    int64_t nDataSize = 0;
    int32_t nRecSeconds = 0;
};

// Reads and checks the recording at sPath into r; false with sError (the
// reason) when it is refused.
bool bLoadRecording(const std::string& sPath, Recording& r, std::string& sError);
