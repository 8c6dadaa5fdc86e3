// The conversion run: reads and checks the whole input first, then opens the
// output and extracts each converted channel into it. The output is opened
// only when the input is known good, and any failure puts it back. Every
// error is printed here, once, and noted in the recording's summary with
// what else the run learns of it; the records written are counted for the
// progress line as they pass to the output.
#include "driver/run/ConversionRun.h"

#include <algorithm>
#include <cstddef>
#include <set>
#include <utility>
#include <vector>

#include "base/WorkerPool.h"
#include "driver/channel/ConvertedChannel.h"
#include "driver/cli/ThreadCount.h"
#include "driver/input/Recording.h"
#include "driver/process/Diagnostics.h"
#include "driver/process/ExitStatus.h"
#include "driver/process/InterruptVerdict.h"
#include "driver/process/ProgressLine.h"
#include "driver/process/Signals.h"
#include "driver/run/ChannelPlan.h"
#include "driver/run/OpenOutput.h"
#include "driver/run/RecordCodes.h"
#include "driver/run/RunRefusals.h"
#include "driver/run/RunVerification.h"
#include "driver/run/RunWarnings.h"
#include "mseed/SeedRecord.h"
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

// One run's settings and names, and what it tells the card.
struct RunContext {
    const CommandLine& tArgs;
    const std::string& sIn;
    const std::string& sOut;
    RecordingSummary& tSummary;
    const std::function<void()>& fnClosing;
};

// Prints the refusal's line and notes it in tSummary; its status.
int nRefused(const Refusal& t, RecordingSummary& tSummary) {
    vPrintError(t.sMessage);
    tSummary.eFate = RecordingFate::Failed;
    tSummary.bVerified = false;
    tSummary.nStatus = t.nStatus;
    tSummary.sFailure = t.sMessage;
    return t.nStatus;
}

// Records on their way to the run's output, their samples counted for the
// progress line as the share done of the nSamples the run writes.
class CCountingSink : public CRecordSink {
public:
    CCountingSink(CRunOutput& tOutput, int64_t nSamples)
        : m_tOutput(tOutput), m_nSamples(nSamples) {}
    CRunOutput& tOutput() { return m_tOutput; }
    int32_t nNumberOfFirst(const unsigned char* pRecords, size_t nRecords, int64_t nDay) override {
        return m_tOutput.nNumberOfFirst(pRecords, nRecords, nDay);
    }
    void vPutRecords(const unsigned char* pRecords, size_t nRecords, int64_t nDay) override {
        m_tOutput.vPutRecords(pRecords, nRecords, nDay);
        for (size_t i = 0; i < nRecords; ++i) {
            // The record's sample count, big-endian in its header.
            const unsigned char* p =
                pRecords + i * nSeedRecordLength + offsetof(SeedFixedHeader, Number_of_samples);
            m_nDone += p[0] << 8 | p[1];
        }
        vProgressShare(static_cast<double>(m_nDone) /
                       static_cast<double>(std::max<int64_t>(m_nSamples, 1)));
    }

private:
    CRunOutput& m_tOutput;
    int64_t m_nSamples;
    int64_t m_nDone = 0;
};

