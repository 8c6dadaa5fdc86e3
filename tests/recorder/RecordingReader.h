// Test helper: reads a synthetic recording's image the way the conversion
// does, the fixed header first and the sections over it.
#pragma once

#include <string>

#include "SyntheticRecording.h"
#include "recorder/RecorderHeader.h"

struct RecordingRead {
    RecorderHeader tHeader{};
    RecorderGroup aGroups[nRecorderChannelSlots]{};
    EpochTime tStart = 0.0;
    std::string sError;
};

inline RecordingRead tReadRecording(const std::vector<uint8_t>& anFile) {
    RecordingRead r;
    r.tStart = tReadRecorderHeader(anFile.data(), anFile.size(), r.tHeader, r.sError);
    vReadRecorderSections(anFile.data(), anFile.size(), r.tHeader, r.aGroups);
    return r;
}

inline RecordingRead tReadRecording(const SyntheticRecording& tRec) {
    return tReadRecording(tBuildRecording(tRec).anFile);
}
