// The program's output read by libmseed, an independent MiniSEED reader: it
// must log no error and no warning, return every channel's samples with the
// names, numbering and rate the output should carry, start every record at
// its first sample's exact time (rounded down to a tick, or to the nearest
// microsecond with a blockette 1001), and see each channel as one trace
// without gap or overlap; where the recorder's clock jumps, converted with
// -recordtime, the trace breaks there and every sample is dated by the clock.
#include <gtest/gtest.h>
#include <libmseed.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "support/ConversionTestSupport.h"
#include "support/Process.h"

namespace {

std::vector<std::string> g_asLibmseedLog;
void vCaptureLibmseedLog(char* sz) {
    g_asLibmseedLog.emplace_back(sz ? sz : "");
}

constexpr int64_t nStartSeconds = 1102427130;  // the synthetic recordings' start

// Where a record must start, in microseconds: the exact time of its first
// sample, sample nIndex of a run that starts at nStart seconds, rounded down
// to a tick, or to the nearest microsecond.
int64_t nExpectedStart(int64_t nStart, int64_t nIndex, int64_t nRate, bool bMicroseconds) {
    const int64_t nRest = nIndex % nRate * 1000000;
    const int64_t nMicros = nStart * 1000000 + nIndex / nRate * 1000000 + nRest / nRate;
    if (bMicroseconds) return nMicros + (2 * (nRest % nRate) >= nRate ? 1 : 0);
    return nMicros / 100 * 100;
}

TEST(ConversionXcheck, LibmseedReadsEveryChannelBackExactlyAsOneTrace) {
    const struct {
        int32_t nRate, nRecordSeconds;
        size_t nRecords;
        bool bMicroseconds;    // records carry a blockette 1001
        size_t nJumpRecord;    // from this record on (counted from 0) the recorder's clock
        int32_t nJumpSeconds;  // is this much later
        bool bRecordTime;      // converted with -recordtime: one run more from the jump on
    } aRows[] = {
        {100, 10, 40, false, 0, 0, false},     // ticks exact
        {3000, 1, 40, false, 0, 0, false},     // ticks rounded down
        {7, 20, 200, false, 0, 0, false},      //
        {1024, 1, 40, false, 0, 0, false},     //
        {6000, 1, 40, true, 0, 0, false},      // beyond ticks: microseconds
        {100, 1, 600, false, 300, 60, false},  // a clock jump: one trace all the same,
        {100, 1, 600, false, 300, 60, true},   // or a gap where the clock jumps,
        {3000, 1, 30, false, 12, -3, true},    // or an overlap
    };
    ms_loginit(vCaptureLibmseedLog, nullptr, vCaptureLibmseedLog, nullptr);
    for (const auto& row : aRows) {
        SCOPED_TRACE(std::to_string(row.nRate) + " sps, jump " + std::to_string(row.nJumpSeconds) +
                     (row.bRecordTime ? " s, -recordtime" : " s"));
        StandardLayout t;
        t.sStation = "KLMNO";
        t.asChannels = {"bhz", "Bhn", "BHE"};
        t.nRate = row.nRate;
        t.nRecordSeconds = row.nRecordSeconds;
        t.nRecords = row.nRecords;
        t.aeSignals = {SignalKind::RecorderLike, SignalKind::Extremes, SignalKind::WhiteNoise};
        SyntheticRecording tRec = tStandardRecording(t);
        tRec.nJumpRecord = row.nJumpRecord;
        tRec.nJumpSeconds = row.nJumpSeconds;
        TempDir tDir;
        const auto aanExpected = aanWriteRecording(tDir, "rec.vrx", tRec);
        std::vector<std::string> asArgs = {"rec.vrx"};
        if (row.bRecordTime) asArgs.push_back("-recordtime");
        ASSERT_EQ(tRunTessal(asArgs, tDir.sPath()).nExitStatus, 0);
        // Where each channel's runs start: at sample 0, and with
        // -recordtime at the jump's first sample, by the recorder's clock.
        const int64_t nJumpSample =
            row.bRecordTime && row.nJumpSeconds != 0
                ? static_cast<int64_t>(row.nJumpRecord) * row.nRate * row.nRecordSeconds
                : INT64_MAX;
        const int64_t nJumpStart = nStartSeconds +
                                   static_cast<int64_t>(row.nJumpRecord) * row.nRecordSeconds +
                                   row.nJumpSeconds;
        const std::string sFile = sReadFile(tDir.sFile("rec.mseed"));
        ASSERT_EQ(sFile.size() % 512, 0u);

        g_asLibmseedLog.clear();
        MSTraceList* pList = mstl_init(nullptr);
        const char* aszNames[] = {"BHZ", "BHN", "BHE"};
        std::vector<std::vector<int32_t>> aanDecoded;
        int32_t nSequence = 0;
        for (size_t k = 0; k * 512 < sFile.size(); ++k) {
            std::vector<char> ac(sFile.begin() + 512 * k, sFile.begin() + 512 * (k + 1));
            MSRecord* pMsr = nullptr;
            ASSERT_EQ(msr_unpack(ac.data(), 512, &pMsr, 1, 1), MS_NOERROR) << "record " << k;
            if (pMsr->sequence_number == 1) {
                aanDecoded.emplace_back();
                nSequence = 0;
            }
            ASSERT_FALSE(aanDecoded.empty());
            ASSERT_LE(aanDecoded.size(), 3u);
            std::vector<int32_t>& an = aanDecoded.back();
            EXPECT_EQ(pMsr->sequence_number, ++nSequence);
            EXPECT_STREQ(pMsr->station, "KLMNO");
            EXPECT_STREQ(pMsr->channel, aszNames[aanDecoded.size() - 1]);
            EXPECT_EQ(pMsr->samprate, row.nRate);
            EXPECT_EQ((pMsr->Blkt1001 != nullptr), row.bMicroseconds) << "record " << k;
            const int64_t nIndex = static_cast<int64_t>(an.size());
            EXPECT_EQ(pMsr->starttime,
                      nIndex < nJumpSample
                          ? nExpectedStart(nStartSeconds, nIndex, row.nRate, row.bMicroseconds)
                          : nExpectedStart(nJumpStart, nIndex - nJumpSample, row.nRate,
                                           row.bMicroseconds))
                << "record " << k;
            const int32_t* pn = static_cast<const int32_t*>(pMsr->datasamples);
            an.insert(an.end(), pn, pn + pMsr->numsamples);
            mstl_addmsr(pList, pMsr, 0, 1, -1.0, -1.0);
            msr_free(&pMsr);
        }
        for (const std::string& s : g_asLibmseedLog) ADD_FAILURE() << "libmseed: " << s;
        ASSERT_EQ(aanDecoded.size(), 3u);
        for (size_t p = 0; p < 3; ++p)
            EXPECT_EQ(aanDecoded[p],
                      std::vector<int32_t>(aanExpected[p].begin(), aanExpected[p].end()));
        // One trace per channel: no gap, no overlap, but at a jump with
        // -recordtime, where the trace breaks.
        EXPECT_EQ(pList->numtraces, 3);
        for (MSTraceID* p = pList->traces; p != nullptr; p = p->next)
            EXPECT_EQ(p->numsegments, nJumpSample == INT64_MAX ? 1 : 2) << p->channel;
        mstl_free(&pList, 0);
    }
}

}  // namespace
