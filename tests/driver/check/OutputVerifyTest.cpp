// The -verify comparison on its own: records the writer made pass; a record
// damaged in its data or its start time, a missing record, or samples that
// differ from the recording are named by their number.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "driver/check/OutputVerify.h"
#include "segments/SeedWriter.h"
#include "support/WriterRig.h"

namespace {

constexpr int64_t nStart = 1102427130;  // 2004-12-07 13:45:30

// The records of 3000 samples at 100 per second, as the writer makes them.
std::string sRecordsOf(const std::vector<int32_t>& an) {
    WriterRig rig;
    testing::internal::CaptureStdout();
    {
        CSeedWriter w(rig.tSink, rig.tQueue);
        w.vSetNetwork("XY");
        w.vAddSamples("STA", "BHZ", 100.0, static_cast<double>(nStart),
                      static_cast<int64_t>(an.size()), an.data());
        w.vFlushAll();
    }
    testing::internal::GetCapturedStdout();
    return rig.tSink.sRecords;
}

// What the records must carry: the codes, rate, start and samples.
ConvertedChannel tChannel(const std::vector<int32_t>& an) {
    ConvertedChannel t;
    std::memcpy(t.tCodes.data(), "STA    BHZXY", t.tCodes.size());
    t.nRate = 100;
    t.nSamples = static_cast<int64_t>(an.size());
    t.atStretches.push_back({0, nStart * 1000000});
    t.fnSamples = [&an](int64_t nFirst, int nCount, int32_t* pnOut) {
        std::memcpy(pnOut, an.data() + nFirst, static_cast<size_t>(nCount) * sizeof(int32_t));
    };
    return t;
}

// "" when the verifier passes sRecords for an, else its problem.
std::string sVerify(const std::string& sRecords, const std::vector<int32_t>& an) {
    CRecordVerifier t({tChannel(an)});
    t.bCheck(reinterpret_cast<const unsigned char*>(sRecords.data()), sRecords.size() / 512);
    t.bComplete();
    return t.sProblem();
}

TEST(OutputVerify, ItsOwnRecordsPassDamagedOnesAreNamed) {
    std::vector<int32_t> an(3000);
    for (size_t i = 0; i < an.size(); ++i) an[i] = static_cast<int32_t>((i * 7919) % 4001) - 2000;
    const std::string sRecords = sRecordsOf(an);
    ASSERT_GT(sRecords.size(), 4 * 512u);
    EXPECT_EQ(sVerify(sRecords, an), "");

    std::string sData = sRecords, sTime = sRecords;
    sData[2 * 512 + 200] ^= 0x10;  // a data word of record 3
    sTime[512 + 29] += 1;          // record 2 starts a tick late
    std::vector<int32_t> anOther = an;
    anOther[1000] += 1;  // the recording holds another sample
    const struct {
        const char* szName;
        std::string sRecords;
        const std::vector<int32_t>& an;
        std::string sStart;  // of the problem
    } aCases[] = {
        {"data", sData, an, "record 3 "},
        {"time", sTime, an,
         "record 2 starts at 2004-12-07 13:45:33.840100 UTC, its first sample at 2004-12-07 "
         "13:45:33.840000 UTC"},
        {"missing", sRecords.substr(0, sRecords.size() - 512), an, ""},
        {"samples", sRecords, anOther, ""},
    };
    for (const auto& c : aCases) {
        const std::string s = sVerify(c.sRecords, c.an);
        EXPECT_FALSE(s.empty()) << c.szName;
        EXPECT_EQ(s.rfind(c.sStart, 0), 0u) << c.szName << ": " << s;
    }
    EXPECT_NE(sVerify(sRecords.substr(0, sRecords.size() - 512), an).find("samples are missing"),
              std::string::npos);
    EXPECT_NE(sVerify(sRecords, anOther)
                  .find("holds -979 as sample 1001 of its channel, the recording -978"),
              std::string::npos)
        << sVerify(sRecords, anOther);
}

}  // namespace
