// Segment writer: chunking and its console lines, the continuity and flush
// rules, rates at or below 1, name lookup by case, dropping held samples;
// the flush: record numbering across flushes, its console lines, the worked
// record start byte for byte, and names cut to their fields; a writer kept
// to UTC days.
#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <string>
#include <vector>

#include "SegmentTestSupport.h"
#include "mseed/Steim2Decoder.h"
#include "segments/SeedWriter.h"
#include "timeconv/SampleTime.h"

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

// Differences of 100000 need a word each: 103 samples per full record.
std::vector<int32_t> anWide(int n) {
    std::vector<int32_t> an(n);
    for (int i = 0; i < n; ++i) an[i] = (i % 2) * 100000;
    return an;
}

TEST(SeedWriterChunks, A25000SampleRunIsCutInto10000_10000_5000) {
    WriterRig rig;
    const std::vector<int32_t> an = anRamp(25000);
    CSeedWriter w(rig.tSink, rig.tQueue);
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
    const std::string sFile = rig.tSink.sRecords;
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
    WriterRig rig;
    CSeedWriter w(rig.tSink, rig.tQueue);
    EXPECT_EQ(sCaptureStdout([&] { w.vAddSamples("ABC", "BHZ", 100.0, T, 0, nullptr); }), "");
    EXPECT_EQ(w.nGetStationCount(), 0);
}

TEST(SeedWriterContinuity, ContiguousCallsMergeOnlyUpTo9900) {
    const std::vector<int32_t> an = anRamp(5000);
    {
        WriterRig rig;
        CSeedWriter w(rig.tSink, rig.tQueue);
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
        WriterRig rig;
        CSeedWriter w(rig.tSink, rig.tQueue);
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
        WriterRig rig;
        CSeedWriter w(rig.tSink, rig.tQueue);
        const std::string sOut = sCaptureStdout([&] {
            w.vAddSamples("ABC", "BHZ", dRate, t0, 64, an.data());
            w.vAddSamples("ABC", "BHZ", dRate, t0 + 1.0 + c.dOffset, 64, an.data());
        });
        EXPECT_EQ(tSegment(w).nSampleCount, c.bContinues ? 128 : 64);
        EXPECT_EQ(tSegment(w).tStart, c.bContinues ? t0 : t0 + 1.0 + c.dOffset);
        EXPECT_EQ(asLinesStartingWith(sOut, "Seed block number").size(), c.bContinues ? 0u : 1u);
        EXPECT_EQ(rig.tSink.sRecords.size(), c.bContinues ? 0u : 512u);
    }
}

TEST(SeedWriterContinuity, AnEmptySegmentTakesTheChunksOwnStart) {
    // Within one period of time 0 the chunk must not be taken as continuing
    // the empty segment, whose start reads 0.
    const std::vector<int32_t> an = anRamp(10);
    WriterRig rig;
    CSeedWriter w(rig.tSink, rig.tQueue);
    sCaptureStdout([&] { w.vAddSamples("ABC", "BHZ", 100.0, 0.005, 10, an.data()); });
    EXPECT_EQ(tSegment(w).tStart, 0.005);
    EXPECT_EQ(tSegment(w).nSampleCount, 10);
}

TEST(SeedWriterContinuity, RatesOfOneOrLessNeverAppend) {
    const std::vector<int32_t> an = anRamp(10);
    for (double dRate : {1.0, 0.5}) {
        SCOPED_TRACE(dRate);
        WriterRig rig;
        CSeedWriter w(rig.tSink, rig.tQueue);
        sCaptureStdout([&] {
            w.vAddSamples("ABC", "LHZ", dRate, T, 10, an.data());
            w.vAddSamples("ABC", "LHZ", dRate, T + 10 / dRate, 10, an.data());
        });
        EXPECT_EQ(tSegment(w).nSampleCount, 10);
        EXPECT_EQ(tSegment(w).tStart, T + 10 / dRate);
        const std::string sFile = rig.tSink.sRecords;
        ASSERT_EQ(sFile.size(), 512u);
        EXPECT_EQ(nRecordU16(sFile, 0, 30), 10);
        // The factor is the rate truncated to a whole number, multiplier 1.
        EXPECT_EQ(nRecordU16(sFile, 0, 32), dRate == 1.0 ? 1 : 0);
        EXPECT_EQ(nRecordU16(sFile, 0, 34), 1);
    }
}

