// The conversion run: reads and checks the whole input first, then opens the
// output and extracts each converted channel into it. The output is opened
// only when the input is known good, and any failure puts it back. Every
// error is printed here, once.
#include "driver/run/ConversionRun.h"

#include <set>
#include <utility>
#include <vector>

#include "base/WorkerPool.h"
#include "driver/channel/ConvertedChannel.h"
#include "driver/cli/ThreadCount.h"
#include "driver/input/Recording.h"
#include "driver/process/Diagnostics.h"
#include "driver/process/ExitStatus.h"
#include "driver/process/Signals.h"
#include "driver/run/ChannelPlan.h"
#include "driver/run/OpenOutput.h"
#include "driver/run/RecordCodes.h"
#include "driver/run/RunRefusals.h"
#include "driver/run/RunVerification.h"
#include "driver/run/RunWarnings.h"
#include "recorder/ChannelExtraction.h"
#include "recorder/RecordTimeline.h"
#include "segments/SeedWriter.h"

namespace {

// The recorder's clock as the record headers tell it, read on tPool.
RecordTimeline tTimelineOf(const Recording& r, const std::vector<PlannedChannel>& atPlan,
                           CWorkerPool& tPool) {
    const PlannedChannel* pLayout = pLayoutChannel(r, atPlan);
    if (pLayout == nullptr) return {};
    return tReadRecordTimeline(r.pData, tGeometryOf(r, *pLayout), r.tFileStart, r.nRecSeconds,
                               tPool);
}

// The records from which the samples are dated by the recorder's clock: one
// at every jump of it.
std::vector<StretchStart> atRestartsAtJumps(const RecordTimeline& tTimeline) {
    std::vector<StretchStart> at;
    for (const ClockJump& t : tTimeline.atJumps) at.push_back({t.nRecord, t.tFound});
    return at;
}

// Prints the refusal's line; its status.
int nRefused(const Refusal& t) {
    vPrintError(t.sMessage);
    return t.nStatus;
}

// Converts every planned channel into the open output, each with a writer
// of its own carrying its codes atCodes and the location and network codes
// of tArgs, kept to days with -sds, its samples restarting at atRestarts;
// false with sError on the first failed write, and false when the input
// shrank under the run. Names cut to their fields are warned about for
// channels that wrote records.
bool bConvertChannels(const Recording& r, const std::vector<PlannedChannel>& atPlan,
                      const std::vector<ChannelCodes>& atCodes,
                      const std::vector<StretchStart>& atRestarts, const OpenedOutput& tOpened,
                      CWorkerPool& tPool, const CommandLine& tArgs, const std::string& sIn,
                      std::string& sError) {
    CRunOutput& tOutput = *tOpened.pOutput;
    const auto& apHeld = tOpened.tHeld.apChannels;
    std::set<std::string> setWarned;
    // One queue serves every channel's writer in turn.
    CSegmentQueue tQueue(tPool);
    for (size_t i = 0; i < atPlan.size(); ++i) {
        const ChannelSource tSource = tChannelSource(r, atPlan[i], atCodes[i].sStation.c_str(),
                                                     atCodes[i].sChannel.c_str(), atRestarts);
        {
            CSeedWriter tWriter(tOutput, tQueue);
            tWriter.vSetNetwork(tArgs.sNetwork.c_str());
            tWriter.vSetLocation(tArgs.sLocation.c_str());
            if (!tArgs.sArchiveDir.empty()) tWriter.vKeepToDays();
            if (i < apHeld.size()) tWriter.vSetHeld(apHeld[i].get());
            vExtractChannel(tSource, tWriter);
        }
        if (bInputShrank() || !tOutput.bFlush(sError)) return false;
        if (nChannelSampleCount(r.nDataSize, tSource.tGeometry) > 0)
            vWarnAboutCutNames(atCodes[i], sIn, setWarned);
    }
    return true;
}

// -verify: reads the output back and compares it with the recording.
Refusal tVerify(const std::string& sIn, const std::string& sOut,
                std::vector<ConvertedChannel> atChannels, const OpenedOutput& tOpened,
                CWorkerPool& tPool) {
    if (tOpened.pArchive != nullptr)
        return tVerifyArchive(sIn, *tOpened.pArchive, sOut, atChannels, tPool);
    return tVerifyOutput(sIn, sOut, std::move(atChannels), *tOpened.pFile);
}

// Ends a run whose channels were converted (bConverted) or not: with
// -verify reads them back, then closes the output, or puts it back on any
// failure; returns the exit status.
int nFinishRun(const CommandLine& tArgs, const std::string& sIn, const std::string& sOut,
               bool bConverted, std::vector<ConvertedChannel> atChannels,
               const OpenedOutput& tOpened, CWorkerPool& tPool, std::string& sError) {
    CRunOutput& tOutput = *tOpened.pOutput;
    const std::string sHeld = sHeldReport(tOpened.tHeld, atChannels);
    if (bConverted && tArgs.bVerify && !bInputShrank()) {
        if (const Refusal t = tVerify(sIn, sOut, std::move(atChannels), tOpened, tPool))
            return nRefused(t);
    }
    if (!bConverted || !tOutput.bClose(sError)) {
        tOutput.vRestore();
        const std::string sFate = std::string("the ") + tOutput.szKind() + " " + tOutput.sFate();
        if (bInputShrank())
            return nRefused(
                {nExitBadInput, sShrankError(sIn, "the output " + sOut + " " + tOutput.sFate())});
        return nRefused({nExitOutputFailed, sOut + ": cannot write: " + sError + "; " + sFate});
    }
    if (!sHeld.empty()) vPrintReport(sIn + ": " + sHeld);
    if (tArgs.bVerify) {
        vPrintReport(sOut + ": " + std::to_string(tOutput.nRecordsAppended()) +
                     " records verified against " + sIn);
    }
    return nExitSuccess;
}

}  // namespace

