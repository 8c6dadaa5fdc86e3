// The layout of an SDS archive: which day files a run's channels fall
// into, their paths (ROOT/YEAR/NET/STA/CHA.D/NET.STA.LOC.CHA.D.YEAR.DAY)
// and the folders that hold them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "driver/channel/ConvertedChannel.h"
#include "driver/channel/StreamCodes.h"

// A day file, and the span this run writes into it.
struct DayFile {
    std::string sPath;
    StreamCodes tCodes{};
    int64_t nDay = 0;   // UTC day, days since 1970
    TimeSpan tWritten;  // from its first sample this run writes to the end of the last
};

// The path of the day file of stream t on UTC day nDay under sRoot; a blank
// location is written as nothing (XX.ABC..HHZ.D.2024.061).
std::string sDayFilePath(const std::string& sRoot, const StreamCodes& t, int64_t nDay);

// The day files that the samples of atChannels fall into, each sample by
// its exact time, sorted by path.
std::vector<DayFile> atDayFiles(const std::string& sRoot,
                                const std::vector<ConvertedChannel>& atChannels);

// Makes the folders of the day files that are missing below sRoot, with the
// permissions the umask leaves; asCreated gets each folder made, parents
// before children. False with sError (naming the folder) when one cannot be
// made or is no folder; those made so far are in asCreated.
bool bMakeDayFolders(const std::vector<DayFile>& atFiles, std::vector<std::string>& asCreated,
                     std::string& sError);
