#include "engine/zepa1_protocol.h"

#include <stdexcept>
#include <string>

#include "engine/gray_code.h"

namespace zepa::engine::zepa1 {

int RowAddress(int row) {
  if (row < 0) throw std::out_of_range("row " + std::to_string(row) + " has no address");
  if (row == kSecurityAddressRow) return 0x3E;
  const bool right = row >= kRowsPerSide;
  const int r = right ? row - kRowsPerSide : row;
  return ((right ? 0x40 : 0) + GrayCode(r)) & 0x7F;
}

}  // namespace zepa::engine::zepa1
