// Independent cross-check: every record the encoder writes is unpacked by
// libmseed, which must log nothing at all (no error, no warning, its Steim-2
// integrity check included) and return exactly our samples and the header
// fields we wrote.
#include <gtest/gtest.h>
#include <libmseed.h>

#include <cstring>
#include <string>
#include <vector>

#include "Steim2RoundTrip.h"
#include "Steim2Signals.h"
#include "Steim2TestSupport.h"

namespace {

using namespace steim2test;

std::vector<std::string> g_asLog;

void vCaptureLog(char* sz) {
    g_asLog.emplace_back(sz ? sz : "");
}

class LibmseedUnpack : public ::testing::Test {
protected:
    void SetUp() override {
        ms_loginit(vCaptureLog, nullptr, vCaptureLog, nullptr);
        g_asLog.clear();
    }

    // Unpacks every record with libmseed; fails on any return code or message.
    std::vector<RecordView> atUnpack(const Encoded& e) {
        std::vector<RecordView> at;
        for (int k = 0; k < e.nRecords; ++k) {
            std::vector<char> ac(e.pBytes() + 512 * k, e.pBytes() + 512 * (k + 1));
            MSRecord* pMsr = nullptr;
            g_asLog.clear();
            const int nRc = msr_unpack(ac.data(), 512, &pMsr, 1, 0);
            EXPECT_EQ(nRc, MS_NOERROR) << "record " << k;
            for (const std::string& s : g_asLog)
                ADD_FAILURE() << "record " << k << " libmseed: " << s;
            if (nRc != MS_NOERROR || pMsr == nullptr) {
                msr_free(&pMsr);
                break;
            }
            EXPECT_EQ(pMsr->samplecnt, e.nSamples(k));
            EXPECT_EQ(pMsr->numsamples, pMsr->samplecnt);
            EXPECT_EQ(pMsr->sampletype, 'i');
            EXPECT_EQ(pMsr->encoding, DE_STEIM2);
            EXPECT_EQ(pMsr->reclen, 512);
            EXPECT_EQ(pMsr->dataquality, 'D');
            EXPECT_STREQ(pMsr->network, "");
            EXPECT_STREQ(pMsr->location, "");
            const int32_t* pn = static_cast<const int32_t*>(pMsr->datasamples);
            at.push_back(RecordView{pMsr->sequence_number, pMsr->station, pMsr->channel,
                                    pMsr->starttime, pMsr->samprate,
                                    std::vector<int32_t>(pn, pn + pMsr->numsamples)});
            msr_free(&pMsr);
        }
        return at;
    }
};

TEST_F(LibmseedUnpack, CaptureSeesLibmseedsIntegrityWarning) {
    // The harness must be able to fail: a wrong Xn draws libmseed's warning.
    Encoded e = tEncode({10, 20, 30, 40});
    unsigned char* p = reinterpret_cast<unsigned char*>(e.anWords.data());
    p[75] ^= 1;
    MSRecord* pMsr = nullptr;
    g_asLog.clear();
    msr_unpack(reinterpret_cast<char*>(p), 512, &pMsr, 1, 0);
    msr_free(&pMsr);
    EXPECT_FALSE(g_asLog.empty());
}

TEST_F(LibmseedUnpack, EdgeCasesReadBackExactly) {
    std::vector<int32_t> anClass7(104);
    for (size_t i = 0; i < anClass7.size(); ++i) anClass7[i] = (i % 2 == 0) ? 20000 : 0;
    const std::vector<std::vector<int32_t>> aRuns = {
        {5},
        {0, 1, 2, 3, 4, 5, 6, 7},
        {0, -512, -512},
        {0, -511, -511},
        {0, -16384, 0, 16384, 16383, 0, -16383},
        {1, 2, 3, 4, 5, 6, 21},
        {100, 200, 20200},
        std::vector<int32_t>(15, 100),
        anClass7,
        std::vector<int32_t>(721, -3),
        std::vector<int32_t>(722, 65535),
        {(1 << 29) - 1, 0, -(1 << 29), -1},
    };
    for (const auto& an : aRuns) {
        SCOPED_TRACE("run of " + std::to_string(an.size()));
        const RecordTemplate h = tTemplate("999998", 2003, 365, 23, 59, 59, 9990);
        vExpectRoundTrip(an, h, atUnpack(tEncode(an, h)));
    }
}

TEST_F(LibmseedUnpack, RandomRunsOfEveryKindReadBackExactly) {
    CSignalRng rng(31337);
    for (int n = 0; n < 300; ++n) {
        const RunKind eKind = aeAllRunKinds[n % 6];
        const size_t nCount = n % 5 == 0 ? 721 * (1 + rng.nNext() % 3) : rng.nNext() % 4000;
        const std::vector<int32_t> an = anMakeRun(eKind, rng.nNext(), nCount);
        const RecordTemplate h = tRandomTemplate(rng);
        SCOPED_TRACE(sRunKindName(eKind) + " run " + std::to_string(n) + " of " +
                     std::to_string(nCount));
        vExpectRoundTrip(an, h, atUnpack(tEncode(an, h)));
        if (HasFailure()) return;
    }
}

}  // namespace
