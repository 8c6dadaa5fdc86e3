// The writer's output read back by libmseed: every sample, in order, with
// its names, rate, numbering and record start times, across several
// segments and flushes.
#include <gtest/gtest.h>
#include <libmseed.h>

#include <cmath>
#include <vector>

#include "SegmentTestSupport.h"
#include "SignalGenerators.h"
#include "segments/SeedWriter.h"

namespace {

TEST(SeedWriterXcheck, RecordsDecodeToTheSamplesFed) {
    const EpochTime T = 1078099199.5;
    const std::vector<uint16_t> an16 = anGenerateSignal(SignalKind::RecorderLike, 7, 25000);
    const std::vector<int32_t> an(an16.begin(), an16.end());

    WriterRig rig;
    CSeedWriter w(rig.tSink, rig.tQueue);
    sCaptureStdout([&] {
        w.vAddSamples("abc", "bhz", 100.0, T, 25000, an.data());
        w.vFlushAll();
    });

    std::string sFile = rig.tSink.sRecords;
    ASSERT_EQ(sFile.size() % 512, 0u);
    std::vector<int32_t> anDecoded;
    for (size_t k = 0; k * 512 < sFile.size(); ++k) {
        MSRecord* pmsr = nullptr;
        ASSERT_EQ(msr_parse(sFile.data() + 512 * k, 512, &pmsr, 512, 1, 0), 0) << "record " << k;
        EXPECT_EQ(pmsr->sequence_number, static_cast<int32_t>(k + 1));
        EXPECT_STREQ(pmsr->station, "abc");
        EXPECT_STREQ(pmsr->channel, "BHZ");
        EXPECT_EQ(pmsr->samprate, 100.0);
        EXPECT_EQ(pmsr->encoding, DE_STEIM2);
        // Each record starts at its first sample's time, to the 1/10000 s tick.
        const double tExpected = T + anDecoded.size() / 100.0;
        const double tRecord = static_cast<double>(pmsr->starttime) / HPTMODULUS;
        EXPECT_LE(std::fabs(tRecord - tExpected), 1.0e-4) << "record " << k;
        ASSERT_EQ(pmsr->sampletype, 'i');
        const int32_t* pn = static_cast<const int32_t*>(pmsr->datasamples);
        anDecoded.insert(anDecoded.end(), pn, pn + pmsr->numsamples);
        msr_free(&pmsr);
    }
    EXPECT_EQ(anDecoded, an);
}

}  // namespace
