// The program's output read by libmseed, an independent MiniSEED reader: it
// must log no error and no warning and return every channel's samples with
// the names, numbering and start times the output should carry.
#include <gtest/gtest.h>
#include <libmseed.h>

#include <cmath>
#include <string>
#include <vector>

#include "support/ConversionTestSupport.h"
#include "support/Process.h"

namespace {

std::vector<std::string> g_asLibmseedLog;
void vCaptureLibmseedLog(char* sz) { g_asLibmseedLog.emplace_back(sz ? sz : ""); }

TEST(ConversionXcheck, LibmseedReadsEveryChannelBackExactly) {
    StandardLayout t;
    t.sStation = "KLMNO";
    t.asChannels = {"bhz", "Bhn", "BHE"};
    t.nRecordSeconds = 10;
    t.nRecords = 40;
    t.aeSignals = {SignalKind::RecorderLike, SignalKind::Extremes, SignalKind::WhiteNoise};
    TempDir tDir;
    const auto aanExpected = aanWriteRecording(tDir, "rec.vrx", tStandardRecording(t));
    ASSERT_EQ(tRunTessal({"rec.vrx"}, tDir.sPath()).nExitStatus, 0);
    const std::string sFile = sReadFile(tDir.sFile("rec.mseed"));
    ASSERT_EQ(sFile.size() % 512, 0u);

    ms_loginit(vCaptureLibmseedLog, nullptr, vCaptureLibmseedLog, nullptr);
    g_asLibmseedLog.clear();
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
        EXPECT_EQ(pMsr->samprate, 100.0);
        const double dStart = static_cast<double>(pMsr->starttime) / HPTMODULUS;
        EXPECT_LE(std::fabs(dStart - (1102427130.0 + static_cast<double>(an.size()) / 100.0)),
                  1.0e-4);
        const int32_t* pn = static_cast<const int32_t*>(pMsr->datasamples);
        an.insert(an.end(), pn, pn + pMsr->numsamples);
        msr_free(&pMsr);
    }
    for (const std::string& s : g_asLibmseedLog) ADD_FAILURE() << "libmseed: " << s;
    ASSERT_EQ(aanDecoded.size(), 3u);
    for (size_t p = 0; p < 3; ++p)
        EXPECT_EQ(aanDecoded[p], std::vector<int32_t>(aanExpected[p].begin(), aanExpected[p].end()));
}

}  // namespace
