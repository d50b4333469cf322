// A ZEPA3 .isp image for tests and benchmarks: random design rows (one bit in four 0), the signature row and
// the upper ISP rows all ones; the same seed gives the same image.
#pragma once

#include <random>
#include <string>

#include "engine/records.h"
#include "engine/zepa3_ops.h"

namespace zepa::engine::testing {

inline std::string MakeZepa3Isp(const JcdRec& rec, unsigned seed) {
  std::mt19937 random(seed);
  std::string text;
  for (int r = 0; r < 2 * rec.side_rows + 4; ++r) {
    std::string bits(static_cast<std::size_t>(rec.DR_len), '1');
    if (r != rec.side_rows + 1 && r < 2 * rec.side_rows + 2) {
      for (char& b : bits) b = random() % 4 == 0 ? '0' : '1';
    }
    text += Zepa3RowText(bits) + "\n";
  }
  return text;
}

}  // namespace zepa::engine::testing
