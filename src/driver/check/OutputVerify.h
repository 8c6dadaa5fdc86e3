// Reading back a run's records (-verify): each record, in the order it was
// written, must decode soundly and carry exactly what the conversion was to
// write: its stream's codes, its channel's next sequence number and rate,
// the channel's next samples as the recording holds them, and the start
// time of its first sample.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "driver/channel/ConvertedChannel.h"

class CRecordVerifier {
public:
    // The channels in the order their records were written; channels
    // without samples write no record.
    explicit CRecordVerifier(std::vector<ConvertedChannel> atChannels);

    // Checks the next nRecords records (512 bytes each) at pRecords. False
    // once one differs; sProblem then names it and says how.
    bool bCheck(const unsigned char* pRecords, size_t nRecords);
    // False, with sProblem, when records are missing after the last one
    // checked.
    bool bComplete();
    const std::string& sProblem() const { return m_sProblem; }

private:
    // Why record p (the next of channel m_nChannel) differs; empty when it
    // does not.
    std::string sDifference(const unsigned char* p);

    std::vector<ConvertedChannel> m_atChannels;
    size_t m_nChannel = 0;                  // the channel the next record belongs to
    int64_t m_nSample = 0;                  // its next sample
    int64_t m_nInChannel = 0;               // its records so far
    std::map<int64_t, int64_t> m_mapInDay;  // its records so far on each day, when kept to days
    int64_t m_nRecords = 0;                 // records checked
    std::string m_sProblem;
};
