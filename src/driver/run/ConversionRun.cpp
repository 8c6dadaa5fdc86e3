// The conversion run: reads and checks the whole input first, then opens the
// output and extracts each converted channel into it. The output is opened
// only when the input is known good, and any failed write puts it back.
#include "driver/run/ConversionRun.h"

#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <climits>
#include <cmath>
#include <csignal>
#include <cstdint>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "driver/output/ArchiveLayout.h"
#include "driver/output/ArchiveSink.h"
#include "driver/run/ChannelPlan.h"
#include "driver/process/Diagnostics.h"
#include "driver/process/ExitStatus.h"
#include "driver/input/ForeignFile.h"
#include "driver/check/OutputHistory.h"
#include "driver/output/OutputSink.h"
#include "driver/check/OutputVerify.h"
#include "driver/run/RecordCodes.h"
#include "driver/input/Recording.h"
#include "driver/input/RecordingChecks.h"
#include "driver/process/SignalRollback.h"
#include "mseed/SeedRecord.h"
#include "recorder/ChannelExtraction.h"
#include "recorder/RecordTimeline.h"
#include "segments/SeedWriter.h"
#include "segments/SegmentEncoding.h"
#include "base/WorkerPool.h"
#include "timeconv/SampleTime.h"

namespace {

// The channel whose record layout stands for the recording's: the first
// planned channel with a rate above 0; null when there is none.
const PlannedChannel* pLayoutChannel(const Recording& r,
                                     const std::vector<PlannedChannel>& atPlan) {
    for (const PlannedChannel& p : atPlan)
        if (r.aGroups[p.nChannel].nFreq > 0) return &p;
    return nullptr;
}

// The recorder's clock as the record headers tell it, read on tPool.
RecordTimeline tTimelineOf(const Recording& r, const std::vector<PlannedChannel>& atPlan,
                           CWorkerPool& tPool) {
    const PlannedChannel* pLayout = pLayoutChannel(r, atPlan);
    if (pLayout == nullptr) return {};
    return tReadRecordTimeline(r.pData, tGeometryOf(r, *pLayout), r.tFileStart, r.nRecSeconds,
                               tPool);
}

// Warnings about the layout that the output cannot show: differing rates,
// a recording that ends inside a record, the recorder's clock jumps.
void vWarnAboutLayout(const Recording& r, const std::vector<PlannedChannel>& atPlan,
                      const std::string& sPath, const RecordTimeline& tTimeline, bool bRecordTime) {
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
    const PlannedChannel* pLayout = pLayoutChannel(r, atPlan);
    if (pLayout == nullptr) return;
    const RecordGeometry g = tGeometryOf(r, *pLayout);
    if (g.nRecordCount > 0 && g.nTrailingBytes > 0) {
        vPrintWarning(sPath + ": the recording ends inside record " +
                      std::to_string(g.nRecordCount + 1) + " (" + std::to_string(g.nTrailingBytes) +
                      " of its " + std::to_string(g.nRecordSize) +
                      " bytes are there): it may have been cut short, or copied while it was "
                      "still being written; the " +
                      std::to_string(g.nRecordCount) + " whole records before it are converted");
    }
    for (const std::string& s : asTimingWarnings(tTimeline, bRecordTime))
        vPrintWarning(sPath + ": " + s);
}

// True when sOutput names the input file itself (by another path, a link or
// a symbolic link); checked before the output is opened, so nothing is touched.
bool bSameFile(const CInputFile& tInput, const std::string& sOutput) {
    struct stat st;
    return stat(sOutput.c_str(), &st) == 0 && st.st_dev == tInput.nDevice() &&
           st.st_ino == tInput.nInode();
}

// True when sOutput names the console: the file on standard output or
// standard error (a terminal, a pipe, a file the console text goes to),
// where records would mix with text. The null device may be both.
bool bIsConsole(const std::string& sOutput) {
    struct stat st;
    if (stat(sOutput.c_str(), &st) != 0) return false;
    if (S_ISCHR(st.st_mode) && st.st_rdev == makedev(1, 3)) return false;
    for (int nFile : {1, 2}) {
        struct stat stConsole;
        if (fstat(nFile, &stConsole) == 0 && stConsole.st_dev == st.st_dev &&
            stConsole.st_ino == st.st_ino)
            return true;
    }
    return false;
}

// The reason a readable input is refused with, sReason, led by "not a VORN
// recording" when the file is none at all: a known file type then says all
// there is to say, any other file keeps sReason as the detail. A damaged
// recording, and an input that could not be read, keep sReason alone.
std::string sInputRefusal(const Recording& r, const std::string& sReason) {
    if (r.tInput.pBytes() == nullptr) return sReason;
    const std::string sKind =
        sForeignFileKind(r.tInput.pBytes(), static_cast<size_t>(r.tInput.nSize()));
    if (sKind.empty()) return sReason;
    std::string s = std::string("not a VORN recording (").append(sKind).append(")");
    if (!bIsKnownFileType(sKind)) s.append("; ").append(sReason);
    return s;
}

// The refusals of a loaded recording and its output name, before anything
// is written; returns the exit status (0 when the run may go on).
int nRefusal(const std::string& sIn, const std::string& sOut, const Recording& r,
             const ChannelPlan& tPlan, const std::vector<RunRestart>& atRestarts) {
    if (bSameFile(r.tInput, sOut)) {
        vPrintError(sOut + ": the output is the input recording itself; choose another name");
        return nExitCommandLine;
    }
    if (bIsConsole(sOut)) {
        vPrintError(sOut +
                    ": the output is the console (standard output or error) itself; records "
                    "would mix with the program's text; choose another name");
        return nExitCommandLine;
    }
    if (bRunsPastLastSecond(r, tPlan.atChannels, atRestarts)) {
        vPrintError(sIn +
                    ": the recording runs past 9999-12-31 23:59:59, the last time a record "
                    "can carry");
        return nExitBadInput;
    }
    if (const std::string s = sNothingToConvert(r, tPlan); !s.empty()) {
        vPrintError(sIn + ": " + sInputRefusal(r, s));
        return nExitBadInput;
    }
    return nExitSuccess;
}

// "FROM to TO" of a span in microseconds.
std::string sSpanText(int64_t nFromMicros, int64_t nToMicros) {
    return sFormatUtc(static_cast<double>(nFromMicros) / 1e6) + " to " +
           sFormatUtc(static_cast<double>(nToMicros) / 1e6);
}

// What this run writes into an output: a span per stream.
using StreamWrites = std::vector<std::pair<StreamCodes, HeldSpan>>;

// Warns about what the output f already holds: that it cannot be locked,
// that it ends in a record cut short, and once per stream that this run
// writes a span it already holds (a recording converted into the file
// before, most likely); with bOrder also that the run's records start
// before the end of what it holds, where readers searching by time stop.
// The records go in all the same.
void vWarnAboutHeldRecords(const COutputFile& f, const StreamWrites& atWrites, bool bOrder,
                           CWorkerPool& tPool) {
    const std::string& sOut = f.sPath();
    if (!f.sLockProblem().empty()) {
        vPrintWarning(sOut + ": cannot be locked (" + f.sLockProblem() +
                      "); the run goes on unlocked, so runs writing this file at the same time "
                      "may mix their records");
    }
    if (f.nStrayBytes() > 0) {
        vPrintWarning(sOut + ": ends in " + std::to_string(f.nStrayBytes()) +
                      " bytes that are not a whole record (a record cut short, by a crash "
                      "perhaps); the new records follow them");
    }
    if (f.nOldLength() < nSeedRecordLength) return;
    const std::map<StreamCodes, std::vector<HeldSpan>> mapHeld =
        tReadHeldSpans(sOut, f.nOldLength(), tPool);
    int64_t nHeldEnd = INT64_MIN;
    for (const auto& [tCodes, atSpans] : mapHeld)
        for (const HeldSpan& h : atSpans) nHeldEnd = std::max(nHeldEnd, h.nToMicros);
    for (const auto& [tCodes, tWrite] : atWrites) {
        const auto it = mapHeld.find(tCodes);
        if (it == mapHeld.end()) continue;
        for (const HeldSpan& h : it->second) {
            if (h.nFromMicros >= tWrite.nToMicros || tWrite.nFromMicros >= h.nToMicros) continue;
            vPrintWarning(sOut + ": stream " + sStreamName(tCodes) + " already holds " +
                          sSpanText(h.nFromMicros, h.nToMicros) + ", and this run writes " +
                          sSpanText(tWrite.nFromMicros, tWrite.nToMicros) +
                          " again: the recording may have been converted into this file before; "
                          "its records are appended all the same");
            break;
        }
    }
    if (bOrder && !atWrites.empty() && atWrites.front().second.nFromMicros < nHeldEnd) {
        vPrintWarning(sOut + ": this run appends records from " +
                      sFormatUtc(static_cast<double>(atWrites.front().second.nFromMicros) / 1e6) +
                      ", before the end of what the file holds (" +
                      sFormatUtc(static_cast<double>(nHeldEnd) / 1e6) +
                      "); readers that search day files by time may stop before them");
    }
}

// What the single output gets from this run: each planned channel's
// stream, from the recording's start to the end of its samples.
StreamWrites atOutputWrites(const Recording& r, const std::vector<PlannedChannel>& atPlan,
                            const std::vector<ChannelCodes>& atCodes) {
    StreamWrites at;
    for (size_t i = 0; i < atPlan.size(); ++i) {
        const int32_t nRate = r.aGroups[atPlan[i].nChannel].nFreq;
        const int64_t nFrom = nMicrosOf(r.tFileStart);
        const int64_t nTo =
            nFrom + nChannelSampleCount(r.nDataSize, tGeometryOf(r, atPlan[i])) * 1000000 / nRate;
        at.push_back({atCodes[i].tCodes, {nFrom, nTo}});
    }
    return at;
}

// The run's output once open, and the warnings about what it held before.
struct OpenedOutput {
    std::unique_ptr<CRunOutput> pOutput;
    std::function<void()> fnWarn;
};

// Opens the output file sOut, to which the run writes atWrites, into t;
// returns the exit status (0 when open).
int nOpenOutput(const std::string& sOut, StreamWrites atWrites, CWorkerPool& tPool,
                OpenedOutput& t) {
    auto pSink = std::make_unique<COutputSink>();
    std::string sError;
    switch (pSink->eOpen(sOut, sError)) {
        case OutputOpening::Opened:
            t.fnWarn = [&tSink = *pSink, atWrites = std::move(atWrites), &tPool] {
                vWarnAboutHeldRecords(tSink.tFile(), atWrites, false, tPool);
            };
            t.pOutput = std::move(pSink);
            return nExitSuccess;
        case OutputOpening::NotMiniSeed:
            vPrintError(sOut + ": " + sError +
                        "; records are appended only to MiniSEED files; choose another name");
            return nExitCommandLine;
        case OutputOpening::Failed:
            break;
    }
    vPrintError(sOut + ": cannot open for writing: " + sError);
    return nExitOutputFailed;
}

// Opens the day files atFiles of the archive sRoot into t; returns the exit
// status (0 when open). A failure leaves the archive as it was.
int nOpenArchive(const std::string& sRoot, std::vector<DayFile> atFiles, CWorkerPool& tPool,
                 OpenedOutput& t) {
    auto pArchive = std::make_unique<CArchiveSink>(sRoot);
    std::string sError;
    switch (pArchive->eOpen(std::move(atFiles), sError)) {
        case OutputOpening::Opened:
            t.fnWarn = [&tArchive = *pArchive, &tPool] {
                for (size_t i = 0; i < tArchive.atFiles().size(); ++i) {
                    const DayFile& f = tArchive.atFiles()[i];
                    vWarnAboutHeldRecords(tArchive.tFile(i), {{f.tCodes, f.tWrites}}, true, tPool);
                }
            };
            t.pOutput = std::move(pArchive);
            return nExitSuccess;
        case OutputOpening::NotMiniSeed:
            vPrintError(sRoot + ": " + sError +
                        "; records are appended only to MiniSEED files; the archive is left as "
                        "it was");
            return nExitCommandLine;
        case OutputOpening::Failed:
            break;
    }
    vPrintError(sRoot + ": cannot open for writing: " + sError + "; the archive is left as it was");
    return nExitOutputFailed;
}

// The warnings of a run that goes ahead: the command line's and the codes',
// the output's (fnWarnAboutOutput), then the recording's.
void vWarnBeforeConverting(const CommandLine& tArgs, const std::string& sIn, const Recording& r,
                           const ChannelPlan& tPlan, const std::vector<ChannelCodes>& atCodes,
                           const RecordTimeline& tTimeline,
                           const std::function<void()>& fnWarnAboutOutput) {
    for (const std::string& s : tArgs.asSettingWarnings) vPrintWarning(s);
    if (tArgs.bGain) {
        vPrintWarning("the gain option has no effect: samples are written unscaled");
    }
    fnWarnAboutOutput();
    for (const std::string& s : asCodeWarnings(tArgs, atCodes)) vPrintWarning(sIn + ": " + s);
    for (const std::string& s : tPlan.asWarnings) vPrintWarning(sIn + ": " + s);
    vWarnAboutLayout(r, tPlan.atChannels, sIn, tTimeline, tArgs.bRecordTime);
}

// Warns, once per name, that records carry sName cut to the nWidth
// bytes of its header field (a cut inside a character shows as its bytes).
void vWarnAboutCutName(const std::string& sName, size_t nWidth, const char* szKind,
                       const std::string& sPath, std::set<std::string>& setWarned) {
    if (sName.size() <= nWidth || !setWarned.insert(szKind + sName).second) return;
    vPrintWarning(sPath + ": " + szKind + " name \"" + sName + "\" is longer than " +
                  std::to_string(nWidth) + " bytes; records carry \"" + sName.substr(0, nWidth) +
                  "\"");
}

// Data area below which a run uses one thread unless the thread count was
// chosen: two million samples encode in a few milliseconds, less than
// starting workers and touching their buffers costs.
constexpr int64_t nParallelFromBytes = int64_t{4} << 20;

// Threads that encode the recording r.
int nEncodingThreads(const CommandLine& tArgs, const Recording& r) {
    if (!tArgs.bThreadsChosen && r.nDataSize < nParallelFromBytes) return 1;
    return tArgs.nThreads;
}

// The records from which the samples are dated by the recorder's clock: one
// at every jump of it.
std::vector<RunRestart> atRestartsAtJumps(const RecordTimeline& tTimeline) {
    std::vector<RunRestart> at;
    for (const ClockJump& t : tTimeline.atJumps) at.push_back({t.nRecord, t.tFound});
    return at;
}

// Planned channel p of r as the extraction reads it, under the names of
// tCodes (which must outlive the result); its run restarts at atRestarts.
ChannelSource tChannelSource(const Recording& r, const PlannedChannel& p,
                             const ChannelCodes& tCodes,
                             const std::vector<RunRestart>& atRestarts) {
    ChannelSource t;
    t.pData = r.pData;
    t.nDataSize = r.nDataSize;
    t.tGeometry = tGeometryOf(r, p);
    t.szStation = tCodes.sStation.c_str();
    t.szChannel = tCodes.sChannel.c_str();
    t.dSampleRate = static_cast<double>(r.aGroups[p.nChannel].nFreq);
    t.tStart = r.tFileStart;
    t.atRestarts = atRestarts;
    return t;
}

// Converts every planned channel into the open output, each with a writer
// of its own carrying its codes atCodes and the location and network codes
// of tArgs, kept to days with -sds, its run of samples restarting at
// atRestarts; false with sError on the first failed write, and false when
// the input shrank under the run. Names cut to their fields are warned
// about for channels that wrote records.
bool bConvertChannels(const Recording& r, const std::vector<PlannedChannel>& atPlan,
                      const std::vector<ChannelCodes>& atCodes,
                      const std::vector<RunRestart>& atRestarts, CRunOutput& tOutput,
                      CWorkerPool& tPool, const CommandLine& tArgs, const std::string& sPath,
                      std::string& sError) {
    std::set<std::string> setWarned;
    // One queue serves every channel's writer in turn.
    CSegmentQueue tQueue(tPool);
    for (size_t i = 0; i < atPlan.size(); ++i) {
        const ChannelSource tSource = tChannelSource(r, atPlan[i], atCodes[i], atRestarts);
        {
            CSeedWriter tWriter(tOutput, tQueue);
            tWriter.vSetNetwork(tArgs.sNetwork.c_str());
            tWriter.vSetLocation(tArgs.sLocation.c_str());
            if (!tArgs.sArchiveDir.empty()) tWriter.vKeepToDays();
            vExtractChannel(tSource, tWriter);
        }
        if (bInputShrank() || !tOutput.bFlush(sError)) return false;
        if (nChannelSampleCount(r.nDataSize, tSource.tGeometry) == 0) continue;
        vWarnAboutCutName(atCodes[i].sStation, sizeof(SeedFixedHeader::Station_identifier_code),
                          "station", sPath, setWarned);
        vWarnAboutCutName(atCodes[i].sChannel, sizeof(SeedFixedHeader::Channel_identifier),
                          "channel", sPath, setWarned);
    }
    return true;
}

// Each planned channel as the records of this run must carry it.
std::vector<VerifiedChannel> atVerifiedChannels(const Recording& r,
                                                const std::vector<PlannedChannel>& atPlan,
                                                const std::vector<ChannelCodes>& atCodes,
                                                const std::vector<RunRestart>& atRestarts,
                                                bool bDays) {
    std::vector<VerifiedChannel> at;
    for (size_t i = 0; i < atPlan.size(); ++i) {
        const PlannedChannel& p = atPlan[i];
        VerifiedChannel& t = at.emplace_back();
        const RecordGeometry g = tGeometryOf(r, p);
        t.tCodes = atCodes[i].tCodes;
        t.bNumberedByDay = bDays;
        t.nRate = r.aGroups[p.nChannel].nFreq;
        t.bMicroseconds = bRateNeedsMicroseconds(t.nRate);
        t.nSamples = nChannelSampleCount(r.nDataSize, g);
        t.atRuns.push_back({0, nMicrosOf(r.tFileStart)});
        for (const RunRestart& tRestart : atRestarts)
            t.atRuns.push_back(
                {tRestart.nRecord * nSamplesPerBlock(g), nMicrosOf(tRestart.tStart)});
        t.fnSamples = [pData = r.pData, g](int64_t nFirst, int nCount, int32_t* pnOut) {
            vFillSamples(pData, g, nFirst, nCount, pnOut);
        };
    }
    return at;
}

// -verify: reads back the records this run appended to tOutput (sOut) and
// compares them with atExpected, the recording's channels; returns 0 when
// every record is right, else the exit status after putting the output
// back and saying why.
int nVerify(const std::string& sIn, const std::string& sOut,
            std::vector<VerifiedChannel> atExpected, CRunOutput& tOutput) {
    CRecordVerifier tVerifier(std::move(atExpected));
    std::string sError;
    const bool bRead = tOutput.bReadBack(
        [&tVerifier](const unsigned char* p, size_t n) { return tVerifier.bCheck(p, n); }, sError);
    if (bRead && tVerifier.bComplete()) return nExitSuccess;
    tOutput.vRestore();
    if (!bRead) {
        vPrintError(sOut + ": " + sError + "; the " + tOutput.szKind() + " " + tOutput.sFate());
        return nExitOutputFailed;
    }
    vPrintError(sOut + ": " + tVerifier.sProblem() + ", read back against " + sIn + "; the " +
                tOutput.szKind() + " " + tOutput.sFate());
    return nExitVerifyFailed;
}

// Keeps the run's signal handling for the length of the run.
struct RunSignals {
    RunSignals() { vInstallRunSignals(); }
    ~RunSignals() { vUninstallRunSignals(); }
};

// The error of an input that shrank while it was read.
constexpr const char* szShrank = ": the recording shrank while it was read";

}  // namespace

