// Header fields at their extremes and text heads written wrongly: each case
// runs under the uniform bad-input checks, and where the outcome is certain
// it is asserted as well.
#include <gtest/gtest.h>

#include <algorithm>

#include "BadInputCheck.h"

namespace {

constexpr size_t nDataOffsetField = 3072 + 4;

// Runs a changed base recording.
BadInputRun tRunChanged(void (*fnChange)(SyntheticRecording&), const std::string& sCase) {
    SyntheticRecording tRec = tBaseRecording();
    fnChange(tRec);
    return tRunDamaged(anImage(tRec), sCase);
}

// The channel names that reached the output, and that each has all the
// base recording's samples.
std::vector<std::string> asFullChannels(const BadInputRun& t) {
    std::vector<std::string> as;
    for (const ChannelSummary& c : atSummarise(t.sAppended)) {
        EXPECT_EQ(c.nSamples, nBaseRecords * 100) << c.sChannel;
        as.push_back(c.sChannel);
    }
    return as;
}

using Names = std::vector<std::string>;

TEST(BadInputHeader, DataOffsetPatchedToExtremes) {
    // Patched in place: the records stay at 4352, the offset points elsewhere.
    // 0 and 4096 land on text or zeros; 32767 lies past the end; 32768 and
    // 65535 are negative as a signed field.
    for (const int32_t nOffset : {0, 4096, 32767, 32768, 65535}) {
        std::vector<uint8_t> an = anImage(tBaseRecording());
        vPutInt16(an, nDataOffsetField, nOffset);
        const BadInputRun t = tRunDamaged(an, "data offset " + std::to_string(nOffset));
        EXPECT_EQ(t.tProcess.nExitStatus, 1) << nOffset;
    }
}

TEST(BadInputHeader, RecordsPlacedAtUnusualDataOffsetsConvertAsUsual) {
    // Records written where the offset says: right after the fixed header
    // (odd offset) and at the largest offset there is.
    for (const int16_t nOffset : {int16_t{4097}, int16_t{32767}}) {
        SyntheticRecording tRec = tBaseRecording();
        tRec.tFixed.nDataOffset = nOffset;
        const BadInputRun t = tRunDamaged(anImage(tRec), "records at " + std::to_string(nOffset));
        EXPECT_EQ(t.tProcess.nExitStatus, 0);
        EXPECT_EQ(t.sAppended, sBaseConversion()) << nOffset;
    }
}

TEST(BadInputHeader, StartTimesPastTheLastCalendarSecondAreRefused) {
    // Every field in range on its own, the sum beyond 9999-12-31 23:59:59:
    // the output cannot carry such a time, so the file is refused.
    struct Start {
        int16_t nMonth, nDay, nHour, nMinute, nSecond, nSecondWord;
    };
    for (const Start& s : {Start{12, 32767, 0, 0, 0, 0}, Start{0, 1, 32767, 32767, 32767, 32767},
                           Start{12, 31, 23, 59, 59, 1}}) {
        SyntheticRecording tRec = tBaseRecording();
        tRec.nYear = 9999;
        tRec.nMonth = s.nMonth;
        tRec.nDay = s.nDay;
        tRec.nHour = s.nHour;
        tRec.nMinute = s.nMinute;
        tRec.nSecond = s.nSecond;
        tRec.nSecondWord = s.nSecondWord;
        const BadInputRun t =
            tRunDamaged(anImage(tRec), "start past 9999, day " + std::to_string(s.nDay) + " hour " +
                                           std::to_string(s.nHour));
        EXPECT_EQ(t.tProcess.nExitStatus, 1);
        EXPECT_NE(t.tProcess.sStderr.find("after 9999-12-31 23:59:59"), std::string::npos)
            << t.tProcess.sStderr;
    }
    // The latest recording that still fits: twenty seconds up to the end.
    SyntheticRecording tRec = tBaseRecording();
    tRec.nYear = 9999;
    tRec.nMonth = 12;
    tRec.nDay = 31;
    tRec.nHour = 23;
    tRec.nMinute = 59;
    tRec.nSecond = 40;
    const BadInputRun t = tRunDamaged(anImage(tRec), "ends at the last calendar second");
    EXPECT_EQ(t.tProcess.nExitStatus, 0);
    EXPECT_EQ(asFullChannels(t), (Names{"BHZ", "BHN", "BHE"}));
    // One second later the last samples would fall in the year 10000.
    tRec.nSecond = 41;
    const BadInputRun tLate = tRunDamaged(anImage(tRec), "runs past the last calendar second");
    EXPECT_EQ(tLate.tProcess.nExitStatus, 1);
    EXPECT_NE(tLate.tProcess.sStderr.find("runs past 9999-12-31 23:59:59"), std::string::npos)
        << tLate.tProcess.sStderr;
}

TEST(BadInputHeader, NegativeRateLeavesOutOnlyItsChannel) {
    const BadInputRun t =
        tRunChanged([](SyntheticRecording& r) { vSetKey(r, "GROUP2", "FREQ", "-1"); }, "FREQ -1");
    EXPECT_EQ(t.tProcess.nExitStatus, 0);
    EXPECT_EQ(asFullChannels(t), (Names{"BHZ", "BHE"}));
}

TEST(BadInputHeader, ZeroAndHugeRatesGiveNoRecordsForTheirChannel) {
    const struct {
        const char* szFreq;
        const char* szWarning;
    } aCases[] = {{"0", "channel BHZ has FREQ 0, which is no sampling rate; skipped"},
                  {"32768",
                   "channel BHZ has FREQ 32768, above 32767, the highest rate a record "
                   "can carry; skipped"},
                  {"2147483647", "FREQ 2147483647, above 32767"}};
    for (const auto& c : aCases) {
        SyntheticRecording tRec = tBaseRecording();
        vSetKey(tRec, "GROUP1", "FREQ", c.szFreq);
        const BadInputRun t = tRunDamaged(anImage(tRec), std::string("FREQ ") + c.szFreq);
        EXPECT_EQ(t.tProcess.nExitStatus, 0);
        EXPECT_EQ(asFullChannels(t), (Names{"BHN", "BHE"})) << c.szFreq;
        EXPECT_TRUE(bAnyLineHas(t.asWarnings, c.szWarning)) << c.szFreq;
    }
}

TEST(BadInputHeader, TheHighestRateARecordCarriesConvertsWithItsRate) {
    // One channel at 32767 samples per second: two records of 65,790 bytes.
    // The oracle checks every output record's rate; the rate above is skipped.
    for (const int32_t nRate : {32767, 40000}) {
        StandardLayout tLayout;
        tLayout.asChannels = {"HHZ"};
        tLayout.nRate = nRate;
        tLayout.nRecords = 2;
        const BadInputRun t =
            tRunDamaged(anImage(tStandardRecording(tLayout)), "rate " + std::to_string(nRate));
        const std::vector<ChannelSummary> at = atSummarise(t.sAppended);
        if (nRate == 32767) {
            EXPECT_EQ(t.tProcess.nExitStatus, 0);
            ASSERT_EQ(at.size(), 1u);
            EXPECT_EQ(at[0].nSamples, 2u * 32767);
        } else {  // the only channel skipped: nothing to convert
            EXPECT_EQ(t.tProcess.nExitStatus, 1);
            EXPECT_NE(t.tProcess.sStderr.find("HHZ has FREQ 40000"), std::string::npos);
        }
    }
}

TEST(BadInputHeader, RecordLengthsWithoutSoundRecordSizeAreRefused) {
    // 255 reads as -1 in the signed byte: the record size comes out negative.
    for (const char* szSeconds : {"0", "255", "-1"}) {
        SyntheticRecording tRec = tBaseRecording();
        vSetKey(tRec, "STREAM1", "REC_SIZE_SEC", szSeconds);
        const BadInputRun t = tRunDamaged(anImage(tRec), std::string("REC_SIZE_SEC ") + szSeconds);
        EXPECT_EQ(t.tProcess.nExitStatus, 1);
        EXPECT_NE(t.tProcess.sStderr.find("the records hold no samples"), std::string::npos)
            << t.tProcess.sStderr;
    }
}

TEST(BadInputHeader, ChannelListEntriesOutsideTheChannelsAreSkipped) {
    // Also patched byte-wise at file offset 3072 + 111 + position.
    for (const int32_t nEntry : {-1, 32, 127}) {
        std::vector<uint8_t> an = anImage(tBaseRecording());
        vPutInt8(an, 3072 + 111 + 1, nEntry);
        const BadInputRun t = tRunDamaged(an, "list entry " + std::to_string(nEntry));
        EXPECT_EQ(t.tProcess.nExitStatus, 0);
        EXPECT_EQ(asFullChannels(t), (Names{"BHZ", "BHE"})) << nEntry;
        EXPECT_TRUE(
            bAnyLineHas(t.asWarnings, "channel list position 2 holds " + std::to_string(nEntry) +
                                          ", which names no channel (0 to 31 stand for CH1 to "
                                          "CH32); skipped"));
    }
}

TEST(BadInputHeader, AllThirtyTwoChannelsOnConvertSixteenPositions) {
    StandardLayout tLayout;
    tLayout.asChannels.clear();
    for (int k = 1; k <= 32; ++k)
        tLayout.asChannels.push_back(std::string("C").append(std::to_string(k)));
    tLayout.nRecords = 3;
    SyntheticRecording tRec = tStandardRecording(tLayout);
    tRec.sLineEnd = "\n";
    ASSERT_LT(sHeadText(tRec).size(), 3072u) << "the sections must all fit in the text head";
    const BadInputRun t = tRunDamaged(anImage(tRec), "32 channels on");
    EXPECT_EQ(t.tProcess.nExitStatus, 0);
    const std::vector<ChannelSummary> at = atSummarise(t.sAppended);
    ASSERT_EQ(at.size(), 16u);
    for (size_t i = 0; i < at.size(); ++i) {
        EXPECT_EQ(at[i].sChannel, "C" + std::to_string(i + 1));
        EXPECT_EQ(at[i].nSamples, 300u);
    }
    EXPECT_TRUE(bAnyLineHas(t.asWarnings, "32 channels are switched on"));
}

TEST(BadInputHeader, FortyStreamsTakeTheRecordLengthOfTheLast) {
    SyntheticRecording tRec = tBaseRecording();
    tRec.sLineEnd = "\n";
    std::erase_if(tRec.aSections, [](const SynthSection& s) { return s.sName == "STREAM1"; });
    for (int m = 1; m <= 40; ++m) {
        SynthSection t{"STREAM" + std::to_string(m), {}};
        t.tKey("TYPE", m % 2 ? "PERMANENT" : "TRIGGER").tKey("REC_SIZE_SEC", m < 40 ? "5" : "1");
        tRec.aSections.push_back(t);
    }
    ASSERT_LT(sHeadText(tRec).size(), 3072u);
    const BadInputRun t = tRunDamaged(anImage(tRec), "40 streams");
    EXPECT_EQ(t.tProcess.nExitStatus, 0);
    EXPECT_EQ(t.sAppended, sBaseConversion());
}

TEST(BadInputHeader, OverlongNamesAndValuesAreCutToTheirFields) {
    const std::string sLong(300, 'Q');
    SyntheticRecording tRec = tBaseRecording();
    vSetKey(tRec, "CH1", "NAME", sLong);
    vSetKey(tRec, "GROUP1", "TYPE", sLong);
    vSetKey(tRec, "STREAM1", "CH#", sLong);
    vSetKey(tRec, "STREAM1", "TYPE", sLong);
    vSetStation(tRec.tFixed, sLong);
    ASSERT_LT(sHeadText(tRec).size(), 3072u);
    const BadInputRun t = tRunDamaged(anImage(tRec), "300-character names");
    EXPECT_EQ(t.tProcess.nExitStatus, 0);
    EXPECT_EQ(asFullChannels(t), (Names{"QQQ", "BHN", "BHE"}));
    // One warning per cut name, though all three channels carry the station.
    EXPECT_EQ(t.asWarnings,
              (Names{"tessal: warning: rec.vrx: station name \"" + std::string(8, 'Q') +
                         "\" is longer than 5 bytes; records carry \"QQQQQ\"",
                     "tessal: warning: rec.vrx: channel name \"" + std::string(27, 'Q') +
                         "\" is longer than 3 bytes; records carry \"QQQ\""}));
}

TEST(BadInputHeader, StationOfEightLettersWithoutTerminator) {
    SyntheticRecording tRec = tBaseRecording();
    vSetStation(tRec.tFixed, "ABCDEFGH");
    const BadInputRun t = tRunDamaged(anImage(tRec), "station ABCDEFGH");
    EXPECT_EQ(t.tProcess.nExitStatus, 0);
    ASSERT_EQ(t.tExpected.atChannels.size(), 3u);
    EXPECT_EQ(t.tExpected.atChannels[0].sStationField, "ABCDE");  // the oracle checks every record
}

TEST(BadInputHeader, BytesOutsidePrintableAsciiInNamesAreEscaped) {
    SyntheticRecording tRec = tBaseRecording();
    vSetStation(tRec.tFixed, "FIE\nLD\r\x1B");
    vSetKey(tRec, "CH2", "NAME", "B\rH\x1B[2J");
    const BadInputRun t = tRunDamaged(anImage(tRec), "control bytes in names");
    EXPECT_EQ(t.tProcess.nExitStatus, 0);
    const std::string sCodeWarning =
        "\" is not capital letters and digits, as archives expect; the records carry it as it is (";
    EXPECT_EQ(t.asWarnings,
              (Names{"tessal: warning: rec.vrx: station code \"FIE\\x0AL" + sCodeWarning +
                         "-station=CODE replaces it)",
                     "tessal: warning: rec.vrx: channel code \"B\\x0DH" + sCodeWarning +
                         "-channels=C1,C2,... replaces it)",
                     "tessal: warning: rec.vrx: station name \"FIE\\x0ALD\\x0D\\x1B\" is longer "
                     "than 5 bytes; records carry \"FIE\\x0AL\"",
                     "tessal: warning: rec.vrx: channel name \"B\\x0DH\\x1B[2J\" is longer than 3 "
                     "bytes; records carry \"B\\x0DH\""}));

    // Three letters of two bytes each, cut to 5 bytes: the warning counts
    // bytes and shows the cut character's byte, not a broken letter.
    SyntheticRecording tWide = tBaseRecording();
    vSetStation(tWide.tFixed, "\xC3\x84\xC3\x96\xC3\x9C");
    const BadInputRun tCut = tRunDamaged(anImage(tWide), "UTF-8 station cut in a letter");
    EXPECT_EQ(tCut.tProcess.nExitStatus, 0);
    EXPECT_EQ(tCut.asWarnings,
              (Names{"tessal: warning: rec.vrx: station code \"\\xC3\\x84\\xC3\\x96\\xC3" +
                         sCodeWarning + "-station=CODE replaces it)",
                     "tessal: warning: rec.vrx: station name \"\\xC3\\x84\\xC3\\x96\\xC3\\x9C\" is "
                     "longer than 5 bytes; records carry \"\\xC3\\x84\\xC3\\x96\\xC3\""}));
}

TEST(BadInputHeader, FilesThatAreNoRecordingSayWhatTheyLookLike) {
    std::vector<uint8_t> anMiniSeed;
    for (int i = 0; i < 10; ++i)
        anMiniSeed.insert(anMiniSeed.end(), sBaseConversion().begin(),
                          sBaseConversion().begin() + 512);
    const auto anBytes = [](std::string s, size_t nSize) {
        s.resize(nSize, '\0');
        return std::vector<uint8_t>(s.begin(), s.end());
    };
    std::string sText;
    while (sText.size() < 6000) sText += "Field notes, day 3: [station moved]\n";
    SyntheticRecording tYear = tBaseRecording();
    tYear.nYear = 0;
    const struct {
        const char* szCase;
        std::vector<uint8_t> an;
        std::string sLineStart;  // of the one error line
    } aCases[] = {
        {"MiniSEED", anMiniSeed, "not a VORN recording (it looks like MiniSEED)\n"},
        {"program",
         anBytes("\x7F"
                 "ELF\x02\x01\x01",
                 9000),
         "not a VORN recording (it looks like an ELF program)\n"},
        {"PNG", anBytes("\x89PNG\r\n\x1A\n", 300),
         "not a VORN recording (it looks like a PNG image)\n"},
        {"empty", {}, "not a VORN recording (it is empty)\n"},
        // An unknown file keeps the layout's reason as the detail.
        {"text", anBytes(sText, sText.size()),
         "not a VORN recording (its text head holds no CH, GROUP or STREAM section); "},
        // A damaged recording keeps its own reason alone.
        {"year 0", anImage(tYear),
         "the first record's start time has the year 0, outside 1970 to 9999\n"},
    };
    for (const auto& c : aCases) {
        const BadInputRun t = tRunDamaged(c.an, c.szCase);
        EXPECT_EQ(t.tProcess.nExitStatus, 1) << c.szCase;
        EXPECT_EQ(t.tProcess.sStderr.rfind("tessal: error: rec.vrx: " + c.sLineStart, 0), 0u)
            << t.tProcess.sStderr;
    }
}

TEST(BadInputHeader, MissingSections) {
    // No channel section: nothing on, nothing written.
    BadInputRun t = tRunChanged(
        [](SyntheticRecording& r) {
            std::erase_if(r.aSections,
                          [](const SynthSection& s) { return s.sName.rfind("CH", 0) == 0; });
        },
        "no CH sections");
    EXPECT_EQ(t.tProcess.nExitStatus, 1);
    EXPECT_NE(t.tProcess.sStderr.find("no channel is switched on"), std::string::npos);

    // No group for channel 2: rate 0, no records for it.
    t = tRunChanged(
        [](SyntheticRecording& r) {
            std::erase_if(r.aSections, [](const SynthSection& s) { return s.sName == "GROUP2"; });
        },
        "no GROUP2");
    EXPECT_EQ(t.tProcess.nExitStatus, 0);
    EXPECT_EQ(asFullChannels(t), (Names{"BHZ", "BHE"}));

    // Channel 2 missing: two channels on, records read as two blocks wide.
    t = tRunChanged(
        [](SyntheticRecording& r) {
            std::erase_if(r.aSections, [](const SynthSection& s) { return s.sName == "CH2"; });
        },
        "no CH2");
    EXPECT_EQ(t.tProcess.nExitStatus, 0);

    t = tRunChanged(
        [](SyntheticRecording& r) {
            std::erase_if(r.aSections, [](const SynthSection& s) { return s.sName == "STREAM1"; });
        },
        "no STREAM1");
    EXPECT_EQ(t.tProcess.nExitStatus, 1);
}

TEST(BadInputHeader, DuplicatedSectionsAnswerFromTheFirst) {
    SyntheticRecording tRec = tBaseRecording();
    SynthSection tStream = tSection(tRec, "STREAM1");
    SynthSection tChannel = tSection(tRec, "CH2");
    SynthSection tGroup = tSection(tRec, "GROUP3");
    for (auto& [sKey, sValue] : tStream.aKeys)
        if (sKey == "REC_SIZE_SEC") sValue = "7";
    tChannel.aKeys = {{"STAT", "OFF"}};
    tGroup.aKeys = {{"CH#", "3"}, {"FREQ", "-5"}};
    tRec.aSections.push_back(tChannel);
    tRec.aSections.push_back(tGroup);
    tRec.aSections.push_back(tStream);
    const BadInputRun t = tRunDamaged(anImage(tRec), "duplicated sections");
    EXPECT_EQ(t.tProcess.nExitStatus, 0);
    EXPECT_EQ(t.sAppended, sBaseConversion());
}

TEST(BadInputHeader, LowerCaseSectionAndKeyNamesReadAsUpperCase) {
    SyntheticRecording tRec = tBaseRecording();
    for (SynthSection& s : tRec.aSections) {
        std::transform(s.sName.begin(), s.sName.end(), s.sName.begin(), ::tolower);
        for (auto& [sKey, sValue] : s.aKeys)
            std::transform(sKey.begin(), sKey.end(), sKey.begin(), ::tolower);
    }
    const BadInputRun t = tRunDamaged(anImage(tRec), "lower case");
    EXPECT_EQ(t.tProcess.nExitStatus, 0);
    EXPECT_EQ(t.sAppended, sBaseConversion());
}

TEST(BadInputHeader, TextHeadWithoutNulOrNewlineRunsIntoTheFixedHeader) {
    // One line of 3072 bytes: a section line with no keys after it, so no
    // stream is known.
    SyntheticRecording tRec = tBaseRecording();
    std::string sHead;
    while (sHead.size() < 3072) sHead += "[STREAM1] TYPE=PERMANENT REC_SIZE_SEC=1 ";
    tRec.osRawHead = sHead.substr(0, 3072);
    const BadInputRun t = tRunDamaged(anImage(tRec), "head without NUL or newline");
    EXPECT_EQ(t.tProcess.nExitStatus, 1);
    EXPECT_NE(t.tProcess.sStderr.find("STREAM"), std::string::npos);
}

}  // namespace