TEST(SeedWriterContinuity, ANewRateCountsForTheChunkThatBringsIt) {
    const std::vector<int32_t> an = anRamp(100);
    WriterRig rig;
    CSeedWriter w(rig.tSink, rig.tQueue);
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
    WriterRig rig;
    const std::vector<int32_t> an = anRamp(100);
    CSeedWriter w(rig.tSink, rig.tQueue);
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
    const std::string sFile = rig.tSink.sRecords;
    ASSERT_EQ(sFile.size(), 3 * 512u);
    EXPECT_EQ(sRecordText(sFile, 0, 8, 10), "abc    BHZ");
    EXPECT_EQ(sRecordText(sFile, 1, 8, 10), "abc    BHN");
    EXPECT_EQ(sRecordText(sFile, 2, 8, 10), "XYZ    BHZ");
    EXPECT_EQ(sRecordText(sFile, 2, 0, 6), "000003");
}

TEST(SeedWriterLifetime, DestroyingAWriterWithHeldSamplesWritesNothing) {
    WriterRig rig;
    const std::vector<int32_t> an = anRamp(500);
    const std::string sOut = sCaptureStdout([&] {
        CSeedWriter w(rig.tSink, rig.tQueue);
        w.vAddSamples("ABC", "BHZ", 100.0, T, 500, an.data());
    });
    EXPECT_EQ(asLines(sOut).size(), 1u);
    EXPECT_EQ(rig.tSink.sRecords, "");
}

TEST(SeedWriterFlush, EmptySegmentPrintsAndWritesNothing) {
    WriterRig rig;
    CSeedWriter w(rig.tSink, rig.tQueue);
    w.nFindChannel(w.nFindStation("ABC"), "BHZ", 100.0);
    EXPECT_EQ(sCaptureStdout([&] {
                  w.vFlushSegment(0, 0);
                  w.vFlushAll();
                  w.vFlushSegment(3, 7);  // no such segment
              }),
              "");
    EXPECT_EQ(w.nGetNextBlock(), 1);
    EXPECT_EQ(rig.tSink.sRecords, "");
}

TEST(SeedWriterFlush, ConsoleLinesAndNumberingAcrossFlushes) {
    WriterRig rig;
    const std::vector<int32_t> an = anWide(300);
    CSeedWriter w(rig.tSink, rig.tQueue);
    std::string sOut = sCaptureStdout([&] {
        w.vAddChunk("ABC", "BHZ", 100.0, T, 300, an.data());
        w.vFlushAll();
    });
    EXPECT_EQ(sOut,
              "Seed block number 000001\n"
              "vSetHeaderTime 23:59:59-0500 060.2004\n"
              "Seed block counts 103\n"
              "Seed block counts 103\n"
              "Seed block counts 94\n");
    EXPECT_EQ(w.nGetNextBlock(), 4);

    sOut = sCaptureStdout([&] {
        w.vAddChunk("ABC", "BHZ", 100.0, T + 10.0, 1, an.data());
        w.vFlushAll();
    });
    EXPECT_EQ(sOut,
              "Seed block number 000004\n"
              "vSetHeaderTime 00:00:09-0500 061.2004\n"
              "Seed block counts 1\n");
    const std::string sFile = rig.tSink.sRecords;
    ASSERT_EQ(sFile.size(), 4 * 512u);
    EXPECT_EQ(sRecordText(sFile, 0, 0, 6), "000001");
    EXPECT_EQ(sRecordText(sFile, 2, 0, 6), "000003");
    EXPECT_EQ(sRecordText(sFile, 3, 0, 6), "000004");
    EXPECT_EQ(w.nGetNextBlock(), 5);
}

TEST(SeedWriterFlush, WorkedRecordStartByteForByte) {
    WriterRig rig;
    std::vector<int32_t> an(50);
    for (int i = 0; i < 50; ++i) an[i] = 32768 + i;
    {
        CSeedWriter w(rig.tSink, rig.tQueue);
        sCaptureStdout([&] {
            w.vAddSamples("ABC", "BHZ", 100.0, T, 50, an.data());
            w.vFlushAll();
        });
    }
    const std::string sFile = rig.tSink.sRecords;
    ASSERT_EQ(sFile.size(), 512u);
    const unsigned char acExpected[64] = {
        0x30, 0x30, 0x30, 0x30, 0x30, 0x31, 0x44, 0x20, 0x41, 0x42, 0x43, 0x20, 0x20,
        0x20, 0x20, 0x42, 0x48, 0x5A, 0x20, 0x20, 0x07, 0xD4, 0x00, 0x3C, 0x17, 0x3B,
        0x3B, 0x00, 0x13, 0x88, 0x00, 50,   0x00, 0x64, 0x00, 0x01, 0x00, 0x00, 0x00,
        0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x40, 0x00, 0x30, 0x03, 0xE8, 0x00, 0x00,
        0x0B, 0x01, 0x09, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00};
    EXPECT_EQ(sFile.substr(0, 64), std::string(reinterpret_cast<const char*>(acExpected), 64));
}

