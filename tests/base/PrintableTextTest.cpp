// Escaping of every byte that is not printable ASCII for diagnostic lines.
#include <gtest/gtest.h>

#include "base/PrintableText.h"

TEST(PrintableText, EveryByteButPrintableAsciiIsEscaped) {
    EXPECT_EQ(sPrintable("BHZ station 7 ~ !"), "BHZ station 7 ~ !");
    EXPECT_EQ(sPrintable("Stra\xC3\x9F"
                         "e\x80\xFF"),
              "Stra\\xC3\\x9Fe\\x80\\xFF");
    EXPECT_EQ(sPrintable(std::string_view("a\0b", 3)), "a\\x00b");
    EXPECT_EQ(sPrintable("\n\r\t\x1B[2J\x1F\x7F"), "\\x0A\\x0D\\x09\\x1B[2J\\x1F\\x7F");
    EXPECT_EQ(sPrintable(""), "");
}
