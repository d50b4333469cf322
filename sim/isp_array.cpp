#include "sim/isp_array.h"

#include <algorithm>
#include <chrono>

namespace zepa::sim {

NowNs ClockOrSteady(NowNs now_ns) {
  if (now_ns) return now_ns;
  return [] {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
  };
}

int InverseGray(int gray) {
  int value = 0;
  for (; gray != 0; gray >>= 1) value ^= gray;
  return value;
}

int RowOfGrayAddress(int address, int width, int rows_per_side) {
  if (address < 0 || address >= (1 << width)) return -1;
  const int side = (address >> (width - 1)) & 1;
  const int row = InverseGray(address & ((1 << (width - 1)) - 1));
  if (row >= rows_per_side) return -1;
  return side * rows_per_side + row;
}

RowArrayFamily::RowArrayFamily(DeviceMemory& memory, NowNs now_ns, std::shared_ptr<Zepa1Faults> faults,
                               std::size_t length, int width, int latched_address)
    : memory_(memory),
      length_(length),
      width_(width),
      reg_(length + static_cast<std::size_t>(width), true),
      latched_address_(latched_address),
      dwell_(std::move(now_ns)),
      faults_(std::move(faults)) {}

void RowArrayFamily::Update(std::uint32_t /*instruction*/, const Bits& reg) {
  reg_ = reg;
  latched_address_ = RegisterAddress();
  dwell_.Start();
}

void RowArrayFamily::RunTestIdleClock(std::uint32_t instruction) {
  dwell_.Clock();
  if (instruction == kInit) running_ = true;
  if (!dwell_.armed() || !enabled_ || (instruction != kErase && instruction != kProgram)) return;
  if (!dwell_.Lasted(instruction == kErase ? kEraseDwellNs : kProgramDwellNs)) return;
  dwell_.Disarm();
  if (instruction == kErase) {
    memory_.Erase();
    running_ = false;
  } else {
    ProgramLatchedRow();
  }
}

void RowArrayFamily::TestLogicReset() {
  enabled_ = false;
  dwell_.Disarm();
}

int RowArrayFamily::RegisterAddress() const {
  int address = 0;
  for (int b = 0; b < width_; ++b) {
    if (reg_[length_ + static_cast<std::size_t>(width_ - 1 - b)]) address |= 1 << b;
  }
  return address;
}

bool RowArrayFamily::Cell(int row, std::size_t bit) const {
  if (faults_) {
    if (const auto* cells = faults_->For(memory_)) {
      for (const auto& cell : *cells) {
        if (cell.row == row && static_cast<std::size_t>(cell.bit) == bit) return cell.value;
      }
    }
  }
  auto it = memory_.rows.find(row);
  return it == memory_.rows.end() || bit >= it->second.size() || it->second[bit];
}

void RowArrayFamily::ProgramLatchedRow() {
  const int row = RowOf(latched_address_);
  if (row < 0) return;
  if (!IsSignatureRow(row)) running_ = false;
  Bits& cells = memory_.rows[row];
  if (cells.size() != length_) cells.assign(length_, true);
  for (std::size_t j = 0; j < length_; ++j) {
    if (!reg_[j]) cells[j] = false;
  }
  if (std::all_of(cells.begin(), cells.end(), [](bool b) { return b; })) memory_.rows.erase(row);
  memory_.Programmed(row);
}

}  // namespace zepa::sim