TEST(SeedWriterFlush, LongNamesAreCutToTheirFieldsSilently) {
    WriterRig rig;
    const std::vector<int32_t> an = anWide(10);
    CSeedWriter w(rig.tSink, rig.tQueue);
    std::string sErr;
    sCaptureStdout([&] {
        testing::internal::CaptureStderr();
        w.vAddChunk("LONGSTATION", "LONGCH", 100.0, T, 10, an.data());
        w.vFlushAll();
        sErr = testing::internal::GetCapturedStderr();
    });
    EXPECT_EQ(sErr, "");  // the conversion run warns, naming the input
    const std::string sFile = rig.tSink.sRecords;
    ASSERT_EQ(sFile.size(), 512u);
    EXPECT_EQ(sRecordText(sFile, 0, 8, 12), "LONGS  LON  ");
}

}  // namespace

TEST(SeedWriterDays, SegmentsOverMidnightAreCutAtTheFirstSampleOfTheNextDay) {
    // 37.123457 s before New Year 2025; the runs cross midnight inside a
    // segment at every rate, held (vAddSamples) or fetched (vAddSamplesFrom).
    const int64_t nMidnight = int64_t{1735689600} * 1000000;
    const int64_t nStart = nMidnight - 37123457;
    for (const int32_t nRate : {1, 3, 7, 100, 6000}) {
        for (const bool bFetched : {false, true}) {
            const int nCount = 40 * nRate + 25000;
            const std::vector<int32_t> an = anRamp(nCount);
            WriterRig rig;
            sCaptureStdout([&] {
                CSeedWriter w(rig.tSink, rig.tQueue);
                w.vKeepToDays();
                const EpochTime tBegin = static_cast<double>(nStart) / 1e6;
                if (bFetched) {
                    w.vAddSamplesFrom("ABC", "HHZ", nRate, tBegin, nCount,
                                      [&an](int64_t nFirst, int n, int32_t* pn) {
                                          std::copy_n(an.begin() + nFirst, n, pn);
                                      });
                } else {
                    w.vAddSamples("ABC", "HHZ", nRate, tBegin, nCount, an.data());
                }
                w.vFlushAll();
            });
            const std::string sCase =
                "rate " + std::to_string(nRate) + (bFetched ? " fetched" : " held");
            const std::vector<DecodedRecord> at =
                atDecodeRecords(rig.tSink.sRecords.data(), rig.tSink.sRecords.size());
            ASSERT_EQ(rig.tSink.anDays.size(), at.size()) << sCase;
            std::vector<int32_t> anBack;
            int32_t anNext[2] = {1, 1};  // the next number on each day
            for (size_t k = 0; k < at.size(); ++k) {
                const int64_t nFirst = static_cast<int64_t>(anBack.size());
                const int64_t nLast = nFirst + static_cast<int64_t>(at[k].anSamples.size()) - 1;
                const int64_t nDay = nDayOf(tSampleTime(nStart, nFirst, nRate));
                EXPECT_EQ(rig.tSink.anDays[k], nDay) << sCase << " record " << k;
                EXPECT_EQ(nDayOf(tSampleTime(nStart, nLast, nRate)), nDay)
                    << sCase << " record " << k;
                ASSERT_TRUE(nDay == 20088 || nDay == 20089) << sCase;
                EXPECT_EQ(at[k].nSequenceNumber, anNext[nDay - 20088]++)
                    << sCase << " record " << k;
                anBack.insert(anBack.end(), at[k].anSamples.begin(), at[k].anSamples.end());
            }
            EXPECT_EQ(anBack, an) << sCase;
            EXPECT_GT(anNext[0], 1) << sCase;
            EXPECT_GT(anNext[1], 1) << sCase;
        }
    }
}