int nRunConversion(const CommandLine& tArgs, const std::string& sIn, const std::string& sOut) {
    // A write past the file size limit must fail with EFBIG, not kill the run.
    std::signal(SIGXFSZ, SIG_IGN);
    const RunSignals tSignals;

    // Refusals first, so that a refused run prints its one error line only.
    Recording r;
    std::string sError;
    if (!bLoadRecording(sIn, r, sError)) {
        vPrintError(sIn + (bInputShrank() ? szShrank : ": " + sInputRefusal(r, sError)));
        return nExitBadInput;
    }
    const ChannelPlan tPlan = tPlanChannels(r);
    // The run's threads: started here, joined when the run ends. They read
    // the record headers' times first, which -recordtime dates runs by.
    CWorkerPool tPool(nEncodingThreads(tArgs, r));
    const RecordTimeline tTimeline = tTimelineOf(r, tPlan.atChannels, tPool);
    const std::vector<RunRestart> atRestarts =
        tArgs.bRecordTime ? atRestartsAtJumps(tTimeline) : std::vector<RunRestart>{};
    if (bInputShrank()) {
        vPrintError(sIn + szShrank);
        return nExitBadInput;
    }
    if (const int nStatus = nRefusal(sIn, sOut, r, tPlan, atRestarts); nStatus != nExitSuccess)
        return nStatus;
    if (const int nStatus = nCodeRefusal(tArgs, sIn, r, tPlan.atChannels); nStatus != nExitSuccess)
        return nStatus;
    const std::vector<ChannelCodes> atCodes = atChannelCodes(tArgs, r, tPlan.atChannels);
    const bool bArchive = !tArgs.sArchiveDir.empty();
    std::vector<VerifiedChannel> atExpected =
        atVerifiedChannels(r, tPlan.atChannels, atCodes, atRestarts, bArchive);

    // The output opens, and says what it holds already, once the input is known good.
    OpenedOutput tOpened;
    const int nOpened =
        bArchive ? nOpenArchive(sOut, atDayFiles(sOut, atExpected), tPool, tOpened)
                 : nOpenOutput(sOut, atOutputWrites(r, tPlan.atChannels, atCodes), tPool, tOpened);
    if (nOpened != nExitSuccess) return nOpened;
    CRunOutput& tOutput = *tOpened.pOutput;

    vWarnBeforeConverting(tArgs, sIn, r, tPlan, atCodes, tTimeline, tOpened.fnWarn);
    const bool bConverted = bConvertChannels(r, tPlan.atChannels, atCodes, atRestarts, tOutput,
                                             tPool, tArgs, sIn, sError);
    if (bConverted && tArgs.bVerify && !bInputShrank()) {
        const int nStatus = nVerify(sIn, sOut, std::move(atExpected), tOutput);
        if (nStatus != nExitSuccess) return nStatus;
    }
    if (!bConverted || !tOutput.bClose(sError)) {
        tOutput.vRestore();
        if (bInputShrank()) {
            vPrintError(sIn + szShrank + "; the output " + sOut + " " + tOutput.sFate());
            return nExitBadInput;
        }
        vPrintError(sOut + ": cannot write: " + sError + "; the " + tOutput.szKind() + " " +
                    tOutput.sFate());
        return nExitOutputFailed;
    }
    if (tArgs.bVerify) {
        vPrintReport(sOut + ": " + std::to_string(tOutput.nRecordsAppended()) +
                     " records verified against " + sIn);
    }
    return nExitSuccess;
}
