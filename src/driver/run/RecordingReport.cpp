// The words of the recording lines and the verdict. Counts are written in
// digits and every name as given; the line printer escapes what is not
// printable.
#include "driver/run/RecordingReport.h"

#include <algorithm>

#include "timeconv/UtcText.h"

namespace {

// "1 channel", "3 channels".
std::string sCount(size_t n, const char* szOne, const char* szMany) {
    return std::to_string(n) + " " + (n == 1 ? szOne : szMany);
}

// "2024-03-01 10:00:00 to 10:10:00 UTC", the date of the end written only
// when it differs.
std::string sSpan(const TimeSpan& t) {
    const auto nFloor = [](int64_t n) { return n >= 0 ? n / 1000000 : -((999999 - n) / 1000000); };
    const std::string sFrom = sUtcText(nFloor(t.nFromMicros));
    std::string sTo = sUtcText(nFloor(t.nToMicros));
    if (sTo.compare(0, 11, sFrom, 0, 11) == 0) sTo.erase(0, 11);
    return sFrom + " to " + sTo + " UTC";
}

// The reason of an error line, without the recording's name before it and
// what follows its first "; " (the line above says it whole).
std::string sReason(const RecordingSummary& t) {
    const std::string sLead = t.sName + ": ";
    const size_t nFrom = t.sFailure.compare(0, sLead.size(), sLead) == 0 ? sLead.size() : 0;
    return t.sFailure.substr(nFrom, t.sFailure.find("; ", nFrom) - nFrom);
}

// n with a comma between each group of three digits.
std::string sGrouped(int64_t n) {
    const std::string sDigits = std::to_string(n);
    std::string s;
    for (size_t k = 0; k < sDigits.size(); ++k) {
        if (k > 0 && (sDigits.size() - k) % 3 == 0 && sDigits[k - 1] != '-') s += ',';
        s += sDigits[k];
    }
    return s;
}

// What the archive held of the recording already: "; all 4,320,000 samples
// of 3 streams were already in the archive; nothing written", or how many
// were there and how many are written; nothing when none was there.
std::string sHeld(const RecordingSummary& t) {
    if (t.nSamplesHeld == 0) return "";
    const std::string sOf = " samples of " + sCount(t.nStreams, "stream", "streams");
    if (t.nSamplesHeld >= t.nSamples)
        return "; all " + sGrouped(t.nSamples) + sOf +
               " were already in the archive; nothing written";
    return "; " + sGrouped(t.nSamplesHeld) + " of " + sGrouped(t.nSamples) + sOf +
           " were already in the archive; the other " + sGrouped(t.nSamples - t.nSamplesHeld) +
           " are written";
}

// What a person must know of a converted recording: "; cut short ..." and
// the like, or nothing.
std::string sConcerns(const RecordingSummary& t) {
    std::string s;
    if (t.bCutShort)
        s += "; cut short: it ends inside a record, which is not converted (see the warning)";
    if (t.nClockJumps > 0)
        s += "; the recorder's clock jumps " +
             (t.nClockJumps == 1 ? std::string("once") : std::to_string(t.nClockJumps) + " times") +
             " (see the warnings)";
    if (t.nHeldAgain > 0)
        s += "; the output held part of its span already, in " +
             sCount(t.nHeldAgain, "stream", "streams") + " (see the warnings)";
    return s + sHeld(t);
}

// "a.vrx, b.vrx": the names of the recordings for which bWhich holds.
template <typename Which>
std::string sNames(const std::vector<RecordingSummary>& at, Which bWhich) {
    std::string s;
    for (const RecordingSummary& t : at)
        if (bWhich(t)) s += (s.empty() ? "" : ", ") + t.sName;
    return s;
}

template <typename Which>
size_t nCountOf(const std::vector<RecordingSummary>& at, Which bWhich) {
    return static_cast<size_t>(std::count_if(at.begin(), at.end(), bWhich));
}

bool bConverted(const RecordingSummary& t) {
    return t.eFate == RecordingFate::Converted;
}

// "8 recordings: 7 converted, 7 verified, 1 cut short, 1 with clock jumps,
// 1 failed[, 1 put back], 0 not started".
std::string sCounts(const std::vector<RecordingSummary>& at, bool bPutBack) {
    const auto nOf = [&at](RecordingFate e) {
        return nCountOf(at, [e](const RecordingSummary& t) { return t.eFate == e; });
    };
    std::string s =
        sCount(at.size(), "recording", "recordings") + ": " +
        std::to_string(nOf(RecordingFate::Converted)) + " converted, " +
        std::to_string(nCountOf(at, [](const auto& t) { return t.bVerified; })) + " verified, " +
        std::to_string(nCountOf(at, [](const auto& t) { return bConverted(t) && t.bCutShort; })) +
        " cut short, " +
        std::to_string(
            nCountOf(at, [](const auto& t) { return bConverted(t) && t.nClockJumps > 0; })) +
        " with clock jumps, " + std::to_string(nOf(RecordingFate::Failed)) + " failed, ";
    if (bPutBack) s += std::to_string(nOf(RecordingFate::PutBack)) + " put back, ";
    return s + std::to_string(nOf(RecordingFate::NotStarted)) + " not started";
}

// What is wrong with recording t, for the verdict; empty when nothing is.
std::string sTrouble(const RecordingSummary& t) {
    switch (t.eFate) {
        case RecordingFate::Failed:
            return t.sName + " failed (status " + std::to_string(t.nStatus) + ")";
        case RecordingFate::NotStarted:
            return t.sName + " never started";
        case RecordingFate::PutBack:
            return t.sName + " is put back";
        case RecordingFate::Converted:
            break;
    }
    std::string s;
    if (t.bCutShort) s = " is cut short (its last record is not converted)";
    if (t.nClockJumps > 0)
        s += std::string(s.empty() ? "" : " and") +
             " has clock jumps (its times after them may be off)";
    return s.empty() ? s : t.sName + s;
}

}  // namespace

