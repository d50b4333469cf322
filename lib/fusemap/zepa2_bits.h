// Eight '0'/'1' characters as one byte, for the packers of the ZEPA2 texts ('1' is a 1 bit, any other
// character a 0 bit).
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>

namespace zepa::fusemap::zepa2 {

namespace bits_detail {

// 0x01 in each byte of the eight characters that is '1', 0x00 elsewhere.
inline std::uint64_t OnesOf(const char* c) {
  std::uint64_t v;
  std::memcpy(&v, c, 8);
  const std::uint64_t x = v ^ 0x3131313131313131ull;  // zero bytes where the character is '1'
  const std::uint64_t low7 = 0x7F7F7F7F7F7F7F7Full;
  const std::uint64_t zero = ~(((x & low7) + low7) | x | low7);  // 0x80 exactly in the zero bytes
  return zero >> 7;
}

}  // namespace bits_detail

// c[0] in bit 7 (most significant) ... c[7] in bit 0.
inline unsigned PackMsbFirst(const char* c) {
  if constexpr (std::endian::native == std::endian::little) {
    return static_cast<unsigned>((bits_detail::OnesOf(c) * 0x8040201008040201ull) >> 56);
  } else {
    unsigned byte = 0;
    for (int b = 0; b < 8; ++b) byte = (byte << 1) | static_cast<unsigned>(c[b] == '1');
    return byte;
  }
}

// c[0] in bit 0 (least significant) ... c[7] in bit 7.
inline unsigned PackLsbFirst(const char* c) {
  if constexpr (std::endian::native == std::endian::little) {
    return static_cast<unsigned>((bits_detail::OnesOf(c) * 0x0102040810204080ull) >> 56);
  } else {
    unsigned byte = 0;
    for (int b = 7; b >= 0; --b) byte = (byte << 1) | static_cast<unsigned>(c[b] == '1');
    return byte;
  }
}

}  // namespace zepa::fusemap::zepa2
