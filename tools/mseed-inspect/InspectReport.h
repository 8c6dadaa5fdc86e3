// What mseed-inspect prints about the records it walked: one line per run
// of records of one station and channel (records, samples, first and last
// sample time, whether all decoded soundly with consecutive sequence
// numbers, and whether they match expected samples), optionally every
// record. Only printable ASCII reaches the text: other bytes of names are
// written as \xNN (sPrintable).
#pragma once

#include <string>
#include <vector>

#include "ExpectedSamples.h"
#include "RecordWalk.h"
#include "driver/PrintableText.h"

// t rounded to the nearest 1/nPerSecond s: the whole seconds since 1970 it
// then lies in, and in nFraction the units (0 to nPerSecond - 1) beyond
// them. t * nPerSecond must be finite and within +-9.2e18.
long long nRoundedSeconds(EpochTime t, long long nPerSecond, long long& nFraction);

// t as "YYYY-MM-DD HH:MM:SS.ffff" UTC, rounded to 1/10,000 s; "?" when t is
// not a finite time within a few million years.
std::string sFormatTime(EpochTime t);

struct InspectReport {
    std::string sText;    // the lines to print
    bool bSound = false;  // every run decoded soundly (and matched, when compared)
};

// The report on the walked records of the file named sName. With bRecords
// every record gets a line; with patExpected (which needs a walk that kept
// the samples) each run is compared with the next unused expected channel
// of its name (which is then used up).
InspectReport tInspectReport(const std::string& sName, const RecordWalk& w, bool bRecords,
                             std::vector<ExpectedChannel>* patExpected);