// Converts every planned channel into the open output through tSink, each
// with a writer of its own carrying its codes atCodes and the location and
// network codes of the command line, kept to days with -sds and writing
// only what the archive does not hold (tHeld), its samples restarting at
// atRestarts; false with sError on the first failed write,
// and false when the input shrank under the run. Names cut to their fields
// are warned about for channels that wrote records.
bool bConvertChannels(const Recording& r, const std::vector<PlannedChannel>& atPlan,
                      const std::vector<ChannelCodes>& atCodes,
                      const std::vector<StretchStart>& atRestarts, CCountingSink& tSink,
                      const ArchiveHeld& tHeld, CWorkerPool& tPool, const RunContext& c,
                      std::string& sError) {
    std::set<std::string> setWarned;
    // One queue serves every channel's writer in turn.
    CSegmentQueue tQueue(tPool);
    for (size_t i = 0; i < atPlan.size(); ++i) {
        const ChannelSource tSource = tChannelSource(r, atPlan[i], atCodes[i].sStation.c_str(),
                                                     atCodes[i].sChannel.c_str(), atRestarts);
        {
            CSeedWriter tWriter(tSink, tQueue);
            tWriter.vSetNetwork(c.tArgs.sNetwork.c_str());
            tWriter.vSetLocation(c.tArgs.sLocation.c_str());
            if (!c.tArgs.sArchiveDir.empty()) tWriter.vKeepToDays();
            if (i < tHeld.apChannels.size()) tWriter.vSetHeld(tHeld.apChannels[i].get());
            vExtractChannel(tSource, tWriter);
        }
        if (bInputShrank() || !tSink.tOutput().bFlush(sError)) return false;
        if (nChannelSampleCount(r.nDataSize, tSource.tGeometry) > 0)
            vWarnAboutCutNames(atCodes[i], c.sIn, setWarned);
    }
    return true;
}

// Notes in t what the recording is: its channels, the span of their
// samples, whether it is cut short, its clock's jumps.
void vNoteRecording(const Recording& r, const std::vector<PlannedChannel>& atPlan,
                    const RecordTimeline& tTimeline,
                    const std::vector<ConvertedChannel>& atChannels, RecordingSummary& t) {
    t.nChannels = atChannels.size();
    bool bFirst = true;
    for (const ConvertedChannel& c : atChannels) {
        t.nSamples += c.nSamples;
        t.nStreams += c.nSamples > 0 ? 1 : 0;
        if (c.nSamples == 0) continue;
        const TimeSpan tSpan = tWrittenSpan(c);
        t.tSpan.nFromMicros =
            bFirst ? tSpan.nFromMicros : std::min(t.tSpan.nFromMicros, tSpan.nFromMicros);
        t.tSpan.nToMicros = bFirst ? tSpan.nToMicros : std::max(t.tSpan.nToMicros, tSpan.nToMicros);
        bFirst = false;
    }
    if (const PlannedChannel* p = pLayoutChannel(r, atPlan)) {
        const RecordGeometry g = tGeometryOf(r, *p);
        t.bCutShort = g.nRecordCount > 0 && g.nTrailingBytes > 0;
    }
    t.nClockJumps = tTimeline.atJumps.size();
}

// -verify: reads the output back and compares it with the recording.
Refusal tVerify(const RunContext& c, std::vector<ConvertedChannel> atChannels,
                const OpenedOutput& tOpened, CWorkerPool& tPool) {
    if (tOpened.pArchive != nullptr)
        return tVerifyArchive(c.sIn, *tOpened.pArchive, c.sOut, atChannels, tPool);
    return tVerifyOutput(c.sIn, c.sOut, std::move(atChannels), *tOpened.pFile);
}

// Ends a run whose channels were converted (bConverted) or not: with
// -verify reads them back, then closes the output, or puts it back on any
// failure; returns the exit status.
int nFinishRun(const RunContext& c, bool bConverted, std::vector<ConvertedChannel> atChannels,
               const OpenedOutput& tOpened, CWorkerPool& tPool, std::string& sError) {
    CRunOutput& tOutput = *tOpened.pOutput;
    if (bConverted && c.tArgs.bVerify && !bInputShrank()) {
        if (const Refusal t = tVerify(c, std::move(atChannels), tOpened, tPool))
            return nRefused(t, c.tSummary);
    }
    const bool bWhole = bConverted && !bInputShrank();
    if (bWhole) {
        c.tSummary.eFate = RecordingFate::Converted;
        c.tSummary.nRecords = tOutput.nRecordsAppended();
        c.tSummary.bVerified = c.tArgs.bVerify;
        if (c.fnClosing) c.fnClosing();
        // From here a signal that finds nothing left to put back finds it kept.
        vMarkRecordingKept(true);
        vProgressDoing("syncing", 1, 1);
    }
    if (!bWhole || !tOutput.bClose(sError)) {
        vMarkRecordingKept(false);
        tOutput.vRestore();
        const std::string sFate = std::string("the ") + tOutput.szKind() + " " + tOutput.sFate();
        if (bInputShrank())
            return nRefused({nExitBadInput,
                             sShrankError(c.sIn, "the output " + c.sOut + " " + tOutput.sFate())},
                            c.tSummary);
        return nRefused({nExitOutputFailed, c.sOut + ": cannot write: " + sError + "; " + sFate},
                        c.tSummary);
    }
    return nExitSuccess;
}

}  // namespace

