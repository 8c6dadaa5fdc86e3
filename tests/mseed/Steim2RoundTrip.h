// The round-trip property shared by our decoder's and libmseed's tests:
// records read back (by either reader) must give exactly the input samples,
// consecutive sequence numbers from the template's, and start times that
// advance by each record's duration in whole 1/10,000 s ticks.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "mseed/SeedRecord.h"
#include "timeconv/CalendarTime.h"

namespace steim2test {

// One record as a reader returned it.
struct RecordView {
    int32_t nSequenceNumber;
    std::string sStation, sChannel;
    int64_t nStartMicros;  // record start, microseconds since 1970
    double dRate;
    std::vector<int32_t> anSamples;
};

inline std::string sField(const char* p, size_t n) {
    while (n > 0 && p[n - 1] == ' ') --n;
    return std::string(p, n);
}

inline void vExpectRoundTrip(const std::vector<int32_t>& anInput, const RecordTemplate& tTemplate,
                             const std::vector<RecordView>& aRecords) {
    const SeedFixedHeader& h = tTemplate.tHeader;
    const int64_t nRate = h.Sample_rate_factor;              // whole rates, multiplier 1
    const int64_t nStart = tTemplate.nStretchStartMicros / 100;  // ticks
    const int32_t nSeq0 = std::stoi(std::string(h.SequenceNumber, 6));
    std::vector<int32_t> anAll;
    int64_t nBefore = 0;  // samples in the records before this one
    for (size_t k = 0; k < aRecords.size(); ++k) {
        const RecordView& r = aRecords[k];
        SCOPED_TRACE("record " + std::to_string(k));
        EXPECT_EQ(r.nSequenceNumber, (nSeq0 - 1 + static_cast<int32_t>(k)) % 999999 + 1);
        EXPECT_EQ(r.sStation, sField(h.Station_identifier_code, 5));
        EXPECT_EQ(r.sChannel, sField(h.Channel_identifier, 3));
        EXPECT_EQ(r.dRate, static_cast<double>(nRate));
        // The start is the exact time of the record's first sample,
        // rounded down to a whole tick.
        EXPECT_EQ(r.nStartMicros, (nStart + nBefore * 10000 / nRate) * 100);
        EXPECT_GE(r.anSamples.size(), anInput.empty() ? 0u : 1u);
        EXPECT_LE(r.anSamples.size(), 721u);
        // Only the last record may have room left for another word.
        if (k + 1 < aRecords.size()) {
            EXPECT_GE(r.anSamples.size(), 103u);
        }
        anAll.insert(anAll.end(), r.anSamples.begin(), r.anSamples.end());
        nBefore += static_cast<int64_t>(r.anSamples.size());
    }
    EXPECT_EQ(anAll, anInput);
}

}  // namespace steim2test
