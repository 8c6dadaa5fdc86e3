// One segment turned into records, free of descriptors, threads and the
// console: the record template of a segment (codes, rate, start time), the
// channel-name translation, and the encoding of the samples into numbered
// 512-byte records with the text of their console lines. Any thread may
// encode any segment; the writer (SeedWriter.h) prints and stores them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "mseed/SeedRecord.h"
#include "segments/HeldSamples.h"

// The template of a segment's records: sequence number 000001, the station
// and the translated channel cut to their fields (5 and 3 bytes), the
// location szLocation and the network code szNetwork (the first two
// characters of each; "" for blank), the rate as a whole-number factor with
// multiplier 1, and the blockette 1000 of a 512-byte Steim-2 record;
// records timed at the rate the factor gives (1 for a factor below 1), with
// a blockette 1001 where that rate needs microseconds. The start is set by
// vSetHeaderTime.
RecordTemplate tRecordTemplate(const char* szNetwork, const char* szStation, const char* szChannel,
                               double dSampleRate, const char* szLocation = "");

// Puts the segment's start into the template: its first sample is sample
// nFirstSample of a stretch whose first sample was taken at nStretchStartMicros
// (microseconds since 1970). Writes the console line "vSetHeaderTime
// hh:mm:ss-mmmm ddd.yyyy" with its line end to acLine: the exact start,
// rounded to the nearest millisecond (halves up), within 1970 to 9999.
void vSetHeaderTime(RecordTemplate* pTemplate, int64_t nStretchStartMicros, int64_t nFirstSample,
                    char (&acLine)[64]);

// Copies to szOut "BHZ", "BHN" or "BHE" when szName is one of them in any
// ASCII letter case, else szName unchanged. szOut has room for the longer of
// szName and 3 characters, plus the terminator.
void vTranslateChannel(const char* szName, char* szOut);

// One stretch of a segment's samples encoded on its own: records
// nFirstRecord .. nFirstRecord + nRecords - 1 of the segment's area, their
// count lines, and the "vSetHeaderTime" line of its first sample.
struct EncodedPiece {
    int nFirstRecord = 0;
    int nRecords = 0;
    size_t nLinesFrom = 0;  // its count lines: sCountLines from nLinesFrom
    size_t nLinesTo = 0;    // up to nLinesTo
    char acTimeLine[64] = "";
};

// One segment compressed into records: numbered on from the template's
// sequence number, not yet stored. Without a held-samples filter it is one
// piece, the whole segment; with one, a piece per stretch of samples the
// output does not hold, each encoded from where the whole segment's records
// would be at its first sample.
struct EncodedSegment {
    std::vector<uint32_t> anArea;  // the records, 512 bytes each, then spare room (zero)
    int nRecords = 0;
    std::string sCountLines;  // the "Seed block counts ..." console lines, one per record
    std::vector<EncodedPiece> atPieces;
};

// Makes t hold no record (a segment its output holds whole).
void vEncodeNothing(EncodedSegment& t);

// Compresses the nCount samples of one segment (nCount >= 1) into t with
// the records of tTemplate, reusing t's area; only the samples pHeld does
// not hold, when it is given.
void vEncodeSegment(const RecordTemplate& tTemplate, const int32_t* pnSamples, int nCount,
                    EncodedSegment& t, const CHeldSamples* pHeld = nullptr);
