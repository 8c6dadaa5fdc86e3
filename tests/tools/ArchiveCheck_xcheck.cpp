// mseed-inspect --sds on day files that libmseed wrote, as another writer
// of an archive would: other encodings, record lengths and byte orders,
// blockettes 100 and 1001 in the chain. Times a microsecond apart must be
// told apart, so the microseconds of blockette 1001 must be read wherever
// the chain puts it.
#include <gtest/gtest.h>
#include <libmseed.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "support/Process.h"
#include "support/TempDir.h"

namespace {

// Records of one run of samples, as libmseed packs them.
struct Batch {
    hptime_t nStart;  // microseconds since 1970
    double dRate;
    int nSamples;
    int nRecordLength;
    int8_t nEncoding;
    int8_t nByteOrder;  // 0 little-endian, 1 big-endian
};

void vAppendRecord(char* p, int nLength, void* pOut) {
    static_cast<std::string*>(pOut)->append(p, static_cast<size_t>(nLength));
}

// The records of b, of XX.ABC..HHZ, with a blockette 100 giving the rate.
std::string sPack(const Batch& b) {
    std::vector<int32_t> an(static_cast<size_t>(b.nSamples));
    for (size_t i = 0; i < an.size(); ++i) an[i] = static_cast<int32_t>(i % 50) - 25;
    MSRecord* pMsr = msr_init(nullptr);
    std::strcpy(pMsr->network, "XX");
    std::strcpy(pMsr->station, "ABC");
    std::strcpy(pMsr->channel, "HHZ");
    pMsr->dataquality = 'D';
    pMsr->starttime = b.nStart;
    pMsr->samprate = b.dRate;
    pMsr->reclen = b.nRecordLength;
    pMsr->encoding = b.nEncoding;
    pMsr->byteorder = b.nByteOrder;
    pMsr->datasamples = an.data();
    pMsr->numsamples = b.nSamples;
    pMsr->sampletype = 'i';
    // Blockettes 100 and 1001 come first in the chain, then the 1000 that
    // libmseed adds; it writes the microseconds into the 1001.
    blkt_100_s t100{};
    t100.samprate = static_cast<float>(b.dRate);
    msr_addblockette(pMsr, reinterpret_cast<char*>(&t100), sizeof t100, 100, 0);
    blkt_1001_s t1001{};
    msr_addblockette(pMsr, reinterpret_cast<char*>(&t1001), sizeof t1001, 1001, 0);
    std::string s;
    int64_t nPacked = 0;
    EXPECT_GT(msr_pack(pMsr, vAppendRecord, &s, &nPacked, 1, 0), 0);
    EXPECT_EQ(nPacked, b.nSamples);
    pMsr->datasamples = nullptr;
    msr_free(&pMsr);
    return s;
}

constexpr hptime_t nMarch1 = 1709251200LL * 1000000;  // 2024-03-01 00:00:00 UTC, day 061

TEST(ArchiveCheckXcheck, RecordsOfAnotherWriterAreReadFromTheirHeaders) {
    const struct {
        const char* szName;
        std::vector<Batch> atBatches;
        std::string sProblem;  // after "PATH: "; "" for a sound file
    } aRows[] = {
        // The last starts 40 us before midnight, which the header's ticks
        // round to midnight: only its blockette 1001 keeps it in its day.
        {"little-endian, 32-bit integers, 4096 bytes",
         {{nMarch1, 10000, 1000, 4096, DE_INT32, 0},
          {nMarch1 + 86399999960LL, 10000, 1, 4096, DE_INT32, 0}},
         ""},
        {"Steim-1, 256 bytes, over midnight",
         {{nMarch1 + 86399500000LL, 100, 100, 256, DE_STEIM1, 1}},
         "record 1 runs over midnight, from 2024-03-01 23:59:59.500000 UTC to its last sample at "
         "2024-03-02 00:00:00.490000 UTC"},
        {"a span repeated to the microsecond",
         {{nMarch1 + 30, 10000, 10, 512, DE_INT32, 0}, {nMarch1 + 30, 10000, 10, 512, DE_INT32, 1}},
         "record 2 repeats the span of record 1, 2024-03-01 00:00:00.000030 UTC to 2024-03-01 "
         "00:00:00.001030 UTC"},
        {"Steim-2 of 512 bytes, then integers of 1024",
         {{nMarch1, 100, 300, 512, DE_STEIM2, 1}, {nMarch1 + 3000000, 100, 100, 1024, DE_INT32, 0}},
         "records of 512 and 1024 bytes (record 2 the first of 1024)"},
    };
    const std::string sDayFile = "2024/XX/ABC/HHZ.D/XX.ABC..HHZ.D.2024.061";
    for (const auto& row : aRows) {
        TempDir tDir;
        std::filesystem::create_directories(tDir.sFile("2024/XX/ABC/HHZ.D"));
        std::string sRecords;
        for (const Batch& b : row.atBatches) sRecords += sPack(b);
        vWriteFile(tDir.sFile(sDayFile), sRecords);
        const ProcessResult p = tRunProcess(MSEED_INSPECT_PROGRAM, {"--sds", tDir.sPath()});
        EXPECT_EQ(p.nExitStatus, row.sProblem.empty() ? 0 : 1) << row.szName << "\n" << p.sStderr;
        const std::string sSummary = tDir.sPath() + ": 1 day file checked, " +
                                     (row.sProblem.empty() ? "0" : "1") + " with problems\n";
        EXPECT_EQ(p.sStdout,
                  (row.sProblem.empty() ? "" : tDir.sFile(sDayFile) + ": " + row.sProblem + "\n") +
                      sSummary)
            << row.szName;
    }
}

}  // namespace
