// Property tests of the encoder over many random runs of every signal kind
// and of random class mixes: the records read back by our decoder give the
// input exactly, numbered and timed by the rules; a run cut where a record
// ends gives exactly that many records, byte-equal to the longer run's.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "Steim2RoundTrip.h"
#include "Steim2Signals.h"
#include "Steim2TestSupport.h"
#include "mseed/Steim2Decoder.h"
#include "mseed/Steim2Rules.h"

namespace {

using namespace steim2test;

std::vector<RecordView> atReadBack(const Encoded& e) {
    std::vector<RecordView> at;
    const std::vector<DecodedRecord> aDecoded =
        atDecodeRecords(e.pBytes(), 512 * static_cast<size_t>(e.nRecords));
    int32_t nPrevLast = 0;
    for (const DecodedRecord& r : aDecoded) {
        EXPECT_EQ(r.sError, "") << "record at " << r.nOffset;
        // The difference chain runs on across records.
        EXPECT_EQ(r.nFirstDifference, static_cast<int32_t>(static_cast<uint32_t>(r.nX0) -
                                                           static_cast<uint32_t>(nPrevLast)));
        nPrevLast = r.nXn;
        at.push_back(RecordView{r.nSequenceNumber, r.sStation, r.sChannel,
                                std::llround(tRecordStart(r) * 1e4) * 100, dRecordRate(r),
                                r.anSamples});
    }
    return at;
}

size_t nRandomLength(CSignalRng& rng) {
    switch (rng.nNext() % 8) {
        case 0:
            return rng.nNext() % 20;
        case 1:
            return 721 * (1 + rng.nNext() % 4);  // fills records exactly for constant runs
        case 2:
            return 103 * (1 + rng.nNext() % 4) + rng.nNext() % 3;
        case 3:
            return rng.nNext() % 7000;
        default:
            return rng.nNext() % 2500;
    }
}

TEST(Steim2Property, EveryRunReadsBackExactlyThroughOurDecoder) {
    CSignalRng rng(2024);
    for (int n = 0; n < 600; ++n) {
        const RunKind eKind = aeAllRunKinds[n % 6];
        const size_t nCount = nRandomLength(rng);
        const std::vector<int32_t> an = anMakeRun(eKind, rng.nNext(), nCount);
        const RecordTemplate h = tRandomTemplate(rng);
        SCOPED_TRACE(sRunKindName(eKind) + " run " + std::to_string(n) + " of " +
                     std::to_string(nCount));
        const Encoded e = tEncode(an, h);
        ASSERT_LE(static_cast<size_t>(e.nRecords), (nCount + 102) / 103);
        vExpectRoundTrip(an, h, atReadBack(e));
        // Nothing is written past the last record.
        for (size_t i = 128 * static_cast<size_t>(e.nRecords); i < e.anWords.size(); ++i)
            ASSERT_EQ(e.anWords[i], 0u);
        if (HasFailure()) return;
    }
}

TEST(Steim2Property, RunCutWhereARecordEndsGivesTheSameRecordsAndNoMore) {
    CSignalRng rng(99);
    for (int n = 0; n < 120; ++n) {
        const RunKind eKind = aeAllRunKinds[n % 6];
        const std::vector<int32_t> an = anMakeRun(eKind, rng.nNext(), 3000);
        const RecordTemplate h = tRandomTemplate(rng);
        const Encoded eFull = tEncode(an, h);
        ASSERT_GE(eFull.nRecords, 2);
        const int nKeep =
            1 + static_cast<int>(rng.nNext() % static_cast<uint64_t>(eFull.nRecords - 1));
        size_t nCut = 0;
        for (int k = 0; k < nKeep; ++k) nCut += eFull.nSamples(k);
        SCOPED_TRACE(sRunKindName(eKind) + " cut after " + std::to_string(nKeep) + " records");
        const Encoded eCut =
            tEncode(std::vector<int32_t>(an.begin(), an.begin() + static_cast<long>(nCut)), h);
        ASSERT_EQ(eCut.nRecords, nKeep);
        ASSERT_EQ(std::memcmp(eCut.pBytes(), eFull.pBytes(), 512 * static_cast<size_t>(nKeep)), 0);
    }
}

}  // namespace

