// A recording past 4 GiB: a sparse file whose data area is mostly a hole,
// with records of known samples placed past 2 GiB and past 4 GiB. Their
// samples must come out exact and their records at the right times.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "mseed/Steim2Decoder.h"
#include "support/ConversionTestSupport.h"
#include "support/Process.h"

namespace {

constexpr int64_t nGiB = int64_t{1} << 30;

// 32 channels switched on, so that a record holds 32 blocks, but only the
// first has a rate (the others have no GROUP section): one block in 32 is
// converted. Records of 100 s at 100 sps: blocks of 10000 samples, one
// segment each. Three records of known samples.
SyntheticRecording tSparseLayout() {
    StandardLayout t;
    t.sStation = "BIG";
    t.asChannels.clear();
    for (int k = 1; k <= 32; ++k)
        t.asChannels.push_back(std::string("C").append(std::to_string(k)));
    t.nRecordSeconds = 100;
    t.nRecords = 3;
    t.aeSignals = {SignalKind::RecorderLike};
    SyntheticRecording tRec = tStandardRecording(t);
    tRec.sLineEnd.assign(1, '\n');
    std::erase_if(tRec.aSections, [](const SynthSection& s) {
        return s.sName.rfind("GROUP", 0) == 0 && s.sName != "GROUP1";
    });
    return tRec;
}

TEST(HugeRecording, SamplesPast2And4GiBConvertExactlyAtTheirTimes) {
    const SyntheticRecording tRec = tSparseLayout();
    ASSERT_EQ(tRec.aSections.front().sName, "CH1");
    const SyntheticOutput tOut = tBuildRecording(tRec);
    const int64_t nRecordSize = 32 * 100 * 100 * 2 + 256;
    const int64_t nFirst = nDefaultDataOffset;
    ASSERT_EQ(static_cast<int64_t>(tOut.anFile.size()), nFirst + 3 * nRecordSize);

    // Record 0 stays first; records 1 and 2 move to the first record slots
    // past 2 GiB and past 4 GiB; the file ends one record after that.
    const int64_t r2 = (2 * nGiB - nFirst) / nRecordSize + 1;
    const int64_t r4 = (4 * nGiB - nFirst) / nRecordSize + 1;
    const int64_t nRecords = r4 + 2;
    TempDir tDir;
    const std::string sPath = tDir.sFile("big.vrx");
    {
        FILE* f = std::fopen(sPath.c_str(), "wb");
        ASSERT_NE(f, nullptr);
        std::fwrite(tOut.anFile.data(), 1, static_cast<size_t>(nFirst + nRecordSize), f);
        std::fclose(f);
    }
    ASSERT_EQ(truncate(sPath.c_str(), nFirst + nRecords * nRecordSize), 0);
    FILE* f = std::fopen(sPath.c_str(), "r+b");
    ASSERT_NE(f, nullptr);
    for (const auto& [nFrom, nTo] : {std::pair<int64_t, int64_t>{1, r2}, {2, r4}}) {
        ASSERT_EQ(fseeko(f, nFirst + nTo * nRecordSize, SEEK_SET), 0);
        std::fwrite(tOut.anFile.data() + nFirst + nFrom * nRecordSize, 1,
                    static_cast<size_t>(nRecordSize), f);
    }
    std::fclose(f);

    const ProcessResult r = tRunTessal({"big.vrx"}, tDir.sPath());
    ASSERT_EQ(r.nExitStatus, 0) << r.sStderr;

    // Walk the output record by record: sample k of the channel was taken
    // at t0 + k / 100, and the block of recorder record j is samples
    // j x 10000 .. j x 10000 + 9999, a segment of its own.
    const std::string sOutput = sReadFile(tDir.sFile("big.mseed"));
    ASSERT_EQ(sOutput.size() % 512, 0u);
    const std::vector<uint16_t>& anKnown = tOut.aanSamples[0];
    ASSERT_EQ(anKnown.size(), 30000u);
    const EpochTime t0 = 1102427130.0;
    const struct {
        int64_t nRecord;
        size_t nKnown;  // where its block starts in anKnown
    } aChecks[] = {{0, 0}, {r2, 10000}, {r4, 20000}};
    int64_t nSample = 0;
    size_t nChecked = 0;
    for (size_t nAt = 0; nAt < sOutput.size(); nAt += 512) {
        const DecodedRecord d =
            tDecodeRecord(reinterpret_cast<const unsigned char*>(sOutput.data()) + nAt, 512);
        ASSERT_EQ(d.sError, "") << "record at byte " << nAt;
        for (const auto& c : aChecks) {
            const int64_t nBlock = c.nRecord * 10000;
            if (nSample == nBlock) {
                EXPECT_NEAR(tRecordStart(d), t0 + static_cast<double>(c.nRecord) * 100.0, 1e-4)
                    << "record " << c.nRecord;
            }
            for (size_t i = 0; i < d.anSamples.size(); ++i) {
                const int64_t k = nSample + static_cast<int64_t>(i);
                if (k < nBlock || k >= nBlock + 10000) continue;
                ASSERT_EQ(d.anSamples[i], anKnown[c.nKnown + static_cast<size_t>(k - nBlock)])
                    << "sample " << k;
                ++nChecked;
            }
        }
        nSample += static_cast<int64_t>(d.anSamples.size());
    }
    EXPECT_EQ(nSample, nRecords * 10000);
    EXPECT_EQ(nChecked, 30000u);
}

}  // namespace
