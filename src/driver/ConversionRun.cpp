// The conversion run: reads and checks the whole input first, then opens the
// output and extracts each converted channel into it. The output is opened
// only when the input is known good, and any failed write puts it back.
#include "driver/ConversionRun.h"

#include <sys/stat.h>

#include <cmath>
#include <csignal>
#include <cstdint>
#include <cstring>
#include <limits>
#include <set>
#include <string>
#include <vector>

#include "driver/Diagnostics.h"
#include "driver/ExitStatus.h"
#include "driver/InputFile.h"
#include "driver/OutputFile.h"
#include "driver/RecordingChecks.h"
#include "mseed/SeedRecord.h"
#include "recorder/ChannelExtraction.h"
#include "recorder/RecorderHeader.h"

namespace {

// One channel to convert: its list position and its channel index.
struct PlannedChannel {
    int nPosition;
    int nChannel;
};

// Everything read from the input that the conversion needs.
struct Recording {
    InputFile tInput;
    RecorderHeader tHeader{};
    RecorderGroup aGroups[nRecorderChannelSlots]{};
    EpochTime tFileStart = 0;
    const uint8_t* pData = nullptr;
    int64_t nDataSize = 0;
    int32_t nRecSeconds = 0;
};

// Reads and checks the input; false with sError (the reason) when refused.
bool bLoadRecording(const std::string& sPath, Recording& r, std::string& sError) {
    if (!r.tInput.bOpen(sPath, sError)) return false;
    if (r.tInput.nSize() > std::numeric_limits<int32_t>::max()) {
        sError = "recordings of 2 GiB or more are not supported";
        return false;
    }
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

// The list positions to convert, in order (channel on, rate not negative),
// and the warnings about positions skipped: those that name no channel, and
// rates no record can carry.
struct ChannelPlan {
    std::vector<PlannedChannel> atChannels;
    std::vector<std::string> asWarnings;
};

ChannelPlan tPlanChannels(const Recording& r) {
    ChannelPlan t;
    const int nCount = r.tHeader.nChannelCount;
    if (nCount > nRecorderChannelListLength) {
        t.asWarnings.push_back(
            std::to_string(nCount) + " channels are switched on but the channel list holds " +
            std::to_string(nRecorderChannelListLength) + "; only those are converted");
    }
    for (int i = 0; i < nCount && i < nRecorderChannelListLength; ++i) {
        const int c = r.tHeader.anChannelList[i];
        if (c < 0 || c >= nRecorderChannelSlots) {
            t.asWarnings.push_back("channel list position " + std::to_string(i + 1) +
                                   " names channel index " + std::to_string(c) +
                                   ", outside 0 to 31; skipped");
            continue;
        }
        if (r.tHeader.aChannels[c].bOn != 1) continue;
        const int32_t nFreq = r.aGroups[c].nFreq;
        if (static_cast<double>(nFreq) < 0) continue;
        if (nFreq > nMaxSeedRate) {
            // Its low 16 bits would give the records another rate, or a period.
            t.asWarnings.push_back("channel " + std::string(r.tHeader.aChannels[c].sName) +
                                   " has FREQ " + std::to_string(nFreq) + ", above " +
                                   std::to_string(nMaxSeedRate) +
                                   ", the highest rate a record can carry; skipped");
            continue;
        }
        t.atChannels.push_back({i, c});
    }
    return t;
}

// True when a planned channel's last sample lies after the last second of
// 9999: the records would carry times the calendar fields cannot hold.
bool bRunsPastLastSecond(const Recording& r, const std::vector<PlannedChannel>& atPlan) {
    for (const PlannedChannel& p : atPlan) {
        const double dRate = r.aGroups[p.nChannel].nFreq;
        const RecordGeometry g = tRecordGeometry(r.nDataSize, dRate, p.nPosition, r.nRecSeconds,
                                                 r.tHeader.nChannelCount);
        const double dSamples = static_cast<double>(g.nRecordCount) * g.dBlockSamples;
        if (dSamples >= 1 && r.tFileStart + (dSamples - 1) / dRate >= tLastCalendarSecond + 1)
            return true;
    }
    return false;
}

// Warnings about the layout that the output cannot show: differing rates,
// bytes after the last whole record, record times off the timeline. The
// record layout is that of the first channel with a rate above 0.
void vWarnAboutLayout(const Recording& r, const std::vector<PlannedChannel>& atPlan,
                      const std::string& sPath) {
    if (atPlan.empty()) {
        vPrintWarning(sPath + ": no channel to convert; the output gets no records");
        return;
    }
    if (const std::string s = sLateStartWarning(r.tFileStart); !s.empty())
        vPrintWarning(sPath + ": " + s);
    for (const PlannedChannel& p : atPlan) {
        if (r.aGroups[p.nChannel].nFreq != r.aGroups[atPlan.front().nChannel].nFreq) {
            vPrintWarning(sPath +
                          ": the channels have different rates (FREQ); the record "
                          "layout assumes one rate, so their samples cannot be located "
                          "reliably");
            break;
        }
    }
    const PlannedChannel* pLayout = nullptr;
    for (const PlannedChannel& p : atPlan) {
        if (r.aGroups[p.nChannel].nFreq > 0) {
            pLayout = &p;
            break;
        }
    }
    if (pLayout == nullptr) return;
    const RecordGeometry g =
        tRecordGeometry(r.nDataSize, r.aGroups[pLayout->nChannel].nFreq, pLayout->nPosition,
                        r.nRecSeconds, r.tHeader.nChannelCount);
    if (g.nRecordCount > 0 && g.nTrailingBytes > 0) {
        vPrintWarning(sPath + ": " + std::to_string(g.nTrailingBytes) +
                      " bytes after the last whole record are ignored");
    }
    for (const std::string& s : asTimingWarnings(r.pData, g, r.tFileStart, r.nRecSeconds))
        vPrintWarning(sPath + ": " + s);
}

// True when sOutput names the input file itself (by another path, a link or
// a symbolic link); checked before the output is opened, so nothing is touched.
bool bSameFile(const InputFile& tInput, const std::string& sOutput) {
    struct stat st;
    return stat(sOutput.c_str(), &st) == 0 && st.st_dev == tInput.nDevice() &&
           st.st_ino == tInput.nInode();
}

// Warns, once per name, that records carry sName cut to the nWidth
// characters of its header field.
void vWarnAboutCutName(const std::string& sName, size_t nWidth, const char* szKind,
                       const std::string& sPath, std::set<std::string>& setWarned) {
    if (sName.size() <= nWidth || !setWarned.insert(szKind + sName).second) return;
    vPrintWarning(sPath + ": " + szKind + " name \"" + sName + "\" is longer than " +
                  std::to_string(nWidth) + " characters; records carry \"" +
                  sName.substr(0, nWidth) + "\"");
}

// Converts every planned channel into the open output, with network code
// sNetwork (empty for blank); false with sError on the first failed write.
// Names cut to their fields are warned about for channels that wrote records.
bool bConvertChannels(const Recording& r, const std::vector<PlannedChannel>& atPlan,
                      const std::string& sNetwork, const OutputFile& tOutput,
                      const std::string& sPath, std::string& sError) {
    const std::string sStation = sStationName(r.tHeader);
    std::set<std::string> setWarned;
    for (const PlannedChannel& p : atPlan) {
        const char* szChannel = r.tHeader.aChannels[p.nChannel].sName;
        ExtractionResult tResult;
        vExtractChannel(r.pData, r.nDataSize, r.tFileStart, szChannel, sStation.c_str(),
                        sNetwork.c_str(), static_cast<double>(r.aGroups[p.nChannel].nFreq),
                        p.nPosition, r.nRecSeconds, r.tHeader.nChannelCount, tOutput.nFile(),
                        tResult);
        if (tResult.nWriteError != 0) {
            sError = std::strerror(tResult.nWriteError);
            return false;
        }
        if (tResult.nSamples == 0) continue;
        vWarnAboutCutName(sStation, sizeof(SeedFixedHeader::Station_identifier_code), "station",
                          sPath, setWarned);
        vWarnAboutCutName(szChannel, sizeof(SeedFixedHeader::Channel_identifier), "channel", sPath,
                          setWarned);
    }
    return true;
}

}  // namespace

int nRunConversion(const CommandLine& tArgs) {
    const std::string& sIn = tArgs.sInputPath;
    const std::string& sOut = tArgs.sOutputName;
    // A write past the file size limit must fail with EFBIG, not kill the run.
    std::signal(SIGXFSZ, SIG_IGN);

    // Refusals first, so that a refused run prints its one error line only.
    Recording r;
    std::string sError;
    if (!bLoadRecording(sIn, r, sError)) {
        vPrintError(sIn + ": " + sError);
        return nExitBadInput;
    }
    if (bSameFile(r.tInput, sOut)) {
        vPrintError(sOut + ": the output is the input recording itself; choose another name");
        return nExitCommandLine;
    }
    const ChannelPlan tPlan = tPlanChannels(r);
    const std::vector<PlannedChannel>& atPlan = tPlan.atChannels;
    if (bRunsPastLastSecond(r, atPlan)) {
        vPrintError(sIn +
                    ": the recording runs past 9999-12-31 23:59:59, the last time a record "
                    "can carry");
        return nExitBadInput;
    }

    if (tArgs.bGain) {
        vPrintWarning("the gain option has no effect: samples are written unscaled");
    }
    for (const std::string& s : tPlan.asWarnings) vPrintWarning(sIn + ": " + s);
    vWarnAboutLayout(r, atPlan, sIn);

    OutputFile tOutput;
    if (!tOutput.bOpen(sOut, sError)) {
        vPrintError(sOut + ": cannot open for writing: " + sError);
        return nExitOutputFailed;
    }
    if (!bConvertChannels(r, atPlan, tArgs.sNetwork, tOutput, sIn, sError)) {
        tOutput.vRestore();
        vPrintError(sOut + ": cannot write: " + sError + "; the file is left as it was");
        return nExitOutputFailed;
    }
    if (!tOutput.bClose(sError)) {
        vPrintError(sOut + ": cannot write: " + sError + "; the file is left as it was");
        return nExitOutputFailed;
    }
    return nExitSuccess;
}
