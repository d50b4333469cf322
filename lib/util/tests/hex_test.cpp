#include "util/hex.h"

#include <gtest/gtest.h>

#include <cctype>

namespace zepa::util {
namespace {

TEST(Hex, DigitValuesAndCharacters) {
  const std::string digits = "0123456789ABCDEF";
  for (int v = 0; v < 16; ++v) {
    EXPECT_EQ(HexDigitValue(digits[static_cast<std::size_t>(v)]), v);
    EXPECT_EQ(HexDigitValue(static_cast<char>(std::tolower(digits[static_cast<std::size_t>(v)]))), v);
    EXPECT_EQ(HexDigitChar(v), digits[static_cast<std::size_t>(v)]);
  }
  for (char c : {'g', 'G', '/', ':', '@', '`', ' ', '\0', 'x'}) EXPECT_EQ(HexDigitValue(c), -1) << c;
}

TEST(Hex, BitTextFromDigitsMostSignificantFirst) {
  EXPECT_EQ(HexToBitText("A5"), "10100101");
  EXPECT_EQ(HexToBitText("0f"), "00001111");
  EXPECT_EQ(HexToBitText(""), "");
  EXPECT_EQ(HexToBitText("1G"), std::nullopt);
  EXPECT_EQ(HexToBitText("12 "), std::nullopt);
}

TEST(Hex, BitTextToHexTakesWholeDigitsOnly) {
  struct Case {
    const char* bits;
    const char* hex;
  };
  for (const Case& c :
       {Case{"", ""}, Case{"101", ""}, Case{"10100101", "A5"}, Case{"1111000", "F"},
        Case{"000100100011010001010110011110001001101010111100110111101111", "123456789ABCDEF"}}) {
    EXPECT_EQ(BitTextToHex(c.bits), c.hex) << c.bits;
    if (std::string(c.bits).size() % 4 == 0) {
      EXPECT_EQ(HexToBitText(c.hex), c.bits);
    }
  }
}

TEST(Hex, BitsRoundTripWithPaddingInTheLastDigit) {
  struct Case {
    std::vector<bool> bits;
    const char* hex;
  };
  const Case cases[] = {
      {{}, ""},
      {{true}, "8"},
      {{true, false, true, false, false, true, false, true}, "A5"},
      {{false, false, false, true, true}, "18"},
      {{true, true, true, true, true, true}, "FC"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(BitsToHex(c.bits), c.hex);
    std::vector<bool> back;
    ASSERT_TRUE(HexToBits(c.hex, c.bits.size(), back)) << c.hex;
    EXPECT_EQ(back, c.bits) << c.hex;
  }
}

TEST(Hex, HexToBitsRefusesAWrongDigitCount) {
  std::vector<bool> bits;
  EXPECT_FALSE(HexToBits("A", 5, bits));    // 5 bits need two digits
  EXPECT_FALSE(HexToBits("A5F", 8, bits));  // one too many
  EXPECT_FALSE(HexToBits("AZ", 8, bits));
  EXPECT_TRUE(HexToBits("FF", 5, bits));  // bits after the count are ignored
  EXPECT_EQ(bits, std::vector<bool>(5, true));
}

}  // namespace
}  // namespace zepa::util
