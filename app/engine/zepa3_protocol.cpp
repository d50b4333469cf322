#include "engine/zepa3_protocol.h"

#include <stdexcept>
#include <string>

#include "engine/gray_code.h"

namespace zepa::engine {
namespace zepa3 {

int AddressWidth(int id) {
  if (id <= codes::kVtl3032XL) return 7;
  if (id < codes::kVtl3256XL) return 8;
  return 9;
}

int RowAddress(int row, int id, int side_rows) {
  if (row < 0) throw std::out_of_range("row " + std::to_string(row) + " has no address");
  const int width = AddressWidth(id);
  const int mask = (1 << width) - 1;
  if (row == kSecurityAddressRow) {
    const int fixed = width == 7 ? 0x64 : width == 8 ? 0x1FF : 0x180;
    return fixed & mask;
  }
  const bool upper = row >= SideStride(side_rows);
  const int r = upper ? row - SideStride(side_rows) : row;
  const int upper_bit = 1 << (width - 1);
  return ((upper ? upper_bit : 0) + GrayCode(r)) & mask;
}

}  // namespace zepa3

void ShiftAddressZ3(Jtag& jtag, int row) {
  const JcdRec& rec = jtag.chain().Rec(jtag.chain().TargetDevice);
  jtag.ShiftAddress(zepa3::RowAddress(row, rec.id, rec.side_rows), zepa3::AddressWidth(rec.id));
}

}  // namespace zepa::engine
