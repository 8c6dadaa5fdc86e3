// Round trip: many seeded random recordings from the synthetic writer read
// back through the header and section readers field for field, with their
// record times and the samples at the places the record layout gives.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <optional>
#include <random>
#include <string>

#include "RecordingReader.h"
#include "SyntheticRecording.h"

namespace {

using Rng = std::mt19937_64;

int nPick(Rng& rng, int nLow, int nHigh) {
    return std::uniform_int_distribution<int>(nLow, nHigh)(rng);
}

bool bChance(Rng& rng, double d) {
    return std::uniform_real_distribution<double>(0, 1)(rng) < d;
}

template <typename T>
void vRandomBytes(Rng& rng, T* p, size_t n) {
    auto* pb = reinterpret_cast<uint8_t*>(p);
    for (size_t i = 0; i < n; ++i) pb[i] = static_cast<uint8_t>(rng());
}

// A text without blanks at its ends, ";" or "[" at its start, or line ends.
std::string sRandomText(Rng& rng, int nMaxLength) {
    static const char szChars[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789_-.,# ";
    std::string s;
    const int n = nPick(rng, 1, nMaxLength);
    for (int i = 0; i < n; ++i) s.push_back(szChars[nPick(rng, 0, sizeof szChars - 2)]);
    while (!s.empty() && (s.back() == ' ')) s.pop_back();
    if (s.empty() || s.front() == ' ') s.insert(s.begin(), 'X');
    return s;
}

// The name in a random mixture of letter cases.
std::string sRandomCase(Rng& rng, std::string s) {
    for (char& c : s) {
        if (bChance(rng, 0.5)) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return s;
}

// Every field the file holds, random; the in-memory extras stay zero.
void vRandomFixedHeader(Rng& rng, RecorderHeader& h) {
    h = RecorderHeader{};
    h.nWord0 = static_cast<uint16_t>(rng());
    h.nWord2 = static_cast<uint16_t>(rng());
    vRandomBytes(rng, h.abReserved6, sizeof h.abReserved6);
    std::string sStation;
    const int nStation = nPick(rng, 0, 8);
    for (int i = 0; i < nStation; ++i) sStation.push_back(static_cast<char>(nPick(rng, 1, 255)));
    vSetStation(h, sStation);
    h.nValue78 = static_cast<uint32_t>(rng());
    h.nValue82 = static_cast<uint32_t>(rng());
    h.nValue86 = static_cast<uint32_t>(rng());
    h.nByte90 = static_cast<uint8_t>(rng());
    h.nByte91 = static_cast<uint8_t>(rng());
    h.nByte92 = static_cast<uint8_t>(rng());
    h.nStreamCount = static_cast<int8_t>(rng());
    vRandomBytes(rng, h.anWords94, sizeof h.anWords94);
    h.nChannelCount = static_cast<int8_t>(rng());
    vRandomBytes(rng, h.anChannelList, sizeof h.anChannelList);
    for (RecorderUnitEntry& u : h.aUnits) vRandomBytes(rng, &u, sizeof u);
    for (int i = 0; i < nRecorderFileStreams; ++i) {
        RecorderStream& s = h.aStreams[i];
        s.cType = static_cast<char>(rng());
        s.nRecSizeSec = static_cast<int8_t>(rng());
        s.nFileSizeSec = static_cast<uint16_t>(rng());
        s.nStreamChannels = static_cast<uint8_t>(rng());
        vRandomBytes(rng, s.sChannels, 16);
    }
    for (RecorderExtraEntry& x : h.aExtras) vRandomBytes(rng, &x, sizeof x);
    for (int i = 0; i < nRecorderFileChannels; ++i) {
        RecorderChannel& c = h.aChannels[i];
        c.bOn = static_cast<uint8_t>(rng());
        vRandomBytes(rng, c.sName, 8);
        c.nByte9 = static_cast<uint8_t>(rng());
        vRandomBytes(rng, c.anValues, sizeof c.anValues);
        c.nWord = static_cast<uint16_t>(rng());
    }
}

void vExpectSameFixedHeader(const RecorderHeader& a, const RecorderHeader& b) {
    EXPECT_EQ(a.nWord0, b.nWord0);
    EXPECT_EQ(a.nWord2, b.nWord2);
    EXPECT_EQ(a.nDataOffset, b.nDataOffset);
    EXPECT_EQ(0, std::memcmp(a.abReserved6, b.abReserved6, sizeof a.abReserved6));
    EXPECT_EQ(0, std::memcmp(a.sStation, b.sStation, sizeof a.sStation));
    EXPECT_EQ(a.nValue78, b.nValue78);
    EXPECT_EQ(a.nValue82, b.nValue82);
    EXPECT_EQ(a.nValue86, b.nValue86);
    EXPECT_EQ(a.nByte90, b.nByte90);
    EXPECT_EQ(a.nByte91, b.nByte91);
    EXPECT_EQ(a.nByte92, b.nByte92);
    EXPECT_EQ(a.nStreamCount, b.nStreamCount);
    EXPECT_EQ(0, std::memcmp(a.anWords94, b.anWords94, sizeof a.anWords94));
    EXPECT_EQ(a.nChannelCount, b.nChannelCount);
    EXPECT_EQ(0, std::memcmp(a.anChannelList, b.anChannelList, sizeof a.anChannelList));
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(0, std::memcmp(a.aUnits[i].abText, b.aUnits[i].abText, 40));
        EXPECT_EQ(a.aUnits[i].nWord, b.aUnits[i].nWord);
        EXPECT_EQ(a.aUnits[i].nByte1, b.aUnits[i].nByte1);
        EXPECT_EQ(a.aUnits[i].nByte2, b.aUnits[i].nByte2);
        EXPECT_EQ(0, std::memcmp(a.aUnits[i].abTail, b.aUnits[i].abTail, 16));
    }
    for (int i = 0; i < nRecorderStreamSlots; ++i) {
        EXPECT_EQ(a.aStreams[i].cType, b.aStreams[i].cType) << i;
        EXPECT_EQ(a.aStreams[i].nRecSizeSec, b.aStreams[i].nRecSizeSec) << i;
        EXPECT_EQ(a.aStreams[i].nFileSizeSec, b.aStreams[i].nFileSizeSec) << i;
        EXPECT_EQ(a.aStreams[i].nStreamChannels, b.aStreams[i].nStreamChannels) << i;
        EXPECT_EQ(0, std::memcmp(a.aStreams[i].sChannels, b.aStreams[i].sChannels, 34)) << i;
    }
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(a.aExtras[i].nWord, b.aExtras[i].nWord);
        EXPECT_EQ(0, std::memcmp(a.aExtras[i].abBytes, b.aExtras[i].abBytes, 8));
        EXPECT_EQ(0, std::memcmp(a.aExtras[i].anWords, b.aExtras[i].anWords, 6));
        EXPECT_EQ(0, std::memcmp(a.aExtras[i].abTail, b.aExtras[i].abTail, 40));
    }
    for (int i = 0; i < nRecorderChannelSlots; ++i) {
        EXPECT_EQ(a.aChannels[i].bOn, b.aChannels[i].bOn) << i;
        EXPECT_EQ(0, std::memcmp(a.aChannels[i].sName, b.aChannels[i].sName, 28)) << i;
        EXPECT_EQ(a.aChannels[i].nByte9, b.aChannels[i].nByte9) << i;
        EXPECT_EQ(0, std::memcmp(a.aChannels[i].anValues, b.aChannels[i].anValues, 12)) << i;
        EXPECT_EQ(a.aChannels[i].nWord, b.aChannels[i].nWord) << i;
    }
}

// What the sections of one random recording must yield, modelled directly.
struct ExpectedSections {
    int nOn = 0;
    bool abOn[32] = {};
    std::string asName[32];
    struct Group {
        int nFreq = 0, nGain = 0, nGroupChannels = 0, nChannelNo = 0;
        std::string sType;
    } aGroups[32];
    struct Stream {
        char cType;
        int nRecSize, nFileSize, nChannels;
        std::string sChannels;
    };
    std::vector<Stream> aStreams;
};

// Random CH, GROUP and STREAM sections in random order, names in random
// letter case, with their expected reading.
std::vector<SynthSection> aRandomSections(Rng& rng, ExpectedSections& e) {
    std::vector<SynthSection> a;
    for (int k = 1; k <= 32; ++k) {
        if (!bChance(rng, 0.4)) continue;
        static const char* const aszStat[] = {"ON", "ON", "ON", "on", "OFF", "On"};
        const std::string sStat = aszStat[nPick(rng, 0, 5)];
        std::optional<std::string> osName;
        if (bChance(rng, 0.85)) osName = sRandomText(rng, 32);
        SynthSection t = tChannelSection(k, sStat, osName);
        t.sName = sRandomCase(rng, t.sName);
        a.push_back(t);
        if (sStat == "ON") {
            e.abOn[k - 1] = true;
            e.asName[k - 1] = osName ? osName->substr(0, 27) : "NULL";
            ++e.nOn;
        }
    }
    for (int k = 1; k <= 32; ++k) {
        if (!e.abOn[k - 1]) e.asName[k - 1] = "EEE";
    }
    // Groups: one more than are read, some missing, some with a CH# that
    // names no channel.
    for (int n = 1; n <= e.nOn + 1; ++n) {
        if (bChance(rng, 0.1)) continue;
        const int nChannelNo = bChance(rng, 0.1) ? nPick(rng, -3, 40) : nPick(rng, 1, 32);
        std::optional<int> onFreq;
        if (bChance(rng, 0.8)) onFreq = nPick(rng, -10, 1000);
        const int nGain = nPick(rng, -100, 100000);
        const std::string sType = sRandomText(rng, 70);
        const int nGroupChannels = nPick(rng, 0, 40);
        SynthSection t = tGroupSection(n, nChannelNo, onFreq, nGain, sType, nGroupChannels);
        t.sName = sRandomCase(rng, t.sName);
        for (auto& [sKey, sValue] : t.aKeys) sKey = sRandomCase(rng, sKey);
        a.push_back(t);
        if (n <= e.nOn && nChannelNo >= 1 && nChannelNo <= 32) {
            ExpectedSections::Group& g = e.aGroups[nChannelNo - 1];
            g = {onFreq.value_or(0), nGain, nGroupChannels, nChannelNo, sType.substr(0, 64)};
        }
    }
    const int nStreams = nPick(rng, 0, 4);
    for (int m = 1; m <= nStreams + 1; ++m) {
        static const char* const aszType[] = {"PERMANENT", "permanent", "EVENT", "NULLX", "T"};
        const std::string sType = aszType[nPick(rng, 0, 4)];
        const int nRecSize = nPick(rng, -300, 1000);
        const int nFileSize = nPick(rng, 0, 200000);
        const int nChannels = nPick(rng, 0, 600);
        const std::string sChannels = sRandomText(rng, 40);
        // The section after the last is written with a gap, so never read.
        SynthSection t = tStreamSection(m == nStreams + 1 ? m + 1 : m, sType, nRecSize, nFileSize,
                                        nChannels, sChannels);
        t.sName = sRandomCase(rng, t.sName);
        a.push_back(t);
        if (m <= nStreams) {
            e.aStreams.push_back({sType == "PERMANENT" ? 'P' : 'T', nRecSize, nFileSize, nChannels,
                                  sChannels.substr(0, 33)});
        }
    }
    std::shuffle(a.begin(), a.end(), rng);
    return a;
}

void vExpectSections(const RecordingRead& r, const ExpectedSections& e,
                     const RecorderHeader& tFixed) {
    EXPECT_EQ(r.tHeader.nChannelCount, e.nOn);
    for (int c = 0; c < 32; ++c) {
        EXPECT_EQ(r.tHeader.aChannels[c].bOn, e.abOn[c] ? 1 : 0) << c;
        EXPECT_EQ(std::string(r.tHeader.aChannels[c].sName), e.asName[c]) << c;
        EXPECT_EQ(r.aGroups[c].nChannelNo, e.aGroups[c].nChannelNo) << c;
        EXPECT_EQ(r.aGroups[c].nFreq, e.aGroups[c].nFreq) << c;
        EXPECT_EQ(r.aGroups[c].nGain, e.aGroups[c].nGain) << c;
        EXPECT_EQ(r.aGroups[c].nGroupChannels, e.aGroups[c].nGroupChannels) << c;
        EXPECT_EQ(std::string(r.aGroups[c].sType), e.aGroups[c].sType) << c;
    }
    EXPECT_EQ(r.tHeader.nStreamCount, static_cast<int>(e.aStreams.size()));
    for (size_t m = 0; m < e.aStreams.size(); ++m) {
        const RecorderStream& s = r.tHeader.aStreams[m];
        EXPECT_EQ(s.cType, e.aStreams[m].cType) << m;
        EXPECT_EQ(s.nRecSizeSec, static_cast<int8_t>(e.aStreams[m].nRecSize)) << m;
        EXPECT_EQ(s.nFileSizeSec, static_cast<uint16_t>(e.aStreams[m].nFileSize)) << m;
        EXPECT_EQ(s.nStreamChannels, static_cast<uint8_t>(e.aStreams[m].nChannels)) << m;
        EXPECT_EQ(std::string(s.sChannels), e.aStreams[m].sChannels) << m;
    }
    // Stream entries the sections did not reach keep the fixed header's.
    for (size_t m = e.aStreams.size(); m < 2; ++m) {
        EXPECT_EQ(r.tHeader.aStreams[m].nRecSizeSec, tFixed.aStreams[m].nRecSizeSec);
        EXPECT_EQ(r.tHeader.aStreams[m].cType, tFixed.aStreams[m].cType);
    }
}

// Samples of list position p, taken from the file image as the record
// layout places them.
std::vector<uint16_t> anSamplesAt(const std::vector<uint8_t>& anFile, size_t nOffset,
                                  size_t nRecords, size_t nBlocks, size_t nPerBlock, size_t p) {
    const size_t nRecordSize = 256 + 2 * nBlocks * nPerBlock;
    std::vector<uint16_t> an;
    for (size_t r = 0; r < nRecords; ++r) {
        const uint8_t* pBlock = anFile.data() + nOffset + r * nRecordSize + 256 + 2 * p * nPerBlock;
        for (size_t j = 0; j < nPerBlock; ++j)
            an.push_back(static_cast<uint16_t>(pBlock[2 * j] | (pBlock[2 * j + 1] << 8)));
    }
    return an;
}

TEST(RoundTrip, RandomRecordingsReadBackFieldForField) {
    for (uint64_t nSeed = 1; nSeed <= 300; ++nSeed) {
        SCOPED_TRACE("seed " + std::to_string(nSeed));
        Rng rng(nSeed);
        SyntheticRecording tRec;
        ExpectedSections e;
        do {
            e = ExpectedSections{};
            tRec.aSections = aRandomSections(rng, e);
            tRec.sLineEnd = bChance(rng, 0.5) ? "\r\n" : "\n";
        } while (sHeadText(tRec).size() >= 3072);
        if (bChance(rng, 0.3)) tRec.sAfterHead = std::string("\0\xFF[CH1]\nSTAT=ON\n", 16);

        vRandomFixedHeader(rng, tRec.tFixed);
        tRec.tFixed.nDataOffset = static_cast<int16_t>(nPick(rng, 4097, 9000));
        tRec.nYear = static_cast<int16_t>(nPick(rng, 1971, 2037));
        tRec.nMonth = static_cast<int16_t>(nPick(rng, 0, 12));
        tRec.nDay = static_cast<int16_t>(nPick(rng, 1, 28));
        tRec.nHour = static_cast<int16_t>(nPick(rng, 0, 23));
        tRec.nMinute = static_cast<int16_t>(nPick(rng, 0, 59));
        tRec.nSecond = static_cast<int16_t>(nPick(rng, 0, 59));
        tRec.nSecondWord = static_cast<int16_t>(nPick(rng, 0, 3));
        tRec.nRecordSeconds = nPick(rng, 1, 5);
        tRec.nRate = nPick(rng, 0, 40);
        tRec.nRecords = static_cast<size_t>(nPick(rng, 1, 12));
        const int nBlocks = nPick(rng, 0, 5);
        for (int b = 0; b < nBlocks; ++b) {
            tRec.aBlocks.push_back(SynthSignal{static_cast<SignalKind>(nPick(rng, 0, 4)),
                                               static_cast<uint64_t>(rng())});
        }
        if (bChance(rng, 0.5)) {
            tRec.nJumpRecord = static_cast<size_t>(nPick(rng, 1, 12));
            tRec.nJumpSeconds = nPick(rng, -100, 100);
        }
        tRec.nTrailingBytes = static_cast<size_t>(nPick(rng, 0, 600));

        const SyntheticOutput tOut = tBuildRecording(tRec);
        const std::vector<uint8_t>& an = tOut.anFile;

        // The fixed header alone, then the sections over it.
        RecorderHeader tFixedRead{};
        std::string sError;
        const EpochTime t0 = tReadRecorderHeader(an.data(), an.size(), tFixedRead, sError);
        ASSERT_EQ(sError, "");
        vExpectSameFixedHeader(tFixedRead, tRec.tFixed);
        const RecordingRead r = tReadRecording(an);
        vExpectSections(r, e, tRec.tFixed);
        EXPECT_EQ(sStationName(r.tHeader), sStationName(tRec.tFixed));

        // Start time and every later record's time.
        const EpochTime tExpected0 =
            dCalendarToEpoch(tRec.nYear, tRec.nMonth, tRec.nDay, tRec.nHour, tRec.nMinute,
                             static_cast<float>(tRec.nSecond + tRec.nSecondWord));
        EXPECT_EQ(t0, tExpected0);
        const size_t nOffset = static_cast<size_t>(tRec.tFixed.nDataOffset);
        const size_t nPerBlock = static_cast<size_t>(tRec.nRecordSeconds * tRec.nRate);
        const size_t nRecordSize = 256 + 2 * static_cast<size_t>(nBlocks) * nPerBlock;
        ASSERT_EQ(an.size(), nOffset + tRec.nRecords * nRecordSize + tRec.nTrailingBytes);
        for (size_t k = 0; k < tRec.nRecords; ++k) {
            EpochTime t = 0;
            ASSERT_TRUE(bReadRecordTime(an.data() + nOffset + k * nRecordSize, t));
            double dJump = 0;
            if (tRec.nJumpRecord > 0 && k >= tRec.nJumpRecord) dJump = tRec.nJumpSeconds;
            EXPECT_EQ(t, tExpected0 + static_cast<double>(k) * tRec.nRecordSeconds + dJump) << k;
        }

        // Samples where the layout puts them, as the writer reports them,
        // and as the generator makes them.
        ASSERT_EQ(tOut.aanSamples.size(), static_cast<size_t>(nBlocks));
        for (size_t p = 0; p < static_cast<size_t>(nBlocks); ++p) {
            const std::vector<uint16_t> anFound =
                anSamplesAt(an, nOffset, tRec.nRecords, static_cast<size_t>(nBlocks), nPerBlock, p);
            EXPECT_EQ(anFound, tOut.aanSamples[p]) << "position " << p;
            EXPECT_EQ(anFound, anGenerateSignal(tRec.aBlocks[p].eKind, tRec.aBlocks[p].nSeed,
                                                tRec.nRecords * nPerBlock, tRec.nRate));
        }
        if (::testing::Test::HasFailure()) break;
    }
}

TEST(RoundTrip, TheSameDescriptionGivesTheSameBytes) {
    StandardLayout l;
    l.nRecords = 30;
    l.aeSignals = {SignalKind::RecorderLike, SignalKind::WhiteNoise, SignalKind::Sine};
    l.nSeed = 77;
    const SyntheticOutput a = tBuildRecording(tStandardRecording(l));
    const SyntheticOutput b = tBuildRecording(tStandardRecording(l));
    EXPECT_EQ(a.anFile, b.anFile);
    l.nSeed = 78;
    const SyntheticOutput c = tBuildRecording(tStandardRecording(l));
    EXPECT_NE(a.anFile, c.anFile);
    // Different positions get different signals from one seed and kind.
    l.aeSignals = {SignalKind::WhiteNoise};
    const SyntheticOutput d = tBuildRecording(tStandardRecording(l));
    EXPECT_NE(d.aanSamples[0], d.aanSamples[1]);
    EXPECT_NE(d.aanSamples[1], d.aanSamples[2]);
}

TEST(RoundTrip, StandardRecordingIsWhatTheConversionExpects) {
    StandardLayout l;
    l.sStation = "TESTSTAT";
    l.asChannels = {"BHZ", "BHN", "BHE"};
    l.nRate = 50;
    l.nRecordSeconds = 2;
    l.nRecords = 5;
    const SyntheticRecording tRec = tStandardRecording(l);
    const SyntheticOutput tOut = tBuildRecording(tRec);
    const RecordingRead r = tReadRecording(tOut.anFile);
    EXPECT_EQ(r.sError, "");
    EXPECT_EQ(r.tStart, 1102427130.0);
    EXPECT_EQ(sStationName(r.tHeader), "TESTSTAT");
    EXPECT_EQ(r.tHeader.nChannelCount, 3);
    ASSERT_EQ(r.tHeader.nStreamCount, 1);
    EXPECT_EQ(r.tHeader.aStreams[0].nRecSizeSec, 2);
    for (int c = 0; c < 3; ++c) {
        EXPECT_EQ(r.tHeader.anChannelList[c], c);
        EXPECT_EQ(r.tHeader.aChannels[c].bOn, 1);
        EXPECT_STREQ(r.tHeader.aChannels[c].sName, l.asChannels[static_cast<size_t>(c)].c_str());
        EXPECT_EQ(r.aGroups[c].nFreq, 50);
        EXPECT_EQ(r.aGroups[c].nChannelNo, c + 1);
    }
    EXPECT_EQ(tOut.anFile.size(),
              static_cast<size_t>(nDefaultDataOffset) + 5 * (256 + 3 * 2 * 100));
    for (const auto& an : tOut.aanSamples) EXPECT_EQ(an.size(), 500u);
}

}  // namespace