int nRunConversion(const CommandLine& tArgs, const std::string& sIn, const std::string& sOut,
                   RecordingSummary& tSummary, const std::function<void()>& fnClosing) {
    const CRunSignals tSignals;
    const RunContext c{tArgs, sIn, sOut, tSummary, fnClosing};

    // Refusals first, so that a refused run prints its one error line only.
    Recording r;
    std::string sError;
    if (!bLoadRecording(sIn, r, sError)) return nRefused(tLoadRefusal(sIn, r, sError), tSummary);
    const ChannelPlan tPlan = tPlanChannels(r);
    // The run's threads: started here, joined when the run ends. They read
    // the record headers' times first, which -recordtime dates stretches by.
    CWorkerPool tPool(nEncodingThreads(tArgs.nThreads, tArgs.bThreadsChosen, r.nDataSize));
    const RecordTimeline tTimeline = tTimelineOf(r, tPlan.atChannels, tPool);
    const std::vector<StretchStart> atRestarts =
        tArgs.bRecordTime ? atRestartsAtJumps(tTimeline) : std::vector<StretchStart>{};
    if (bInputShrank()) return nRefused({nExitBadInput, sShrankError(sIn)}, tSummary);
    const bool bArchive = !tArgs.sArchiveDir.empty();
    std::vector<ConvertedChannel> atChannels =
        atConvertedChannels(r, tPlan.atChannels, atRestarts, bArchive);
    if (const Refusal t = tRecordingRefusal(sIn, sOut, r, tPlan, atChannels))
        return nRefused(t, tSummary);
    if (const Refusal t = tCodeListRefusal(tArgs, sIn, r, tPlan)) return nRefused(t, tSummary);
    const std::vector<ChannelCodes> atCodes = atChannelCodes(tArgs, r, tPlan.atChannels);
    if (const Refusal t = tCodeRefusal(tArgs, sIn, r, tPlan, atCodes)) return nRefused(t, tSummary);
    for (size_t i = 0; i < atChannels.size(); ++i) atChannels[i].tCodes = atCodes[i].tCodes;
    vNoteRecording(r, tPlan.atChannels, tTimeline, atChannels, tSummary);

    // The output opens, and says what it holds already, once the input is known good.
    OpenedOutput tOpened;
    if (const Refusal t = tOpenOutput(sIn, sOut, bArchive, atChannels, tPool, tOpened))
        return nRefused(t, tSummary);
    tSummary.nDayFiles = tOpened.nDayFiles;
    tSummary.nSamplesHeld = tOpened.tHeld.nSamplesHeld;
    tSummary.nHeldAgain =
        nWarnBeforeConverting(tArgs, sIn, r, tPlan, atCodes, tTimeline, tOpened.fnWarn);
    CCountingSink tSink(*tOpened.pOutput, tSummary.nSamples - tSummary.nSamplesHeld);
    vProgressDoing("converting", 0, tArgs.bVerify ? 0.5 : 1);
    const bool bConverted = bConvertChannels(r, tPlan.atChannels, atCodes, atRestarts, tSink,
                                             tOpened.tHeld, tPool, c, sError);
    return nFinishRun(c, bConverted, std::move(atChannels), tOpened, tPool, sError);
}
