// Independent cross-check of the general record reader: libmseed packs
// records of other writers (every encoding we read, either byte order for
// header and data apart, blockettes 100, 1000 and 1001 in several chain
// orders, record lengths from 128 to 65536 bytes, time corrections), and
// tReadRecord must give exactly what libmseed unpacks from them: samples,
// start time, rate, codes, sequence number and length; and the samples and
// start time that were packed.
#include <gtest/gtest.h>
#include <libmseed.h>

#include <algorithm>
#include <bit>
#include <cstring>
#include <string>
#include <vector>

#include "Steim2Signals.h"
#include "mseed/ByteOrder.h"
#include "mseed/RecordReader.h"

namespace {

using Bytes = std::vector<unsigned char>;

std::vector<std::string> g_asLog;

void vCaptureLog(char* sz) {
    g_asLog.emplace_back(sz ? sz : "");
}

struct Packing {
    int nEncoding;             // DE_INT16, DE_INT32, DE_STEIM1 or DE_STEIM2
    int nHeaderOrder;          // 1 big-endian, 0 little-endian
    int nDataOrder;            // the same for the data and blockette 1000's word order
    int nRecordLength;         // bytes
    std::vector<int> anChain;  // blockette types in chain order
    double dRate;
    const char* szStart;      // the first sample's time
    int32_t nTimeCorrection;  // written into every record, in 0.0001 s
    bool bCorrectionApplied;  // activity flag 0x02
};

// nCount samples that take every width the encoding has, within 16 bits
// for DE_INT16.
std::vector<int32_t> anSamplesFor(int nEncoding, size_t nCount, uint32_t nSeed) {
    CSignalRng rng(nSeed);
    const int32_t nLimit = nEncoding == DE_INT16 ? 32767 : (1 << 28) - 1;
    std::vector<int32_t> an(nCount);
    int32_t x = 0;
    for (size_t i = 0; i < nCount; ++i) {
        const int c = 1 + static_cast<int>(rng.nNext() % 7);
        const int64_t y = int64_t{x} + steim2test::nRandomDiffOfClass(rng, c);
        x = static_cast<int32_t>(std::clamp<int64_t>(y, -nLimit, nLimit));
        an[i] = x;
    }
    return an;
}

void vKeepRecord(char* p, int n, void* pAll) {
    static_cast<std::vector<Bytes>*>(pAll)->emplace_back(p, p + n);
}

// Adds the chain's blockettes in order; blockette 1000 says what is packed.
void vAddChain(MSRecord* pMsr, const Packing& t) {
    for (int nType : t.anChain) {
        if (nType == 100) {
            blkt_100_s b{};
            b.samprate = static_cast<float>(t.dRate);
            msr_addblockette(pMsr, reinterpret_cast<char*>(&b), sizeof b, 100, 0);
        } else if (nType == 1000) {
            blkt_1000_s b{};
            b.encoding = static_cast<uint8_t>(t.nEncoding);
            b.byteorder = static_cast<uint8_t>(t.nDataOrder);
            b.reclen =
                static_cast<uint8_t>(std::countr_zero(static_cast<unsigned>(t.nRecordLength)));
            msr_addblockette(pMsr, reinterpret_cast<char*>(&b), sizeof b, 1000, 0);
        } else {
            blkt_1001_s b{};
            msr_addblockette(pMsr, reinterpret_cast<char*>(&b), sizeof b, 1001, 0);
        }
    }
}

// The records libmseed packs of an for t, time correction and flag set.
std::vector<Bytes> aacPack(const Packing& t, std::vector<int32_t>& an) {
    MSRecord* pMsr = msr_init(nullptr);
    std::strcpy(pMsr->network, "XX");
    std::strcpy(pMsr->station, "ABCDE");
    std::strcpy(pMsr->location, "00");
    std::strcpy(pMsr->channel, "HHZ");
    pMsr->dataquality = 'D';
    pMsr->starttime = ms_timestr2hptime(const_cast<char*>(t.szStart));
    pMsr->samprate = t.dRate;
    pMsr->reclen = t.nRecordLength;
    pMsr->encoding = static_cast<int8_t>(t.nEncoding);
    pMsr->byteorder = static_cast<int8_t>(t.nDataOrder);
    pMsr->datasamples = an.data();
    pMsr->numsamples = static_cast<int64_t>(an.size());
    pMsr->sampletype = 'i';
    vAddChain(pMsr, t);
    // libmseed writes the data in the record's byte order, and the header
    // swapped from the host's order where the forced header order differs
    // from the record's (the checks below make sure of the outcome).
    const int nHostBig = std::endian::native == std::endian::big ? 1 : 0;
    MS_PACKHEADERBYTEORDER(t.nDataOrder ^ t.nHeaderOrder ^ nHostBig);
    std::vector<Bytes> aac;
    int64_t nPacked = 0;
    EXPECT_GT(msr_pack(pMsr, vKeepRecord, &aac, &nPacked, 1, 0), 0);
    EXPECT_EQ(nPacked, static_cast<int64_t>(an.size()));
    MS_PACKHEADERBYTEORDER(-1);
    pMsr->datasamples = nullptr;
    msr_free(&pMsr);
    const bool bBig = t.nHeaderOrder == 1;
    // libmseed lays the chain out in order from byte 48.
    size_t nAt1000 = 48;
    for (size_t k = 0; t.anChain[k] != 1000; ++k) nAt1000 += t.anChain[k] == 100 ? 12 : 8;
    const uint32_t n = static_cast<uint32_t>(t.nTimeCorrection);
    for (Bytes& ac : aac) {
        const uint16_t nYear = nLoad16(ac.data() + 20, bBig);
        EXPECT_TRUE(nYear == 2024 || nYear == 2025) << "header order";
        EXPECT_EQ(ac[nAt1000 + 5], t.nDataOrder) << "blockette 1000 word order";
        for (int k = 0; k < 4; ++k)
            ac[40 + k] = static_cast<unsigned char>(n >> (bBig ? 24 - 8 * k : 8 * k));
        if (t.bCorrectionApplied) ac[36] |= 0x02;
    }
    return aac;
}

std::string sField(const char* p, size_t n) {
    std::string s(p, n);
    return s.substr(0, s.find_last_not_of(' ') + 1);
}

// tReadRecord against libmseed's unpacking of the same record.
void vExpectAsLibmseed(const Bytes& ac, const ReadRecord& r) {
    std::vector<char> acCopy(ac.begin(), ac.end());
    MSRecord* pMsr = nullptr;
    g_asLog.clear();
    const int nRc = msr_unpack(acCopy.data(), static_cast<int>(acCopy.size()), &pMsr, 1, 0);
    for (const std::string& s : g_asLog) ADD_FAILURE() << "libmseed: " << s;
    ASSERT_EQ(nRc, MS_NOERROR);
    EXPECT_EQ(r.sError, "");
    EXPECT_EQ(r.nLength, static_cast<size_t>(pMsr->reclen));
    EXPECT_EQ(r.nSequenceNumber, pMsr->sequence_number);
    EXPECT_EQ(r.nStartMicros, pMsr->starttime);
    EXPECT_EQ(r.bMicroseconds, pMsr->Blkt1001 != nullptr);
    EXPECT_EQ(r.dRate, msr_samprate(pMsr));
    EXPECT_EQ(sField(r.acCodes, 5), pMsr->station);
    EXPECT_EQ(sField(r.acCodes + 5, 2), pMsr->location);
    EXPECT_EQ(sField(r.acCodes + 7, 3), pMsr->channel);
    EXPECT_EQ(sField(r.acCodes + 10, 2), pMsr->network);
    const int32_t* pn = static_cast<const int32_t*>(pMsr->datasamples);
    EXPECT_EQ(r.anSamples, std::vector<int32_t>(pn, pn + pMsr->numsamples));
    msr_free(&pMsr);
}

TEST(RecordReaderXcheck, ReadsWhatLibmseedPacksAsLibmseedUnpacksIt) {
    ms_loginit(vCaptureLog, nullptr, vCaptureLog, nullptr);
    const char* szTick = "2024-03-01T10:20:30.123400";  // on a 0.0001 s tick
    const char* szMicro = "2024-12-31T23:59:58.987654";
    const Packing aRows[] = {
        {DE_STEIM2, 1, 1, 512, {1000}, 100, szTick, 0, false},
        {DE_STEIM2, 0, 0, 512, {1000, 1001}, 200, szMicro, 0, false},
        {DE_STEIM2, 1, 0, 4096, {1001, 1000}, 250, szMicro, 0, false},
        {DE_STEIM2, 0, 1, 128, {1000}, 10, szTick, 0, false},
        {DE_STEIM1, 1, 1, 256, {1000}, 20, szTick, 0, false},
        {DE_STEIM1, 0, 0, 1024, {100, 1000, 1001}, 0.125, szMicro, 0, false},
        {DE_STEIM1, 1, 1, 512, {1000, 1001}, 0.1, szMicro, 0, false},
        {DE_STEIM1, 0, 1, 512, {1000, 100}, 33.333, szTick, 0, false},
        {DE_INT32, 1, 1, 128, {1000}, 1, szTick, 0, false},
        {DE_INT32, 0, 0, 8192, {1001, 100, 1000}, 40, szMicro, 0, false},
        {DE_INT16, 1, 0, 256, {1000, 1001}, 50, szMicro, 0, false},
        {DE_INT16, 0, 0, 65536, {1000}, 5000, szTick, 0, false},
        {DE_STEIM2, 1, 1, 512, {1000, 1001}, 100, szMicro, -12345, false},
        {DE_STEIM2, 0, 0, 512, {1000}, 100, szTick, 987654, true},
    };
    uint32_t nSeed = 1;
    ReadRecord r;  // one for every record, its buffer reused as a survey reads
    for (const Packing& t : aRows) {
        SCOPED_TRACE("encoding " + std::to_string(t.nEncoding) + ", orders " +
                     std::to_string(t.nHeaderOrder) + std::to_string(t.nDataOrder) + ", " +
                     std::to_string(t.nRecordLength) + " bytes, rate " + std::to_string(t.dRate));
        std::vector<int32_t> an = anSamplesFor(t.nEncoding, 5000, nSeed++);
        const std::vector<Bytes> aac = aacPack(t, an);
        ASSERT_GE(aac.size(), t.nRecordLength < 65536 ? 2u : 1u);
        const int64_t nStart = ms_timestr2hptime(const_cast<char*>(t.szStart)) +
                               (t.bCorrectionApplied ? 0 : int64_t{t.nTimeCorrection} * 100);
        std::vector<int32_t> anRead;
        int64_t nNextMicros = nStart;
        for (const Bytes& ac : aac) {
            vReadRecord(r, ac.data(), ac.size());
            vExpectAsLibmseed(ac, r);
            // Each record starts where the samples before it end, to the
            // resolution (blockette 100 rates are float-exact here).
            EXPECT_LE(std::abs(r.nStartMicros - nNextMicros), r.bMicroseconds ? 1 : 100);
            nNextMicros = r.nStartMicros + nSampleOffsetMicros(r, std::ssize(r.anSamples));
            anRead.insert(anRead.end(), r.anSamples.begin(), r.anSamples.end());
        }
        EXPECT_EQ(anRead, an);
        if (HasFailure()) return;
    }
}

}  // namespace
