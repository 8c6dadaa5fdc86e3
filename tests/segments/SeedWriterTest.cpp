// Segment writer: chunking and its console lines, the continuity and flush
// rules, rates at or below 1, name lookup by case, and dropping held samples.
#include <gtest/gtest.h>

#include <numeric>
#include <vector>

#include "SegmentTestSupport.h"
#include "segments/SeedWriter.h"

namespace {

const EpochTime T = 1078099199.5;  // 2004, day 60, 23:59:59.500

std::vector<int32_t> anRamp(int n) {
    std::vector<int32_t> an(n);
    for (int i = 0; i < n; ++i) an[i] = (i * 37) % 2001 - 1000;
    return an;
}

const CChannelSegment& tSegment(const CSeedWriter& w, int s = 0, int k = 0) {
    return *w.pGetStation(s)->pGetChannel(k);
}

TEST(SeedWriterChunks, A25000SampleRunIsCutInto10000_10000_5000) {
    ScratchOutputFile out;
    const std::vector<int32_t> an = anRamp(25000);
    CSeedWriter w(out.nFd());
    const std::string sOut =
        sCaptureStdout([&] { w.vAddSamples("ABC", "BHZ", 100.0, T, 25000, an.data()); });

    const std::vector<std::string> asExpected = {
        "nCount: 10000 dSpS: 100.000000 tBegin: 1078099199.500000 (tBegin+n/dSpS): "
        "1078099199.500000",
        "nCount: 10000 dSpS: 100.000000 tBegin: 1078099199.500000 (tBegin+n/dSpS): "
        "1078099299.500000",
        "nCount: 5000 dSpS: 100.000000 tBegin: 1078099199.500000 (tBegin+n/dSpS): "
        "1078099399.500000"};
    EXPECT_EQ(asLinesStartingWith(sOut, "nCount:"), asExpected);
    // The first two chunks were flushed when the next one arrived; the third is held.
    EXPECT_EQ(asLinesStartingWith(sOut, "vSetHeaderTime"),
              (std::vector<std::string>{"vSetHeaderTime 23:59:59-0500 060.2004",
                                        "vSetHeaderTime 00:01:39-0500 061.2004"}));
    const std::vector<std::string> asAll = asLines(sOut);
    // Each chunk's line comes before the flush that its arrival causes.
    ASSERT_GE(asAll.size(), 4u);
    EXPECT_EQ(asAll[1], asExpected[1]);
    EXPECT_EQ(asAll[2], "Seed block number 000001");
    EXPECT_EQ(tSegment(w).nSampleCount, 5000);
    EXPECT_DOUBLE_EQ(tSegment(w).tStart, T + 200.0);

    const std::string sFlush = sCaptureStdout([&] { w.vFlushAll(); });
    EXPECT_EQ(asLinesStartingWith(sFlush, "vSetHeaderTime"),
              (std::vector<std::string>{"vSetHeaderTime 00:03:19-0500 061.2004"}));
    EXPECT_EQ(tSegment(w).nSampleCount, 0);

    // Every sample is in the file, records numbered without gaps.
    const std::string sFile = out.sContent();
    ASSERT_EQ(sFile.size() % 512, 0u);
    const int nRecords = static_cast<int>(sFile.size() / 512);
    EXPECT_EQ(nRecords, w.nGetNextBlock() - 1);
    int nTotal = 0;
    for (int k = 0; k < nRecords; ++k) {
        char szSeq[8];
        std::snprintf(szSeq, sizeof szSeq, "%06d", k + 1);
        EXPECT_EQ(sRecordText(sFile, k, 0, 6), szSeq);
        nTotal += nRecordU16(sFile, k, 30);
    }
    EXPECT_EQ(nTotal, 25000);
}

TEST(SeedWriterChunks, NoSamplesPrintNothingAndCreateNothing) {
    CSeedWriter w(-1);
    EXPECT_EQ(sCaptureStdout([&] { w.vAddSamples("ABC", "BHZ", 100.0, T, 0, nullptr); }), "");
    EXPECT_EQ(w.nGetStationCount(), 0);
}

TEST(SeedWriterContinuity, ContiguousCallsMergeOnlyUpTo9900) {
    const std::vector<int32_t> an = anRamp(5000);
    {
        CSeedWriter w(-1);
        const std::string sOut = sCaptureStdout([&] {
            w.vAddSamples("ABC", "BHZ", 100.0, T, 4000, an.data());
            w.vAddSamples("ABC", "BHZ", 100.0, T + 40.0, 4000, an.data());
        });
        EXPECT_TRUE(asLinesStartingWith(sOut, "Seed block").empty());
        EXPECT_EQ(tSegment(w).nSampleCount, 8000);
        EXPECT_DOUBLE_EQ(tSegment(w).tStart, T);
        EXPECT_DOUBLE_EQ(tSegment(w).dDuration, 80.0);
        EXPECT_EQ(tSegment(w).anBuffer[4000], an[0]);
    }
    {
        ScratchOutputFile out;
        CSeedWriter w(out.nFd());
        const std::string sOut = sCaptureStdout([&] {
            w.vAddSamples("ABC", "BHZ", 100.0, T, 5000, an.data());
            w.vAddSamples("ABC", "BHZ", 100.0, T + 50.0, 5000, an.data());
        });
        EXPECT_EQ(asLinesStartingWith(sOut, "Seed block number"),
                  (std::vector<std::string>{"Seed block number 000001"}));
        EXPECT_EQ(tSegment(w).nSampleCount, 5000);
        EXPECT_DOUBLE_EQ(tSegment(w).tStart, T + 50.0);
    }
}

TEST(SeedWriterContinuity, GapsUpToOnePeriodContinueLongerGapsAndOverlapsRestart) {
    // 64 samples per second: every time below is exact in binary.
    const double dRate = 64.0, dPeriod = 1.0 / 64.0;
    const EpochTime t0 = 1078099200.0;
    const std::vector<int32_t> an = anRamp(64);
    struct Case {
        double dOffset;  // start of the second call after the first one's end
        bool bContinues;
    } aCases[] = {{0.0, true}, {dPeriod, true}, {1.5 * dPeriod, false}, {-1.5 * dPeriod, false}};
    for (const Case& c : aCases) {
        SCOPED_TRACE(c.dOffset);
        ScratchOutputFile out;
        CSeedWriter w(out.nFd());
        const std::string sOut = sCaptureStdout([&] {
            w.vAddSamples("ABC", "BHZ", dRate, t0, 64, an.data());
            w.vAddSamples("ABC", "BHZ", dRate, t0 + 1.0 + c.dOffset, 64, an.data());
        });
        EXPECT_EQ(tSegment(w).nSampleCount, c.bContinues ? 128 : 64);
        EXPECT_EQ(tSegment(w).tStart, c.bContinues ? t0 : t0 + 1.0 + c.dOffset);
        EXPECT_EQ(asLinesStartingWith(sOut, "Seed block number").size(), c.bContinues ? 0u : 1u);
        EXPECT_EQ(out.sContent().size(), c.bContinues ? 0u : 512u);
    }
}

TEST(SeedWriterContinuity, AnEmptySegmentTakesTheChunksOwnStart) {
    // Within one period of time 0 the chunk must not be taken as continuing
    // the empty segment, whose start reads 0.
    const std::vector<int32_t> an = anRamp(10);
    CSeedWriter w(-1);
    sCaptureStdout([&] { w.vAddSamples("ABC", "BHZ", 100.0, 0.005, 10, an.data()); });
    EXPECT_EQ(tSegment(w).tStart, 0.005);
    EXPECT_EQ(tSegment(w).nSampleCount, 10);
}

TEST(SeedWriterContinuity, RatesOfOneOrLessNeverAppend) {
    const std::vector<int32_t> an = anRamp(10);
    for (double dRate : {1.0, 0.5}) {
        SCOPED_TRACE(dRate);
        ScratchOutputFile out;
        CSeedWriter w(out.nFd());
        sCaptureStdout([&] {
            w.vAddSamples("ABC", "LHZ", dRate, T, 10, an.data());
            w.vAddSamples("ABC", "LHZ", dRate, T + 10 / dRate, 10, an.data());
        });
        EXPECT_EQ(tSegment(w).nSampleCount, 10);
        EXPECT_EQ(tSegment(w).tStart, T + 10 / dRate);
        const std::string sFile = out.sContent();
        ASSERT_EQ(sFile.size(), 512u);
        EXPECT_EQ(nRecordU16(sFile, 0, 30), 10);
        // The factor is the rate truncated to a whole number, multiplier 1.
        EXPECT_EQ(nRecordU16(sFile, 0, 32), dRate == 1.0 ? 1 : 0);
        EXPECT_EQ(nRecordU16(sFile, 0, 34), 1);
    }
}

TEST(SeedWriterContinuity, ANewRateCountsForTheChunkThatBringsIt) {
    const std::vector<int32_t> an = anRamp(100);
    ScratchOutputFile out;
    CSeedWriter w(out.nFd());
    sCaptureStdout([&] {
        w.vAddSamples("ABC", "BHZ", 100.0, T, 100, an.data());
        // Contiguous at 100 sps, but at the new rate of 1.0 it must not append.
        w.vAddSamples("ABC", "BHZ", 1.0, T + 1.0, 100, an.data());
    });
    EXPECT_EQ(tSegment(w).dSampleRate, 1.0);
    EXPECT_EQ(tSegment(w).nSampleCount, 100);
    EXPECT_EQ(tSegment(w).tStart, T + 1.0);
}

TEST(SeedWriterNames, LookupIgnoresCaseAndKeepsTheFirstForm) {
    ScratchOutputFile out;
    const std::vector<int32_t> an = anRamp(100);
    CSeedWriter w(out.nFd());
    sCaptureStdout([&] {
        w.vAddSamples("abc", "bhz", 100.0, T, 100, an.data());
        w.vAddSamples("ABC", "BHZ", 100.0, T + 1.0, 100, an.data());
        w.vAddSamples("Abc", "Bhn", 100.0, T, 100, an.data());
        w.vAddSamples("XYZ", "BHZ", 100.0, T, 100, an.data());
    });
    ASSERT_EQ(w.nGetStationCount(), 2);
    EXPECT_STREQ(w.pGetStation(0)->strName.szGetText(), "abc");
    ASSERT_EQ(w.pGetStation(0)->nGetChannelCount(), 2);
    EXPECT_STREQ(tSegment(w, 0, 0).strName.szGetText(), "bhz");
    EXPECT_EQ(tSegment(w, 0, 0).nSampleCount, 200);
    EXPECT_EQ(w.nFindStation("XYZ"), 1);
    EXPECT_EQ(w.nFindChannel(0, "BHN", 5.0), 1);
    EXPECT_EQ(tSegment(w, 0, 1).dSampleRate, 100.0);  // lookup leaves the rate alone

    // vFlushAll goes station by station, channel by channel.
    sCaptureStdout([&] { w.vFlushAll(); });
    const std::string sFile = out.sContent();
    ASSERT_EQ(sFile.size(), 3 * 512u);
    EXPECT_EQ(sRecordText(sFile, 0, 8, 10), "abc    BHZ");
    EXPECT_EQ(sRecordText(sFile, 1, 8, 10), "abc    BHN");
    EXPECT_EQ(sRecordText(sFile, 2, 8, 10), "XYZ    BHZ");
    EXPECT_EQ(sRecordText(sFile, 2, 0, 6), "000003");
}

TEST(SeedWriterLifetime, DestroyingAWriterWithHeldSamplesWritesNothing) {
    ScratchOutputFile out;
    const std::vector<int32_t> an = anRamp(500);
    const std::string sOut = sCaptureStdout([&] {
        CSeedWriter w(out.nFd());
        w.vAddSamples("ABC", "BHZ", 100.0, T, 500, an.data());
    });
    EXPECT_EQ(asLines(sOut).size(), 1u);
    EXPECT_EQ(out.sContent(), "");
}

}  // namespace
