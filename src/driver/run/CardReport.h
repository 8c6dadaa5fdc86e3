// The words of a card of recordings for people: one line per recording as
// each ends, the verdict at the end, and, ready before and after each
// recording, the verdict an interruption prints; and what a failure or
// interruption says of an output that earlier recordings wrote into.
// Recording lines are printed when several recordings are given, or with
// -verify or -sds; the verdict when several recordings are given, or with
// -verify. A lone run without either prints nothing new.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "driver/cli/CommandLine.h"
#include "driver/run/RecordingReport.h"

class CCardReport {
public:
    // The card of the recordings asInOrder, in the order they are converted,
    // each into its output (sOutputNameOf, or the -sds folder). From now on
    // a signal prints its verdict (when one is printed): none converted yet.
    CCardReport(const CommandLine& tArgs, const std::vector<std::string>& asInOrder);

    size_t nRecordings() const { return m_at.size(); }
    const RecordingSummary& tRecording(size_t k) const { return m_at[k]; }
    // Where the run of recording k writes what became of it.
    RecordingSummary& tSummary(size_t k) { return m_at[k]; }

    // Before recording k's run: the verdict of an interruption with k under
    // way, and the note on what earlier recordings wrote into its output.
    void vBegin(size_t k);
    // Once recording k's summary is whole, just before its output is closed.
    void vClosing(size_t k);
    // After recording k's run: its line, and the verdict of an interruption
    // between recordings.
    void vEnd(size_t k);
    // The verdict, when one is printed; a signal from now on prints none.
    void vFinish();
    // The status of the first recording that failed, else 0.
    int nStatus() const;

private:
    // Prepares the verdict an interruption prints while recording k is
    // under way (k == m_at.size(): none is).
    void vPrepareInterruption(size_t k);

    std::vector<RecordingSummary> m_at;
    bool m_bVerify = false;
    bool m_bLines = false;
    bool m_bVerdict = false;
};
