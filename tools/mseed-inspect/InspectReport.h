// What mseed-inspect prints about the records it walked: one line per
// stream (NET.STA.LOC.CHA: records, samples, first and last sample time,
// gaps and overlaps, whether every record decoded soundly, and whether the
// samples match expected ones), notes on sequence numbers, and optionally
// every record and every gap and overlap. Only printable ASCII reaches the
// text: other bytes of names are written as \xNN (sPrintable).
#pragma once

#include <string>
#include <vector>

#include "ExpectedSamples.h"
#include "RecordWalk.h"
#include "base/PrintableText.h"

// t rounded to the nearest 1/nPerSecond s: the whole seconds since 1970 it
// then lies in, and in nFraction the units (0 to nPerSecond - 1) beyond
// them. t * nPerSecond must be finite and within +-9.2e18.
long long nRoundedSeconds(EpochTime t, long long nPerSecond, long long& nFraction);

// t as "YYYY-MM-DD HH:MM:SS.ffff" UTC, rounded to 1/10,000 s; "?" when t is
// not a finite time within a few million years.
std::string sFormatTime(EpochTime t);

struct InspectReport {
    std::string sText;    // the lines to print
    bool bSound = false;  // every stream sound, as the options judge it
};

// What the report shows and judges: every record and every gap and
// overlap (bRecords); gaps, overlaps and a stream's records out of time
// order as failures, each stream's first such record told (bContinuous).
struct ReportOptions {
    bool bRecords = false;
    bool bContinuous = false;
};

// The report on the walked records of the file named sName. With
// patExpected (which needs a walk that kept the samples) each stream is
// compared with the next unused expected channel of its channel code (which
// is then used up). bSound is false for records that do not decode, samples
// that differ, and, with bContinuous, any gap, overlap or record that
// starts before its stream's record before it; sequence numbers
// are only noted.
InspectReport tInspectReport(const std::string& sName, const RecordWalk& w,
                             const ReportOptions& tOptions,
                             std::vector<ExpectedChannel>* patExpected);
