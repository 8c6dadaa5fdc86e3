// The segment flush (CSeedWriter::vFlushSegment and vEmitSegment, declared
// in SeedWriter.h), split in two: the encoding of a segment, which may run
// on any thread, and its emission (numbering, console lines, the write),
// which happens in flush order. Also the start time of the header template
// and the channel-name translation.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "mseed/SeedRecord.h"
#include "timeconv/CalendarTime.h"

// One segment compressed into records, not yet numbered or written: its
// records carry the sequence numbers 000001, 000002, ... until emitted.
struct EncodedSegment {
    std::vector<uint32_t> anArea;  // the records, 512 bytes each, then spare room
    int nRecords = 0;
    char acTimeLine[64] = "";  // the segment's "vSetHeaderTime ..." console line
    std::string sCountLines;   // its "Seed block counts ..." lines, one per record
};

// Compresses the nCount samples of one segment (nCount >= 1) of station and
// channel (names as given; cut and translated here) at dRate samples per
// second, the first taken at tStart, into t. Prints nothing and touches no
// shared state, so that segments can be encoded on any thread.
void vEncodeSegment(const char* szStation, const char* szChannel, double dRate, EpochTime tStart,
                    const int32_t* pnSamples, int nCount, EncodedSegment& t);

// Puts t into pHeader->Record_start_time as vSetHeaderTime does and writes
// its console line (with the line end) to acLine instead of printing it.
void vFillHeaderTime(SeedFixedHeader* pHeader, EpochTime t, char (&acLine)[64]);

// Puts t into pHeader->Record_start_time (year, day of year, hour, minute,
// second, and the millisecond times 10 as ten-thousandths; byte 27 is left
// alone) and prints "vSetHeaderTime hh:mm:ss-mmmm ddd.yyyy" on standard output.
void vSetHeaderTime(SeedFixedHeader* pHeader, EpochTime t);

// Copies to szOut "BHZ", "BHN" or "BHE" when szName is one of them in any
// ASCII letter case, else szName unchanged. szOut has room for the longer of
// szName and 3 characters, plus the terminator.
void vTranslateChannel(const char* szName, char* szOut);

// The six digits written for record number nBlock: numbers past 999999 wrap
// to 000001 as the encoder's do, so nBlock 1000000 gives 1.
int nSequenceDigits(int nBlock);
