// What became of each recording of a card, in words for people: the run of
// a recording fills a plain RecordingSummary, and the card prints one line
// per recording from it and, at the end, the verdict that tells whether
// every recording was converted and read back, or which were not.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "driver/channel/ConvertedChannel.h"

enum class RecordingFate {
    NotStarted,  // its run has not begun, or was stopped before it wrote anything
    Converted,   // every record written and synced (and with -verify read back)
    Failed,      // refused or failed; its output is as it was
    PutBack,     // interrupted while it wrote; its output is put back
};

struct RecordingSummary {
    std::string sName;         // the recording, as given
    std::string sOutput;       // its output file; with -sds the archive folder
    bool bArchive = false;     // -sds: the records went into day files
    size_t nDayFiles = 0;      // with -sds, the day files written into
    size_t nChannels = 0;      // channels converted
    TimeSpan tSpan{};          // from its first sample to the end of its last
    int64_t nRecords = 0;      // records written
    bool bVerified = false;    // read back after a sync and found equal
    bool bCutShort = false;    // it ends inside a record, which is not converted
    size_t nClockJumps = 0;    // jumps of the recorder's clock
    size_t nHeldAgain = 0;     // streams that held part of its span already (one output)
    size_t nStreams = 0;       // streams with samples
    int64_t nSamples = 0;      // samples of all its channels
    int64_t nSamplesHeld = 0;  // of them, those the archive held already (-sds)
    RecordingFate eFate = RecordingFate::NotStarted;
    int nStatus = 0;       // its exit status
    std::string sFailure;  // why it failed: its error line
};

// The recording's line, after "tessal: ": "rec1.vrx: converted into
// out/rec1.mseed: 3 channels, 2024-03-01 10:00:00 to 10:10:00 UTC, 300
// records, verified", followed by what a person must know (cut short,
// clock jumps, spans the output held already), or "rec8.vrx: failed
// (status 1): " and the first clause of its error line.
std::string sRecordingLine(const RecordingSummary& t);

// The card's verdict, after "tessal: verdict: ": how many recordings were
// converted, verified, cut short, with clock jumps, failed and not started,
// then one plain sentence: every recording converted, synced and (bVerify)
// read back and found equal, or which are not.
std::string sVerdict(const std::vector<RecordingSummary>& at, bool bVerify);

// The verdict of a card interrupted by a signal, after "tessal: verdict:
// interrupted by SIGNAL": the counts (the recording put back among them),
// then which recordings stay converted, which one is put back, which failed
// and which never started.
std::string sInterruptedVerdict(const std::vector<RecordingSummary>& at);
