// Hexadecimal digits and the bit strings they stand for. A digit carries four bits, the first of them its
// most significant ("A" is 1010); digits are upper case when written and either case when read.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zepa::util {

// The value 0..15 of a hexadecimal digit, -1 for any other character.
inline int HexDigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// The upper-case digit of `value` & 15.
inline char HexDigitChar(int value) {
  return "0123456789ABCDEF"[value & 15];
}

// The bits of `hex` as '0'/'1' characters, four a digit; nothing when a character is not a digit.
std::optional<std::string> HexToBitText(std::string_view hex);

// The digits of '0'/'1' characters, four to a digit (any character but '1' is a 0 bit); bits short of a
// whole digit at the end are left out.
std::string BitTextToHex(std::string_view bits);

// The digits of `bits` (one bool a bit); a last group short of four is filled with 0 bits after it.
std::string BitsToHex(const std::vector<bool>& bits);

// Exactly `count` bits from (count + 3) / 4 digits; false (bits unspecified) when the number of digits is
// not that or a character is not a digit. Bits after `count` in the last digit are ignored.
bool HexToBits(std::string_view hex, std::size_t count, std::vector<bool>& bits);

}  // namespace zepa::util