int nRunConversion(const CommandLine& tArgs, const std::string& sIn, const std::string& sOut) {
    const CRunSignals tSignals;

    // Refusals first, so that a refused run prints its one error line only.
    Recording r;
    std::string sError;
    if (!bLoadRecording(sIn, r, sError)) return nRefused(tLoadRefusal(sIn, r, sError));
    const ChannelPlan tPlan = tPlanChannels(r);
    // The run's threads: started here, joined when the run ends. They read
    // the record headers' times first, which -recordtime dates stretches by.
    CWorkerPool tPool(nEncodingThreads(tArgs.nThreads, tArgs.bThreadsChosen, r.nDataSize));
    const RecordTimeline tTimeline = tTimelineOf(r, tPlan.atChannels, tPool);
    const std::vector<StretchStart> atRestarts =
        tArgs.bRecordTime ? atRestartsAtJumps(tTimeline) : std::vector<StretchStart>{};
    if (bInputShrank()) return nRefused({nExitBadInput, sShrankError(sIn)});
    const bool bArchive = !tArgs.sArchiveDir.empty();
    std::vector<ConvertedChannel> atChannels =
        atConvertedChannels(r, tPlan.atChannels, atRestarts, bArchive);
    if (const Refusal t = tRecordingRefusal(sIn, sOut, r, tPlan, atChannels)) return nRefused(t);
    if (const Refusal t = tCodeListRefusal(tArgs, sIn, r, tPlan)) return nRefused(t);
    const std::vector<ChannelCodes> atCodes = atChannelCodes(tArgs, r, tPlan.atChannels);
    if (const Refusal t = tCodeRefusal(tArgs, sIn, r, tPlan, atCodes)) return nRefused(t);
    for (size_t i = 0; i < atChannels.size(); ++i) atChannels[i].tCodes = atCodes[i].tCodes;

    // The output opens, and says what it holds already, once the input is known good.
    OpenedOutput tOpened;
    if (const Refusal t = tOpenOutput(sIn, sOut, bArchive, atChannels, tPool, tOpened))
        return nRefused(t);
    vWarnBeforeConverting(tArgs, sIn, r, tPlan, atCodes, tTimeline, tOpened.fnWarn);
    const bool bConverted = bConvertChannels(r, tPlan.atChannels, atCodes, atRestarts, tOpened,
                                             tPool, tArgs, sIn, sError);
    return nFinishRun(tArgs, sIn, sOut, bConverted, std::move(atChannels), tOpened, tPool, sError);
}
