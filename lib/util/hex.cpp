#include "util/hex.h"

namespace zepa::util {

std::optional<std::string> HexToBitText(std::string_view hex) {
  std::string bits;
  bits.reserve(hex.size() * 4);
  for (char c : hex) {
    const int v = HexDigitValue(c);
    if (v < 0) return std::nullopt;
    for (int b = 3; b >= 0; --b) bits += (v >> b) & 1 ? '1' : '0';
  }
  return bits;
}

std::string BitTextToHex(std::string_view bits) {
  std::string hex;
  hex.reserve(bits.size() / 4);
  for (std::size_t i = 0; i + 4 <= bits.size(); i += 4) {
    int v = 0;
    for (std::size_t b = 0; b < 4; ++b) v = v * 2 + (bits[i + b] == '1');
    hex += HexDigitChar(v);
  }
  return hex;
}

std::string BitsToHex(const std::vector<bool>& bits) {
  std::string out;
  out.reserve((bits.size() + 3) / 4);
  for (std::size_t i = 0; i < bits.size(); i += 4) {
    int digit = 0;
    for (std::size_t k = 0; k < 4; ++k) digit = digit * 2 + (i + k < bits.size() && bits[i + k] ? 1 : 0);
    out += HexDigitChar(digit);
  }
  return out;
}

bool HexToBits(std::string_view hex, std::size_t count, std::vector<bool>& bits) {
  if (hex.size() != (count + 3) / 4) return false;
  bits.assign(count, false);
  for (std::size_t d = 0; d < hex.size(); ++d) {
    const int value = HexDigitValue(hex[d]);
    if (value < 0) return false;
    for (std::size_t k = 0; k < 4; ++k) {
      const std::size_t i = d * 4 + k;
      if (i < count) bits[i] = (value >> (3 - k)) & 1;
    }
  }
  return true;
}

}  // namespace zepa::util