std::string sRecordingLine(const RecordingSummary& t) {
    switch (t.eFate) {
        case RecordingFate::Failed:
            return t.sName + ": failed (status " + std::to_string(t.nStatus) + "): " + sReason(t);
        case RecordingFate::NotStarted:
            return t.sName + ": not started";
        case RecordingFate::PutBack:
            return t.sName + ": interrupted; its output is put back";
        case RecordingFate::Converted:
            break;
    }
    const std::string sInto =
        t.bArchive ? sCount(t.nDayFiles, "day file", "day files") + " of " + t.sOutput : t.sOutput;
    return t.sName + ": converted into " + sInto + ": " +
           sCount(t.nChannels, "channel", "channels") + ", " + sSpan(t.tSpan) + ", " +
           sCount(static_cast<size_t>(t.nRecords), "record", "records") +
           (t.bVerified ? ", verified" : "") + sConcerns(t);
}

std::string sVerdict(const std::vector<RecordingSummary>& at, bool bVerify) {
    std::string sTroubles;
    for (const RecordingSummary& t : at)
        if (const std::string s = sTrouble(t); !s.empty())
            sTroubles += (sTroubles.empty() ? "" : ", ") + s;
    std::string s = sCounts(at, false) + "; ";
    if (sTroubles.empty()) {
        if (at.size() == 1)
            return s + (bVerify ? "the recording was converted, synced, read back and found "
                                  "equal to it"
                                : "the recording was converted and synced; it was not read "
                                  "back (-verify compares the records with it)");
        return s + (bVerify ? "every recording was converted, synced, read back and found "
                              "equal to its recording"
                            : "every recording was converted and synced; none was read back "
                              "(-verify compares the records with the recordings)");
    }
    const size_t nWell = nCountOf(at, [](const auto& t) { return sTrouble(t).empty(); });
    s += sTroubles;
    if (nWell == 0) return s;
    s += nWell == 1 ? "; the other one was " : "; the other " + std::to_string(nWell) + " were ";
    if (!bVerify) return s + "converted and synced";
    return s + "converted, synced, read back and found equal to " +
           (nWell == 1 ? "its recording" : "their recordings");
}

std::string sInterruptedVerdict(const std::vector<RecordingSummary>& at) {
    const auto sPart = [&at](const char* szWhat, RecordingFate e) {
        const std::string s = sNames(at, [e](const auto& t) { return t.eFate == e; });
        return s.empty() ? std::string() : std::string("; ") + szWhat + ": " + s;
    };
    std::string s = "; " + sCounts(at, true);
    if (nCountOf(at, bConverted) == 0) s += "; none stays converted";
    return s + sPart("stay converted", RecordingFate::Converted) +
           sPart("put back", RecordingFate::PutBack) + sPart("failed", RecordingFate::Failed) +
           sPart("never started", RecordingFate::NotStarted);
}
