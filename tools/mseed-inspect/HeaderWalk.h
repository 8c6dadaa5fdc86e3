// The archive check's reading of MiniSEED records: header fields and
// blockettes only, never the data, so records of any encoding, length and
// byte order can be checked where and when they belong. A record's byte
// order is told by its start time's year and day; its length comes from
// the blockette 1000 in its blockette chain, and the walk steps from record
// to record by those lengths. Safe on arbitrary bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// What the checks need of one record.
struct RecordHeader {
    size_t nOffset = 0;                                   // byte offset of the record in the file
    std::string sNetwork, sStation, sLocation, sChannel;  // trailing blanks and NULs dropped
    int64_t nStartMicros = 0;  // first sample, since 1970, with a blockette 1001's microseconds
    int64_t nEndMicros = 0;    // the end of the last sample's period: start + samples / rate
    int64_t nLastMicros = 0;   // the last sample's time (the start when there is none)
    unsigned nSamples = 0;
    double dRate = 0;    // samples per second (a blockette 100's where present); 0 for none
    size_t nLength = 0;  // the record length blockette 1000 gives
    bool bLittleEndian = false;
};

// Reads the header of the record at p, of which nSize bytes lie before the
// end of the file, into t. "" when it is a data record with a valid start
// time and a blockette 1000 giving a length of 128 to 65536 bytes; else why
// not: "N bytes are too few for a record header", "no sequence number and
// quality code", "no valid start time", "no blockette 1000 in its blockette
// chain", "its blockette 1000 gives no record length from 128 to 65536 bytes".
std::string sReadRecordHeader(const uint8_t* p, size_t nSize, RecordHeader& t);

struct HeaderWalk {
    std::vector<RecordHeader> atRecords;  // the whole records before any stop, in file order
    std::string sStop;  // "" when the records fill the bytes, else why the walk ended early
};

// Reads the records of the nBytes at p one after the other, each as long as
// its blockette 1000 says, until the end of the bytes, bytes that are no
// record ("not a MiniSEED record at byte N (REASON)") or a last record the
// bytes cut short ("record K is cut short: the file ends N bytes into its
// L"; K counted from 1).
HeaderWalk tWalkHeaders(const uint8_t* p, size_t nBytes);

// "NET.STA.LOC.CHA" of the record, names printable.
std::string sHeaderStream(const RecordHeader& t);
