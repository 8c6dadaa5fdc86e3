// Our Steim-2 reader: header fields and samples of known records, each check
// a careful reader makes firing on a record broken in that one way, and
// arbitrary bytes read without a fault.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "SignalGenerators.h"
#include "Steim2TestSupport.h"
#include "mseed/ByteOrder.h"
#include "mseed/Steim2Decoder.h"

namespace {

using steim2test::Encoded;
using steim2test::tEncode;
using steim2test::tTemplate;

std::vector<unsigned char> acBytes(const Encoded& e) {
    return std::vector<unsigned char>(e.pBytes(), e.pBytes() + 512 * e.nRecords);
}

void vPutBig32(std::vector<unsigned char>& ac, size_t nOffset, uint32_t n) {
    n = nToBig32(n);
    std::memcpy(ac.data() + nOffset, &n, 4);
}

DecodedRecord tDecodeOne(const std::vector<unsigned char>& ac) {
    const std::vector<DecodedRecord> at = atDecodeRecords(ac.data(), ac.size());
    EXPECT_EQ(at.size(), 1u);
    return at.empty() ? DecodedRecord{} : at[0];
}

TEST(Steim2Decoder, ReadsHeaderFieldsAndSamplesOfARecord) {
    const std::vector<int32_t> an = {0, 1, 2, 3, 4, 5, 6, 7, 100, -20000, 20000, 19999};
    const DecodedRecord r = tDecodeOne(acBytes(tEncode(an, tTemplate("000041"))));
    EXPECT_EQ(r.sError, "");
    EXPECT_EQ(r.nSequenceNumber, 41);
    EXPECT_EQ(r.tHeader.Data_header_indicator, 'D');
    EXPECT_EQ(r.sStation, "ABC");
    EXPECT_EQ(r.sLocation, "");
    EXPECT_EQ(r.sChannel, "BHZ");
    EXPECT_EQ(r.sNetwork, "");
    EXPECT_EQ(r.tHeader.Record_start_time.year, 2004);
    EXPECT_EQ(r.tHeader.Record_start_time.day, 60);
    EXPECT_EQ(r.tHeader.Record_start_time.fract, 5000);
    EXPECT_EQ(r.tHeader.Number_of_samples, an.size());
    EXPECT_EQ(r.tHeader.Sample_rate_factor, 100);
    EXPECT_EQ(r.tHeader.Sample_rate_multiplier, 1);
    EXPECT_EQ(r.tHeader.Beginning_of_data, 64);
    EXPECT_EQ(r.tHeader.First_blockette, 48);
    ASSERT_TRUE(r.bHasBlockette1000);
    EXPECT_EQ(r.tBlockette1000.Blockette_type, 1000);
    EXPECT_EQ(r.tBlockette1000.Encoding_format, 11);
    EXPECT_EQ(r.tBlockette1000.Data_record_length, 9);
    EXPECT_EQ(r.nX0, 0);
    EXPECT_EQ(r.nXn, 19999);
    EXPECT_EQ(r.anSamples, an);
    EXPECT_DOUBLE_EQ(dRecordRate(r), 100.0);
    EXPECT_DOUBLE_EQ(tRecordStart(r), 1078099199.5);
    EXPECT_DOUBLE_EQ(tRecordLastSample(r), 1078099199.5 + 0.11);
}

TEST(Steim2Decoder, GivesEachRecordsFirstDifferenceAgainstThePreviousRecord) {
    std::vector<int32_t> an(104);
    for (size_t i = 0; i < an.size(); ++i) an[i] = (i % 2 == 0) ? 20000 : 0;
    const Encoded e = tEncode(an);
    const std::vector<DecodedRecord> at = atDecodeRecords(e.pBytes(), 512 * 2);
    ASSERT_EQ(at.size(), 2u);
    EXPECT_EQ(at[0].nFirstDifference, 20000);
    EXPECT_EQ(at[1].nOffset, 512u);
    EXPECT_EQ(at[1].nFirstDifference, -20000);
    EXPECT_EQ(at[1].anSamples, std::vector<int32_t>{0});
}

TEST(Steim2Decoder, ReportsEachBrokenRuleAsTextForThatRecord) {
    const std::vector<unsigned char> acGood = acBytes(tEncode({5, 6, 7, 100, 1000, 30000}));
    struct Case {
        const char* szExpect;
        void (*fnBreak)(std::vector<unsigned char>&);
    };
    const Case aCases[] = {
        {"no blockette 1000", [](std::vector<unsigned char>& ac) { ac[49] = 0xE9; }},
        {"no blockette 1000", [](std::vector<unsigned char>& ac) { ac[47] = 56; }},
        {"not Steim-2", [](std::vector<unsigned char>& ac) { ac[52] = 10; }},
        {"word order", [](std::vector<unsigned char>& ac) { ac[53] = 0; }},
        {"record length", [](std::vector<unsigned char>& ac) { ac[54] = 12; }},
        {"header says 7 samples", [](std::vector<unsigned char>& ac) { ac[31] = 7; }},
        {"differs from Xn", [](std::vector<unsigned char>& ac) { vPutBig32(ac, 72, 29999); }},
        {"invalid sub-code", [](std::vector<unsigned char>& ac) { ac[80] = 0x00; }},  // code 2, 00
        {"invalid sub-code",
         [](std::vector<unsigned char>& ac) {
             vPutBig32(ac, 64, 0x03000000);
             ac[76] = 0xC0;
         }},
        {"sequence number", [](std::vector<unsigned char>& ac) { ac[2] = 'x'; }},
        {"data header indicator", [](std::vector<unsigned char>& ac) { ac[6] = 'Z'; }},
        {"invalid start time", [](std::vector<unsigned char>& ac) { ac[24] = 24; }},
        {"beginning of data", [](std::vector<unsigned char>& ac) { ac[45] = 0x50; }},
        {"integration constant", [](std::vector<unsigned char>& ac) { ac[64] |= 0x10; }},
    };
    EXPECT_EQ(tDecodeOne(acGood).sError, "");
    for (const Case& c : aCases) {
        std::vector<unsigned char> ac = acGood;
        c.fnBreak(ac);
        const DecodedRecord r = tDecodeOne(ac);
        EXPECT_NE(r.sError.find(c.szExpect), std::string::npos)
            << "expected \"" << c.szExpect << "\", got \"" << r.sError << "\"";
    }
}

TEST(Steim2Decoder, ShortTailIsARecordWithAnError) {
    std::vector<unsigned char> ac = acBytes(tEncode({1, 2, 3}));
    ac.resize(512 + 40, 0);
    const std::vector<DecodedRecord> at = atDecodeRecords(ac.data(), ac.size());
    ASSERT_EQ(at.size(), 2u);
    EXPECT_EQ(at[0].sError, "");
    EXPECT_NE(at[1].sError.find("too short"), std::string::npos);
    EXPECT_NE(tDecodeRecord(ac.data(), 200).sError.find("512"), std::string::npos);
    EXPECT_TRUE(atDecodeRecords(ac.data(), 0).empty());
}

TEST(Steim2Decoder, ArbitraryBytesNeverFault) {
    // Random records and single-byte mutations of a valid one; the sanitizer
    // build turns any read outside the record into a failure.
    const std::vector<unsigned char> acGood =
        acBytes(tEncode(std::vector<int32_t>{1, -7, 300, 20000, -20000, 5, 5, 5, 9, 12}));
    CSignalRng rng(7);
    size_t nErrors = 0;
    for (int n = 0; n < 3000; ++n) {
        std::vector<unsigned char> ac = acGood;
        if (n % 3 == 0) {
            for (auto& c : ac) c = static_cast<unsigned char>(rng.nNext());
            if (n % 2 == 0) {  // keep a plausible header, so the frames get decoded
                std::copy(acGood.begin(), acGood.begin() + 64, ac.begin());
                ac[30] = static_cast<unsigned char>(rng.nNext() % 3);
            }
        } else {
            for (int k = 0; k < 1 + n % 4; ++k)
                ac[rng.nNext() % 512] ^= static_cast<unsigned char>(1 + rng.nNext() % 255);
        }
        const size_t nLen = n % 17 == 0 ? rng.nNext() % 512 : 512;
        const std::vector<DecodedRecord> at = atDecodeRecords(ac.data(), nLen);
        for (const DecodedRecord& r : at) {
            nErrors += r.sError.empty() ? 0 : 1;
            EXPECT_LE(r.anSamples.size(), 735u);
            if (r.sError.empty()) {
                EXPECT_EQ(r.anSamples.size(), r.tHeader.Number_of_samples);
            }
        }
    }
    EXPECT_GT(nErrors, 1000u);
}

}  // namespace
