// The segment flush (CSeedWriter::vFlushSegment, declared in SeedWriter.h)
// and its two helpers: the start time of the header template and the
// channel-name translation.
#pragma once

#include "mseed/SeedRecord.h"
#include "timeconv/CalendarTime.h"

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
