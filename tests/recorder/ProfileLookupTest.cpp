// The INI-style lookup over the text head: matching, trimming, comments,
// first-wins rules, the end of the head, and the integer rule.
#include <gtest/gtest.h>

#include <string>

#include "recorder/ProfileLookup.h"

namespace {

CProfileLookup tLookup(const std::string& s) {
    return CProfileLookup(reinterpret_cast<const uint8_t*>(s.data()), s.size());
}

TEST(ProfileLookup, NamesMatchWithoutCaseAndBlanksAndCarriageReturnsGo) {
    const CProfileLookup t = tLookup(
        "[Ch1]\r\n"
        "  stat =  ON \t\r\n"
        "Name=BHZ\r\n"
        "\t[ group1 ]  \r\n"
        "freq=100\r\n"
        "[STREAM1]\n"
        "Type = PERMANENT\n"
        "EMPTY=\n"
        "spaced key = a value with  inner  blanks \n");
    EXPECT_EQ(t.sValue("CH1", "STAT"), "ON");
    EXPECT_EQ(t.sValue("ch1", "stat"), "ON");
    EXPECT_EQ(t.sValue("CH1", "NAME"), "BHZ");
    EXPECT_EQ(t.sValue("GROUP1", "FREQ"), "100");
    EXPECT_EQ(t.sValue("STREAM1", "TYPE"), "PERMANENT");
    EXPECT_EQ(t.sValue("STREAM1", "EMPTY"), "");
    EXPECT_EQ(t.sValue("stream1", "SPACED KEY"), "a value with  inner  blanks");
    // Values keep their letter case.
    EXPECT_EQ(tLookup("[A]\nk=On\n").sValue("a", "K"), "On");
}

TEST(ProfileLookup, MissingSectionsAndKeysGiveTheDefault) {
    const CProfileLookup t = tLookup("[CH1]\nSTAT=ON\n[CH2]\n");
    EXPECT_EQ(t.sValue("CH1", "NAME"), "NULL");
    EXPECT_EQ(t.sValue("CH2", "STAT"), "NULL");
    EXPECT_EQ(t.sValue("CH3", "STAT"), "NULL");
    EXPECT_EQ(t.sValue("CH3", "STAT", "x"), "x");
    // A key must not be found in another section, nor by a prefix of its name.
    EXPECT_EQ(t.sValue("CH2", "STA"), "NULL");
    EXPECT_EQ(t.sValue("CH", "STAT"), "NULL");
    EXPECT_EQ(tLookup("").sValue("CH1", "STAT"), "NULL");
}

TEST(ProfileLookup, CommentsStrayLinesAndKeysBeforeAnySectionAreIgnored) {
    const CProfileLookup t = tLookup(
        "STAT=ON\n"
        "; [CH1]\n"
        "[CH1]\n"
        "  ; STAT=ON\n"
        "a line without an equals sign\n"
        "NAME=X;not a comment\n");
    EXPECT_EQ(t.sValue("CH1", "STAT"), "NULL");
    EXPECT_EQ(t.sValue("CH1", "NAME"), "X;not a comment");
    EXPECT_EQ(t.sValue("", "STAT"), "NULL");
}

TEST(ProfileLookup, FirstSectionAndFirstKeyWin) {
    const CProfileLookup t = tLookup(
        "[CH1]\nSTAT=ON\nstat=OFF\n"
        "[ch1]\nSTAT=LATER\nNAME=ONLY-IN-SECOND\n");
    EXPECT_EQ(t.sValue("CH1", "STAT"), "ON");
    EXPECT_EQ(t.sValue("CH1", "NAME"), "NULL");
}

TEST(ProfileLookup, ValuesAreCutTo255Characters) {
    const std::string sLong(300, 'v');
    const CProfileLookup t = tLookup("[S]\nK=" + sLong + "\n");
    EXPECT_EQ(t.sValue("S", "K"), std::string(255, 'v'));
}

TEST(ProfileLookup, HeadEndsAtNulOrAtTheFixedHeaderWhateverFollows) {
    // Binary bytes after a NUL, and sections at or beyond byte 3072, are not
    // part of the head.
    std::string s = "[CH1]\r\nSTAT=ON\r\n";
    s += std::string("\0\xFF\x01[CH2]\nSTAT=ON\n", 17);
    EXPECT_EQ(tLookup(s).sValue("CH1", "STAT"), "ON");
    EXPECT_EQ(tLookup(s).sValue("CH2", "STAT"), "NULL");

    std::string sFull = "[CH1]\nSTAT=ON\n[CH2]\nSTAT=";
    sFull.resize(3072 - 2, ' ');
    sFull += "ON[CH3]\nSTAT=ON\n";  // "ON" ends the head exactly at byte 3072
    const CProfileLookup tFull = tLookup(sFull);
    EXPECT_EQ(tFull.sValue("CH1", "STAT"), "ON");
    EXPECT_EQ(tFull.sValue("CH2", "STAT"), "ON");
    EXPECT_EQ(tFull.sValue("CH3", "STAT"), "NULL");

    // A file shorter than the head: its bytes are the head.
    EXPECT_EQ(tLookup("[CH1]\nSTAT=ON").sValue("CH1", "STAT"), "ON");
}

TEST(ProfileInteger, LeadingBlanksSignAndDigitsUpToTheFirstOtherCharacter) {
    EXPECT_EQ(nProfileInteger("100"), 100);
    EXPECT_EQ(nProfileInteger("  -42"), -42);
    EXPECT_EQ(nProfileInteger("+7"), 7);
    EXPECT_EQ(nProfileInteger("12abc"), 12);
    EXPECT_EQ(nProfileInteger("12.9"), 12);
    EXPECT_EQ(nProfileInteger("NULL"), 0);
    EXPECT_EQ(nProfileInteger(""), 0);
    EXPECT_EQ(nProfileInteger("-"), 0);
    EXPECT_EQ(nProfileInteger("- 5"), 0);
    EXPECT_EQ(nProfileInteger("2147483647"), 2147483647);
    EXPECT_EQ(nProfileInteger("-2147483648"), -2147483647 - 1);
    // Beyond 32 bits the low 32 bits remain: 2^32 + 300.
    EXPECT_EQ(nProfileInteger("4294967596"), 300);
}

}  // namespace
