// Where a writer's finished records go. The driver implements it over the
// output file; nothing below the driver knows a descriptor. Records arrive
// whole, in the order they are to be stored: 512 bytes each, big-endian,
// numbered, carrying their codes and start times, so a sink can route each
// record by its own header.
#pragma once

#include <cstddef>
#include <cstdint>

class CRecordSink {
public:
    virtual ~CRecordSink() = default;

    // Takes the nRecords records at pRecords, whose samples all lie in UTC
    // day nDay (days since 1970, by the exact time of the first sample);
    // they are stored or copied before it returns. A sink that cannot store
    // them keeps its failure to itself: the writer goes on numbering and
    // reporting records.
    virtual void vPutRecords(const unsigned char* pRecords, size_t nRecords, int64_t nDay) = 0;

    // The sequence number the first of the nRecords records at pRecords
    // (of UTC day nDay, about to be put) must carry, where the sink numbers
    // records by what it holds; 0 when the writer numbers them itself.
    virtual int32_t nNumberOfFirst(const unsigned char* pRecords, size_t nRecords, int64_t nDay) {
        (void)pRecords, (void)nRecords, (void)nDay;
        return 0;
    }
};
