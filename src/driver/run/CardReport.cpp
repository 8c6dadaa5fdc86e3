// A card's report. The interruption's verdict comes in three forms, as the
// recording under way may be put back, not started yet, or kept; each is
// the card's summaries with that recording's fate set so.
#include "driver/run/CardReport.h"

#include <cstdio>

#include "driver/process/Diagnostics.h"
#include "driver/process/InterruptVerdict.h"
#include "driver/process/Rollback.h"

CCardReport::CCardReport(const CommandLine& tArgs, const std::vector<std::string>& asInOrder) {
    const bool bArchive = !tArgs.sArchiveDir.empty();
    for (const std::string& sIn : asInOrder) {
        RecordingSummary t;
        t.sName = sIn;
        t.bArchive = bArchive;
        t.sOutput = bArchive ? tArgs.sArchiveDir : sOutputNameOf(tArgs, sIn);
        m_at.push_back(t);
    }
    m_bVerify = tArgs.bVerify;
    m_bVerdict = m_at.size() > 1 || tArgs.bVerify;
    m_bLines = m_bVerdict || bArchive;
    vPrepareInterruption(m_at.size());
}

void CCardReport::vPrepareInterruption(size_t k) {
    if (!m_bVerdict) return;
    std::vector<RecordingSummary> at = m_at;
    if (k >= at.size()) {
        const std::string s = sInterruptedVerdict(at);
        vPrepareInterruptVerdict(s, s, s);
        return;
    }
    const RecordingSummary tKept = at[k];
    at[k].eFate = RecordingFate::PutBack;
    const std::string sPutBack = sInterruptedVerdict(at);
    at[k].eFate = RecordingFate::NotStarted;
    const std::string sNotStarted = sInterruptedVerdict(at);
    at[k] = tKept;
    vPrepareInterruptVerdict(sPutBack, sNotStarted, sInterruptedVerdict(at));
}

void CCardReport::vBegin(size_t k) {
    vPrepareInterruption(k);
    size_t nBefore = 0;
    for (size_t j = 0; j < k; ++j)
        nBefore += m_at[j].eFate == RecordingFate::Converted && m_at[j].sOutput == m_at[k].sOutput;
    vSetFateNote(nBefore == 0
                     ? ""
                     : "; what " +
                           (nBefore == 1 ? std::string("the recording")
                                         : "the " + std::to_string(nBefore) + " recordings") +
                           " converted into it before " + m_at[k].sName + " wrote stays");
}

void CCardReport::vClosing(size_t k) {
    vPrepareInterruption(k);
}

void CCardReport::vEnd(size_t k) {
    vSetFateNote("");
    vPrepareInterruption(m_at.size());
    if (!m_bLines) return;
    // The console text of the recording first, where both reach one screen.
    std::fflush(stdout);
    vPrintReport(sRecordingLine(m_at[k]));
}

void CCardReport::vFinish() {
    if (m_bVerdict) {
        std::fflush(stdout);
        vPrintReport("verdict: " + sVerdict(m_at, m_bVerify));
    }
    vDropInterruptVerdict();
}

int CCardReport::nStatus() const {
    for (const RecordingSummary& t : m_at)
        if (t.eFate == RecordingFate::Failed) return t.nStatus;
    return 0;
}
