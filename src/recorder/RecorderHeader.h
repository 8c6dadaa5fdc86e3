// The in-memory image of a VORN recording's fixed binary header, the channel
// group table beside it, and the readers that fill them: the fixed header and
// first record header (RecorderHeader.cpp) and the INI-style CH, GROUP and
// STREAM sections of the text head (RecorderSections.cpp).
//
// File layout: an INI-style text head in bytes 0..3071, the fixed header of
// 1025 little-endian bytes at 3072, and from nDataOffset on a run of records,
// each a 256-byte record header and one block of uint16 samples per list
// position.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "timeconv/CalendarTime.h"

constexpr int nRecorderFixedHeaderOffset = 3072;  // file offset of the fixed header
constexpr int nRecorderFixedHeaderSize = 1025;    // bytes of the fixed header in the file
constexpr int nRecorderRecordHeaderSize = 256;    // bytes of every record header
constexpr int nRecorderChannelSlots = 32;         // channels CH1..CH32
constexpr int nRecorderChannelListLength = 16;    // entries of anChannelList
constexpr int nRecorderFileChannels = 16;         // channel entries stored in the fixed header
constexpr int nRecorderFileStreams = 2;           // stream entries stored in the fixed header

// Stream entries held in memory. The count nStreamCount is a signed byte, so
// at most 127 STREAM sections can be counted; when a head has more, the count
// stays at 127 and the last entry holds the values of the last section read,
// so aStreams[nStreamCount - 1] is always the last STREAM section.
constexpr int nRecorderStreamSlots = 127;

// One of six ignored 60-byte entries of the fixed header (file offset 127).
struct RecorderUnitEntry {
    uint8_t abText[40];
    uint16_t nWord;
    uint8_t nByte1;
    uint8_t nByte2;
    uint8_t abTail[16];
};

// A stream. The file stores 21 bytes per entry (sChannels: 16 bytes); a
// STREAM section may give up to 33 characters of sChannels.
struct RecorderStream {
    char cType;               // 'P' permanent, 'T' any other type
    int8_t nRecSizeSec;       // record length in seconds, low 8 bits, read as signed
    uint16_t nFileSizeSec;    // file length in seconds, low 16 bits
    uint8_t nStreamChannels;  // low 8 bits of N_CH
    char sChannels[34];       // 33 characters and a NUL
};

// One of two ignored 56-byte entries of the fixed header (file offset 529).
struct RecorderExtraEntry {
    uint16_t nWord;
    uint8_t abBytes[8];
    uint16_t anWords[3];
    uint8_t abTail[40];
};

// A channel. The file stores 24 bytes per entry (on flag, 8 name bytes, a
// byte, three 32-bit values, a 16-bit word); a NAME from the CH sections may
// be 27 characters long.
struct RecorderChannel {
    uint8_t bOn;
    char sName[28];  // 27 characters and a NUL
    uint8_t nByte9;
    uint32_t anValues[3];
    uint16_t nWord;
};

// The fixed header, field by field in file order with the file's widths and
// signedness (the offsets are from the start of the fixed header).
struct RecorderHeader {
    uint16_t nWord0;                                   // 0
    uint16_t nWord2;                                   // 2
    int16_t nDataOffset;                               // 4: file offset of the first record
    uint8_t abReserved6[64];                           // 6
    char sStation[8];                                  // 70: NUL padded, maybe no NUL at all
    uint32_t nValue78;                                 // 78
    uint32_t nValue82;                                 // 82
    uint32_t nValue86;                                 // 86
    uint8_t nByte90;                                   // 90
    uint8_t nByte91;                                   // 91
    uint8_t nByte92;                                   // 92
    int8_t nStreamCount;                               // 93: replaced by the STREAM sections
    uint16_t anWords94[8];                             // 94
    int8_t nChannelCount;                              // 110: replaced by the CH sections
    int8_t anChannelList[nRecorderChannelListLength];  // 111: channel index per list position
    RecorderUnitEntry aUnits[6];                       // 127
    RecorderStream aStreams[nRecorderStreamSlots];     // 487: the file holds entries 0 and 1
    RecorderExtraEntry aExtras[2];                     // 529
    RecorderChannel aChannels[nRecorderChannelSlots];  // 641: the file holds entries 0..15
};

// A channel's group: entry c of the table belongs to channel CH(c+1).
struct RecorderGroup {
    char sType[65];  // 64 characters and a NUL
    int32_t nFreq;   // samples per second
    int32_t nGroupChannels;
    int32_t nChannelNo;  // 1-based channel number (CH#)
    int32_t nGain;
};

// The station name: the bytes of sStation up to the first NUL, at most 8.
std::string sStationName(const RecorderHeader& tHeader);

// Decodes the fixed header at byte 3072 of the file image (pFile, nFileSize)
// into tHeader, from little-endian bytes on any host, and returns the start
// time of the first record (the record header at nDataOffset). It refuses a
// file too short for the fixed header or for the first record header, a
// data offset of 32768 or more (negative), and a start time bReadRecordTime
// does not read: then it returns NaN and sets sError to one line naming the
// fault (not the file); tHeader holds whatever was decoded before. A data
// offset inside the text head or the fixed header is accepted: a recorder
// may well start its data at 4096, sharing the fixed header's last byte.
EpochTime tReadRecorderHeader(const uint8_t* pFile, size_t nFileSize, RecorderHeader& tHeader,
                              std::string& sError);

// The start time of the 256-byte record header at pRecordHeader: the calendar
// words at 8 (day), 10 (month), 12 (year), 14 (hour), 16 (minute) and 18 plus
// 20 (seconds, whole). False, t untouched, when the time is not defined: a
// year outside 1970..9999, a month outside 0..12, or a time before 1970 or
// after 9999-12-31 23:59:59.
bool bReadRecordTime(const uint8_t* pRecordHeader, EpochTime& t);

// Lays the CH1..CH32, GROUP1..GROUPn and STREAM1.. sections of the file's
// text head over tHeader (on flags, names, channel count, stream entries,
// stream count) and fills aGroups (zeroed first) by each GROUP's CH#. Call it
// after tReadRecorderHeader: its values replace the fixed header's.
void vReadRecorderSections(const uint8_t* pFile, size_t nFileSize, RecorderHeader& tHeader,
                           RecorderGroup aGroups[nRecorderChannelSlots]);
