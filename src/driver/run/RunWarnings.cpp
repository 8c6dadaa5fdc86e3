// Run warnings: each one line on standard error, naming the recording or
// the output file it is about.
#include "driver/run/RunWarnings.h"

#include <algorithm>

#include "driver/check/HeldSpans.h"
#include "driver/input/RecordingChecks.h"
#include "driver/process/Diagnostics.h"
#include "timeconv/UtcText.h"

namespace {

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

// Warnings about codes from the recording that are not capital letters and
// digits, once per code, each naming the option that replaces it.
void vWarnAboutCodes(const CommandLine& tArgs, const std::string& sIn,
                     const std::vector<ChannelCodes>& atCodes) {
    for (const RecordingCode& t : atRecordingCodes(tArgs, atCodes)) {
        if (bCapitalCode(t.sCode, 1, t.bStation ? tStationField.nWidth : tChannelField.nWidth))
            continue;
        vPrintWarning(sIn + ": " + (t.bStation ? "station" : "channel") + " code \"" + t.sCode +
                      "\" is not capital letters and digits, as archives expect; the records "
                      "carry it as it is (" +
                      szReplacedBy(t.bStation) + " replaces it)");
    }
}

// Warns, once per name, that records carry sName cut to the nWidth bytes
// of its header field (a cut inside a character shows as its bytes).
void vWarnAboutCutName(const std::string& sName, size_t nWidth, const char* szKind,
                       const std::string& sPath, std::set<std::string>& setWarned) {
    if (sName.size() <= nWidth || !setWarned.insert(szKind + sName).second) return;
    vPrintWarning(sPath + ": " + szKind + " name \"" + sName + "\" is longer than " +
                  std::to_string(nWidth) + " bytes; records carry \"" + sName.substr(0, nWidth) +
                  "\"");
}

}  // namespace

StreamWrites atStreamWrites(const std::vector<ConvertedChannel>& atChannels) {
    StreamWrites at;
    for (const ConvertedChannel& c : atChannels)
        if (c.nSamples > 0) at.push_back({c.tCodes, tWrittenSpan(c)});
    return at;
}

void vWarnAboutLock(const COutputFile& f) {
    if (f.sLockProblem().empty()) return;
    vPrintWarning(f.sPath() + ": cannot be locked (" + f.sLockProblem() +
                  "); the run goes on unlocked, so runs writing this file at the same time "
                  "may mix their records");
}

size_t nWarnAboutHeldRecords(const COutputFile& f, const StreamWrites& atWrites,
                             CWorkerPool& tPool) {
    const std::string& sOut = f.sPath();
    vWarnAboutLock(f);
    if (f.nStrayBytes() > 0) {
        vPrintWarning(sOut + ": ends in " + std::to_string(f.nStrayBytes()) +
                      " bytes that are not a whole record (a record cut short, by a crash "
                      "perhaps); the new records follow them");
    }
    if (f.nOldLength() < nSeedRecordLength) return 0;
    size_t nHeldAgain = 0;
    const HeldSpans mapHeld = tReadHeldSpans(sOut, f.nOldLength(), tPool);
    for (const auto& [tCodes, tWrite] : atWrites) {
        const auto it = mapHeld.find(tCodes);
        if (it == mapHeld.end()) continue;
        for (const TimeSpan& h : it->second) {
            if (h.nFromMicros >= tWrite.nToMicros || tWrite.nFromMicros >= h.nToMicros) continue;
            vPrintWarning(sOut + ": stream " + sStreamName(tCodes) + " already holds " +
                          sSpanText(h.nFromMicros, h.nToMicros) + ", and this run writes " +
                          sSpanText(tWrite.nFromMicros, tWrite.nToMicros) +
                          " again: the recording may have been converted into this file before; "
                          "its records are appended all the same");
            ++nHeldAgain;
            break;
        }
    }
    return nHeldAgain;
}

size_t nWarnBeforeConverting(const CommandLine& tArgs, const std::string& sIn, const Recording& r,
                             const ChannelPlan& tPlan, const std::vector<ChannelCodes>& atCodes,
                             const RecordTimeline& tTimeline,
                             const std::function<size_t()>& fnWarnAboutOutput) {
    for (const std::string& s : tArgs.asSettingWarnings) vPrintWarning(s);
    if (tArgs.bGain) {
        vPrintWarning("the gain option has no effect: samples are written unscaled");
    }
    const size_t nHeldAgain = fnWarnAboutOutput();
    vWarnAboutCodes(tArgs, sIn, atCodes);
    for (const std::string& s : tPlan.asWarnings) vPrintWarning(sIn + ": " + s);
    vWarnAboutLayout(r, tPlan.atChannels, sIn, tTimeline, tArgs.bRecordTime);
    return nHeldAgain;
}

void vWarnAboutCutNames(const ChannelCodes& tCodes, const std::string& sIn,
                        std::set<std::string>& setWarned) {
    vWarnAboutCutName(tCodes.sStation, tStationField.nWidth, "station", sIn, setWarned);
    vWarnAboutCutName(tCodes.sChannel, tChannelField.nWidth, "channel", sIn, setWarned);
}
