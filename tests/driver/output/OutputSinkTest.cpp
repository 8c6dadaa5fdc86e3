// The output sink's writes: a failed write is kept and stops all later
// writes, and a short write is continued until it fails.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <csignal>
#include <cstring>
#include <string>

#include "driver/output/OutputSink.h"
#include "support/TempDir.h"

namespace {

// Three 512-byte records, each filled with its own letter.
std::string sThreeRecords() {
    return std::string(512, 'a') + std::string(512, 'b') + std::string(512, 'c');
}

void vPut(COutputSink& tSink, const std::string& s) {
    tSink.vPutRecords(reinterpret_cast<const unsigned char*>(s.data()), s.size() / 512, 0);
}

TEST(OutputSink, FailedWriteIsKeptAndStopsFurtherWrites) {
    std::string sError;
    {
        COutputSink tSink;
        ASSERT_EQ(tSink.eOpen("/dev/full", sError), OutputOpening::Opened) << sError;
        vPut(tSink, sThreeRecords());
        EXPECT_FALSE(tSink.bFlush(sError));
        EXPECT_EQ(sError, std::strerror(ENOSPC));
    }
    // A descriptor that cannot be written; once it fails, the sink stays
    // silent even when the descriptor number is made writable again.
    TempDir dir;
    COutputSink tSink;
    ASSERT_EQ(tSink.eOpen(dir.sFile("out.mseed"), sError), OutputOpening::Opened) << sError;
    vWriteFile(dir.sFile("ro"), "");
    const int nReadOnly = ::open(dir.sFile("ro").c_str(), O_RDONLY);
    ASSERT_GE(nReadOnly, 0);
    ASSERT_EQ(::dup2(nReadOnly, tSink.tFile().nFile()), tSink.tFile().nFile());
    vPut(tSink, sThreeRecords());
    sError.clear();
    EXPECT_FALSE(tSink.bFlush(sError));
    EXPECT_EQ(sError, std::strerror(EBADF));
    const int nWritable = ::open(dir.sFile("later").c_str(), O_WRONLY | O_CREAT, 0644);
    ASSERT_GE(nWritable, 0);
    ASSERT_EQ(::dup2(nWritable, tSink.tFile().nFile()), tSink.tFile().nFile());
    vPut(tSink, sThreeRecords());
    EXPECT_FALSE(tSink.bFlush(sError));
    EXPECT_EQ(sReadFile(dir.sFile("later")), "");
    ::close(nWritable);
    ::close(nReadOnly);
}

TEST(OutputSink, ShortWriteIsContinuedAndItsFailureKept) {
    // A file size limit of 1024 bytes lets the write of 1536 bytes through
    // in part; the continuation then fails with EFBIG.
    TempDir dir;
    struct rlimit tOld;
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &tOld), 0);
    void (*pfnOld)(int) = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit tSmall = tOld;
    tSmall.rlim_cur = 1024;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &tSmall), 0);

    std::string sError;
    bool bFlushed = true;
    {
        COutputSink tSink;
        if (tSink.eOpen(dir.sFile("out.mseed"), sError) == OutputOpening::Opened) {
            vPut(tSink, sThreeRecords());
            bFlushed = tSink.bFlush(sError);
        }
    }
    setrlimit(RLIMIT_FSIZE, &tOld);
    std::signal(SIGXFSZ, pfnOld);

    EXPECT_FALSE(bFlushed);
    EXPECT_EQ(sError, std::strerror(EFBIG));
    EXPECT_EQ(sReadFile(dir.sFile("out.mseed")), sThreeRecords().substr(0, 1024));
}

}  // namespace
