// Reading back a run's records (-verify): each record, in the order it was
// written, must decode soundly and carry exactly what the conversion was to
// write: its stream's codes, its channel's next sequence number and rate,
// the channel's next samples as the recording holds them, and the start
// time of its first sample.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "driver/check/OutputHistory.h"

// A channel's samples from nFirst on, nCount of them, into pnOut.
using ChannelSamples = std::function<void(int64_t nFirst, int nCount, int32_t* pnOut)>;

// A run of a channel's samples: from sample nFirstSample on, dated from
// nStartMicros (microseconds since 1970).
struct VerifiedRun {
    int64_t nFirstSample = 0;
    int64_t nStartMicros = 0;
};

// One channel as its records must carry it.
struct VerifiedChannel {
    StreamCodes tCodes{};  // record bytes 8 to 19
    int32_t nRate = 1;
    bool bMicroseconds = false;  // its records carry a blockette 1001
    // Kept to UTC days: no record runs over midnight, and the records of
    // each day are numbered from 000001.
    bool bNumberedByDay = false;
    int64_t nSamples = 0;
    std::vector<VerifiedRun> atRuns;  // the first starts at sample 0
    ChannelSamples fnSamples;
};

class CRecordVerifier {
public:
    // The channels in the order their records were written; channels
    // without samples write no record.
    explicit CRecordVerifier(std::vector<VerifiedChannel> atChannels);

    // Checks the next nRecords records (512 bytes each) at pRecords. False
    // once one differs; sProblem then names it and says how.
    bool bCheck(const unsigned char* pRecords, size_t nRecords);
    // False, with sProblem, when records are missing after the last one
    // checked.
    bool bComplete();
    const std::string& sProblem() const { return m_sProblem; }
    int64_t nRecordsChecked() const { return m_nRecords; }

private:
    // Why record p (the next of channel m_nChannel) differs; empty when it
    // does not.
    std::string sDifference(const unsigned char* p);

    std::vector<VerifiedChannel> m_atChannels;
    size_t m_nChannel = 0;                  // the channel the next record belongs to
    int64_t m_nSample = 0;                  // its next sample
    int64_t m_nInChannel = 0;               // its records so far
    std::map<int64_t, int64_t> m_mapInDay;  // its records so far on each day, when kept to days
    int64_t m_nRecords = 0;                 // records checked
    std::string m_sProblem;
};
