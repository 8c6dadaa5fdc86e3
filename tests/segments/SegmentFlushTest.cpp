// Segment flush: record numbering across flushes, the header template and
// the worked record start, channel translation, start time in the header
// and on the console, cut names, and failed or short writes.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <vector>

#include "SegmentTestSupport.h"
#include "segments/SeedWriter.h"
#include "segments/SegmentFlush.h"

namespace {

const EpochTime T = 1078099199.5;  // 2004, day 60, 23:59:59.500

// Differences of 100000 need a word each: 103 samples per full record.
std::vector<int32_t> anWide(int n) {
    std::vector<int32_t> an(n);
    for (int i = 0; i < n; ++i) an[i] = (i % 2) * 100000;
    return an;
}

TEST(SegmentFlush, EmptySegmentPrintsAndWritesNothing) {
    ScratchOutputFile out;
    CSeedWriter w(out.nFd());
    w.nFindChannel(w.nFindStation("ABC"), "BHZ", 100.0);
    EXPECT_EQ(sCaptureStdout([&] {
                  w.vFlushSegment(0, 0);
                  w.vFlushAll();
                  w.vFlushSegment(3, 7);  // no such segment
              }),
              "");
    EXPECT_EQ(w.nGetNextBlock(), 1);
    EXPECT_EQ(out.sContent(), "");
}

TEST(SegmentFlush, ConsoleLinesAndNumberingAcrossFlushes) {
    ScratchOutputFile out;
    const std::vector<int32_t> an = anWide(300);
    CSeedWriter w(out.nFd());
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
    const std::string sFile = out.sContent();
    ASSERT_EQ(sFile.size(), 4 * 512u);
    EXPECT_EQ(sRecordText(sFile, 0, 0, 6), "000001");
    EXPECT_EQ(sRecordText(sFile, 2, 0, 6), "000003");
    EXPECT_EQ(sRecordText(sFile, 3, 0, 6), "000004");
    EXPECT_EQ(w.nGetNextBlock(), 5);
}

TEST(SegmentFlush, WorkedRecordStartByteForByte) {
    ScratchOutputFile out;
    std::vector<int32_t> an(50);
    for (int i = 0; i < 50; ++i) an[i] = 32768 + i;
    {
        CSeedWriter w(out.nFd());
        sCaptureStdout([&] {
            w.vAddSamples("ABC", "BHZ", 100.0, T, 50, an.data());
            w.vFlushAll();
        });
        EXPECT_EQ(w.nWriteError(), 0);
    }
    const std::string sFile = out.sContent();
    ASSERT_EQ(sFile.size(), 512u);
    const unsigned char acExpected[64] = {
        0x30, 0x30, 0x30, 0x30, 0x30, 0x31, 0x44, 0x20, 0x41, 0x42, 0x43, 0x20, 0x20,
        0x20, 0x20, 0x42, 0x48, 0x5A, 0x20, 0x20, 0x07, 0xD4, 0x00, 0x3C, 0x17, 0x3B,
        0x3B, 0x00, 0x13, 0x88, 0x00, 50,   0x00, 0x64, 0x00, 0x01, 0x00, 0x00, 0x00,
        0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x40, 0x00, 0x30, 0x03, 0xE8, 0x00, 0x00,
        0x0B, 0x01, 0x09, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00};
    EXPECT_EQ(sFile.substr(0, 64), std::string(reinterpret_cast<const char*>(acExpected), 64));
}

TEST(SegmentFlush, TranslatesOnlyTheThreeBroadbandNames) {
    const char* aszCases[][2] = {{"bhz", "BHZ"}, {"Bhn", "BHN"}, {"BHE", "BHE"},
                                 {"HHZ", "HHZ"}, {"hhz", "hhz"}, {"bhzz", "bhzz"}};
    for (const auto& c : aszCases) {
        char szOut[8] = "xxxxxxx";
        vTranslateChannel(c[0], szOut);
        EXPECT_STREQ(szOut, c[1]);
    }
}

TEST(SegmentFlush, StartTimeIsRoundedToTheMillisecond) {
    SeedFixedHeader h;
    std::memset(&h, 0, sizeof h);
    h.Record_start_time.unused = 0x5A;  // not the start time's to touch
    const std::string sOut = sCaptureStdout([&] { vSetHeaderTime(&h, 1078099199.1237); });
    EXPECT_EQ(sOut, "vSetHeaderTime 23:59:59-0124 060.2004\n");
    EXPECT_EQ(h.Record_start_time.year, 2004);
    EXPECT_EQ(h.Record_start_time.day, 60);
    EXPECT_EQ(h.Record_start_time.hours, 23);
    EXPECT_EQ(h.Record_start_time.minutes, 59);
    EXPECT_EQ(h.Record_start_time.seconds, 59);
    EXPECT_EQ(h.Record_start_time.unused, 0x5A);
    EXPECT_EQ(h.Record_start_time.fract, 1240);
}

TEST(SegmentFlush, SequenceNumbersWrapAfter999999) {
    EXPECT_EQ(nSequenceDigits(1), 1);
    EXPECT_EQ(nSequenceDigits(999999), 999999);
    EXPECT_EQ(nSequenceDigits(1000000), 1);
    EXPECT_EQ(nSequenceDigits(1000001), 2);
    EXPECT_EQ(nSequenceDigits(1999999), 1);
}

TEST(SegmentFlush, LongNamesAreCutToTheirFieldsSilently) {
    ScratchOutputFile out;
    const std::vector<int32_t> an = anWide(10);
    CSeedWriter w(out.nFd());
    std::string sErr;
    sCaptureStdout([&] {
        testing::internal::CaptureStderr();
        w.vAddChunk("LONGSTATION", "LONGCH", 100.0, T, 10, an.data());
        w.vFlushAll();
        sErr = testing::internal::GetCapturedStderr();
    });
    EXPECT_EQ(sErr, "");  // the conversion run warns, naming the input
    const std::string sFile = out.sContent();
    ASSERT_EQ(sFile.size(), 512u);
    EXPECT_EQ(sRecordText(sFile, 0, 8, 12), "LONGS  LON  ");
}

TEST(SegmentFlush, FailedWriteIsKeptAndStopsFurtherWrites) {
    const std::vector<int32_t> an = anWide(300);
    {
        const int nFd = ::open("/dev/full", O_WRONLY);
        ASSERT_GE(nFd, 0);
        CSeedWriter w(nFd);
        const std::string sOut = sCaptureStdout([&] {
            w.vAddChunk("ABC", "BHZ", 100.0, T, 300, an.data());
            w.vFlushAll();
        });
        EXPECT_EQ(w.nWriteError(), ENOSPC);
        EXPECT_EQ(asLinesStartingWith(sOut, "Seed block counts").size(), 3u);
        EXPECT_EQ(w.nGetNextBlock(), 4);
        ::close(nFd);
    }
    {
        // A descriptor that cannot be written; once it fails, the writer stays
        // silent even when the descriptor number is made writable again.
        TempDir dir;
        vWriteFile(dir.sFile("ro"), "");
        const int nFd = ::open(dir.sFile("ro").c_str(), O_RDONLY);
        ASSERT_GE(nFd, 0);
        CSeedWriter w(nFd);
        sCaptureStdout([&] {
            w.vAddChunk("ABC", "BHZ", 100.0, T, 10, an.data());
            w.vFlushAll();
        });
        EXPECT_EQ(w.nWriteError(), EBADF);
        const int nWritable = ::open(dir.sFile("later").c_str(), O_WRONLY | O_CREAT, 0644);
        ASSERT_GE(nWritable, 0);
        ASSERT_EQ(::dup2(nWritable, nFd), nFd);
        const std::string sOut = sCaptureStdout([&] {
            w.vAddChunk("ABC", "BHZ", 100.0, T + 60.0, 10, an.data());
            w.vFlushAll();
        });
        EXPECT_EQ(sOut.rfind("Seed block number 000002\n", 0), 0u);
        EXPECT_EQ(w.nWriteError(), EBADF);
        EXPECT_EQ(sReadFile(dir.sFile("later")), "");
        ::close(nWritable);
        ::close(nFd);
    }
}

TEST(SegmentFlush, ShortWriteIsContinuedAndItsFailureKept) {
    // A file size limit of 1024 bytes lets the first write of 1536 bytes
    // through in part; the continuation then fails with EFBIG.
    ScratchOutputFile out;
    struct rlimit tOld;
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &tOld), 0);
    void (*pfnOld)(int) = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit tSmall = tOld;
    tSmall.rlim_cur = 1024;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &tSmall), 0);

    const std::vector<int32_t> an = anWide(300);
    CSeedWriter w(out.nFd());
    sCaptureStdout([&] {
        w.vAddChunk("ABC", "BHZ", 100.0, T, 300, an.data());
        w.vFlushAll();
    });
    setrlimit(RLIMIT_FSIZE, &tOld);
    std::signal(SIGXFSZ, pfnOld);

    EXPECT_EQ(w.nWriteError(), EFBIG);
    const std::string sFile = out.sContent();
    ASSERT_EQ(sFile.size(), 1024u);
    EXPECT_EQ(sRecordText(sFile, 1, 0, 6), "000002");
}

}  // namespace
