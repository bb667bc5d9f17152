// Tests of number formatting and of reading numbers from text fields.
#include "rom/text_format.h"

#include <gtest/gtest.h>

namespace rom {
namespace {

TEST(TextFormat, HexAndDecimalColumns) {
  EXPECT_EQ(H8(0), "00000000");
  EXPECT_EQ(H8(0xFFFFFFFF), "FFFFFFFF");
  EXPECT_EQ(Hex(0x40, 3), "040");
  EXPECT_EQ(Hex(0x12345, 3), "12345");
  std::string padded;
  AppendDec(padded, 42, 7);
  EXPECT_EQ(padded, "     42");
  std::string wide;
  AppendDec(wide, 12345678, 7);
  EXPECT_EQ(wide, "12345678");
}

TEST(ParseHex32, OneToEightDigitsOfEitherCase) {
  EXPECT_EQ(ParseHex32("0000ABCD"), 0xABCDu);
  EXPECT_EQ(ParseHex32("ffffffff"), 0xFFFFFFFFu);
  EXPECT_FALSE(ParseHex32(""));
  EXPECT_FALSE(ParseHex32("123456789"));
  EXPECT_FALSE(ParseHex32("0000ABCX"));
}

TEST(ParseFieldNumber, DecimalWithSignAndBlanks) {
  EXPECT_EQ(ParseFieldNumber("  42", 32), 42);
  EXPECT_EQ(ParseFieldNumber("-1", 32), -1);
  EXPECT_EQ(ParseFieldNumber("+7", 32), 7);
  EXPECT_EQ(ParseFieldNumber("2147483647", 32), 2147483647);
  EXPECT_EQ(ParseFieldNumber("-2147483648", 32), -2147483648LL);
  EXPECT_FALSE(ParseFieldNumber("2147483648", 32));
  EXPECT_FALSE(ParseFieldNumber("-2147483649", 32));
}

TEST(ParseFieldNumber, RefusesWhatIsNotANumber) {
  for (const char* text : {"", " ", "-", "$", "0x", "12a", "1 2", "A", "12AB", "1.5", "42 "}) {
    EXPECT_FALSE(ParseFieldNumber(text, 32)) << '"' << text << '"';
  }
}

TEST(ParseFieldNumber, HexadecimalGivesTheFieldsBitPattern) {
  EXPECT_EQ(ParseFieldNumber("$12AB", 32), 0x12AB);
  EXPECT_EQ(ParseFieldNumber("0x1f", 32), 0x1F);
  EXPECT_EQ(ParseFieldNumber("$FFFFFFFF", 32), -1);
  EXPECT_FALSE(ParseFieldNumber("$100000000", 32));
  EXPECT_EQ(ParseFieldNumber("$100000000", 64), 0x100000000LL);
}

TEST(ParseFieldWordLow32, KeepsTheLowBitsOfWideValues) {
  EXPECT_EQ(ParseFieldWordLow32("$123456789"), 0x23456789u);
  EXPECT_EQ(ParseFieldWordLow32("$FFFFFFFFFFFFFFFF"), 0xFFFFFFFFu);
  EXPECT_EQ(ParseFieldWordLow32("$00000840"), 0x840u);
  EXPECT_FALSE(ParseFieldWordLow32("$1FFFFFFFFFFFFFFFF"));
  EXPECT_FALSE(ParseFieldWordLow32("$12G"));
}

}  // namespace
}  // namespace rom
