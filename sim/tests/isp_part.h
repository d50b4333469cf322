// Test helper: one part on a simulated board with the family behaviour a test registers, its virtual time,
// driven pin by pin from Run-Test/Idle back to Run-Test/Idle.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "sim/board.h"
#include "sim/isp_array.h"
#include "sim/tests/jtag_driver.h"

namespace zepa::sim::testing {

inline std::string Ones(int n) {
  return std::string(static_cast<std::size_t>(n), '1');
}
inline std::string Zeros(int n) {
  return std::string(static_cast<std::size_t>(n), '0');
}

// The address of a row: the side bit on top of the Gray code of the row within its side.
inline int RowAddress(int row, int rows_per_side, int width) {
  const int side = row >= rows_per_side;
  const int r = side ? row - rows_per_side : row;
  return (side << (width - 1)) | (r ^ (r >> 1));
}

class IspPart {
 public:
  // Registers the family under test; `now_ns` reads the part's virtual time.
  using AddFamily = std::function<void(FamilyRegistry& registry, NowNs now_ns)>;

  IspPart(const std::string& part, int ir_bits, const AddFamily& add)
      : board_(SpecOf("device " + part), Families(add)), jtag_(board_), ir_bits_(ir_bits) {
    Reset();
  }

  Board& board() { return board_; }
  DeviceMemory& memory() { return board_.device(1).memory(); }
  const PartInfo& info() { return board_.device(1).part(); }

  // Test-Logic-Reset, then Run-Test/Idle.
  void Reset() {
    jtag_.Reset();
    jtag_.Tms("0");
  }
  void Instruction(std::uint32_t code) {
    jtag_.ToShiftIr();
    jtag_.Shift(ir_bits_, code);
    jtag_.UpdateToIdle();
  }
  // Shifts `in` (first character first) through the data register; returns what came out.
  std::string Dr(const std::string& in) {
    jtag_.ToShiftDr();
    std::string out;
    for (std::size_t i = 0; i < in.size(); ++i) {
      out += board_.JtagTdo() ? '1' : '0';
      jtag_.Clock(i + 1 == in.size(), in[i] == '1');
    }
    jtag_.UpdateToIdle();
    return out;
  }
  // Row data then `bits` address bits, most significant first.
  std::string Register(const std::string& data, int address, int bits) {
    std::string in = data;
    for (int b = bits - 1; b >= 0; --b) in += (address >> b) & 1 ? '1' : '0';
    return Dr(in);
  }
  // Waits in Run-Test/Idle for `ns` and `cycles` clocks. The clock that next leaves Run-Test/Idle is one
  // more idle cycle, and is where a dwell takes effect.
  void Dwell(std::int64_t ns, int cycles = 0) {
    now_ns_ += ns;
    jtag_.Tms(std::string(static_cast<std::size_t>(cycles), '0'));
  }

 private:
  FamilyRegistry Families(const AddFamily& add) {
    FamilyRegistry registry;
    add(registry, [this] { return now_ns_; });
    return registry;
  }

  std::int64_t now_ns_ = 0;
  Board board_;
  JtagDriver jtag_;
  int ir_bits_;
};

}  // namespace zepa::sim::testing