namespace {

using namespace steim2test;

// The fast encoder, as this CPU runs it and in its portable build, against
// the rules applied one sample at a time, on the whole output buffer (so
// also on what lies past the last record).
void vExpectSameAsLiteral(const std::vector<int32_t>& an, const RecordTemplate& h) {
    const Encoded eLiteral = tEncode(an, h, nCompressSteim2Literal);
    for (const auto pnEncoder : {nCompressSteim2, nCompressSteim2Portable}) {
        const Encoded eFast = tEncode(an, h, pnEncoder);
        ASSERT_EQ(eFast.nRecords, eLiteral.nRecords);
        ASSERT_EQ(eFast.anWords, eLiteral.anWords);
    }
}

TEST(Steim2FastPath, ByteEqualToTheLiteralRulesOnRandomRuns) {
    CSignalRng rng(4711);
    for (int n = 0; n < 900; ++n) {
        const RunKind eKind = aeAllRunKinds[n % 6];
        size_t nCount = nRandomLength(rng);
        if (n % 9 == 0)
            nCount = 1024 * (1 + rng.nNext() % 3) + rng.nNext() % 15 - 7;  // block edges
        const std::vector<int32_t> an = anMakeRun(eKind, rng.nNext(), nCount);
        SCOPED_TRACE(sRunKindName(eKind) + " run " + std::to_string(n) + " of " +
                     std::to_string(nCount));
        vExpectSameAsLiteral(an, tRandomTemplate(rng));
        if (HasFailure()) return;
    }
}

TEST(Steim2FastPath, ByteEqualWhereRecordsEndOnEveryPossibleSample) {
    // Every prefix of a class mix up to just past the second record's end,
    // so that the input ends at each position of a word, a frame and a record.
    const std::vector<int32_t> an = anClassMix(5, 1600);
    const RecordTemplate h = tTemplate();
    const Encoded eFull = tEncode(an, h, nCompressSteim2Literal);
    const size_t nEnd = std::min<size_t>(an.size(), eFull.nSamples(0) + eFull.nSamples(1) + 8);
    for (size_t n = 0; n <= nEnd; ++n) {
        SCOPED_TRACE("prefix of " + std::to_string(n));
        vExpectSameAsLiteral(std::vector<int32_t>(an.begin(), an.begin() + static_cast<long>(n)),
                             h);
        if (HasFailure()) return;
    }
}

TEST(Steim2FastPath, ByteEqualOnEveryShortRunOfClassBoundaries) {
    // All runs of up to 4 differences drawn from the class boundary values,
    // padded with class-1 differences on either side.
    std::vector<int32_t> anValues;
    for (int c = 1; c <= 7; ++c) {
        anValues.push_back(anClassMin[c]);
        anValues.push_back(anClassMax[c]);
    }
    anValues.push_back(-512);
    anValues.push_back(16384);
    const size_t nV = anValues.size();
    for (size_t nCode = 0; nCode < nV * nV * nV; ++nCode) {
        std::vector<int32_t> anDiffs = {1, -1, 0};
        for (size_t r = nCode, k = 0; k < 3; ++k, r /= nV) anDiffs.push_back(anValues[r % nV]);
        anDiffs.insert(anDiffs.end(), {3, 2, 1, 0, -3, 5, 6});
        std::vector<int32_t> an;
        int64_t x = 0;
        for (int32_t d : anDiffs) an.push_back(static_cast<int32_t>(x += d));
        for (size_t nCut = 3; nCut <= an.size(); nCut += 4) {
            vExpectSameAsLiteral(
                std::vector<int32_t>(an.begin(), an.begin() + static_cast<long>(nCut)),
                tTemplate());
        }
        if (HasFailure()) return;
    }
}

}  // namespace
