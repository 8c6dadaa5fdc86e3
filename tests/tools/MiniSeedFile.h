// Test helper for the tools' tests: MiniSEED files of chosen samples,
// written with the project's own segment writer.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "segments/SeedWriter.h"
#include "support/TempDir.h"
#include "support/WriterRig.h"

// One run of samples of one station and channel.
struct SeedTrace {
    std::string sStation, sChannel;
    double dRate = 100;
    EpochTime tStart = 1262304000;  // 2010-01-01 00:00:00
    std::vector<int32_t> anSamples;
};

// An empty trace of the given names and rate.
inline SeedTrace tTrace(const std::string& sStation, const std::string& sChannel,
                        double dRate = 100) {
    SeedTrace t;
    t.sStation = sStation;
    t.sChannel = sChannel;
    t.dRate = dRate;
    return t;
}

// Writes the traces to sPath (created or replaced), each with a writer of
// its own, so records are numbered from 000001 per trace as a conversion
// numbers them per channel. The writer's console lines are swallowed.
inline void vWriteMiniSeed(const std::string& sPath, const std::vector<SeedTrace>& atTraces) {
    WriterRig rig;
    testing::internal::CaptureStdout();
    for (const SeedTrace& t : atTraces) {
        CSeedWriter tWriter(rig.tSink, rig.tQueue);
        tWriter.vAddSamples(t.sStation.c_str(), t.sChannel.c_str(), t.dRate, t.tStart,
                            static_cast<int>(t.anSamples.size()), t.anSamples.data());
        tWriter.vFlushAll();
    }
    std::fflush(stdout);
    testing::internal::GetCapturedStdout();
    vWriteFile(sPath, rig.tSink.sRecords);
}
