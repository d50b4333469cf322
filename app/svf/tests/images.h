// Design images for SVF tests: ZEPA1 .bin images with signature rows that hold some zeros, and ZEPA3 .isp
// images of random rows.
#pragma once

#include <random>
#include <string>

#include "engine/records.h"
#include "engine/tests/isp_rig.h"
#include "engine/zepa3_ops.h"

namespace zepa::svf::testing {

// A ZEPA1 image whose signature rows (41 and 84) carry a few zeros inside their signature fields.
inline std::string Zepa1Image(int part, unsigned seed) {
  std::string bytes = engine::testing::MakeZepa1Image(part, seed);
  const long L = engine::DeviceTable()[static_cast<std::size_t>(part)].DR_len;
  for (long row : {41L, 84L}) {
    for (long p : {0L, 5L, 6L, 100L}) {
      const long b = row * L + p;
      bytes[static_cast<std::size_t>(1 + b / 8)] &= static_cast<char>(~(0x80 >> (b % 8)));
    }
  }
  return bytes;
}

// A ZEPA3 .isp image: 2R+4 lines of ceil(L/4) digits of random rows, the security cell (the last bit of row
// 2R+2) left at 1 and the pad bits of the last digit 0.
inline std::string Zepa3Image(int part, unsigned seed) {
  const engine::DeviceTableRow& row = engine::DeviceTable()[static_cast<std::size_t>(part)];
  const int L = row.DR_len;
  const int R = row.side_rows;
  std::mt19937 random(seed);
  std::string text;
  for (int line = 0; line < 2 * R + 4; ++line) {
    std::string bits;
    for (int p = 0; p < L; ++p) bits += (random() % 4 != 0 || (line == 2 * R + 2 && p == L - 1)) ? '1' : '0';
    text += engine::Zepa3RowText(bits) + "\n";
  }
  return text;
}

}  // namespace zepa::svf::testing
