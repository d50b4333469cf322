// What the simulated parts' in-system-programming registers have in common: the wall clock they read, the
// dwell an erase or program waits for in Run-Test/Idle, Gray-coded row addresses, stuck cells, and the
// row-array behaviour of the ZEPA1 and ZEPA3 parts (ENABLE, arming, the latched address, 1 -> 0 programming).
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <vector>

#include "sim/device.h"

namespace zepa::sim {

// Wall time in nanoseconds (monotonic).
using NowNs = std::function<std::int64_t()>;

// `now_ns`, or the steady clock when it is empty.
NowNs ClockOrSteady(NowNs now_ns);

// A wait in Run-Test/Idle. It counts from Start() and lasts the larger of the wall time on the clock and the
// Run-Test/Idle TCK cycles at 1 MHz, so a calibrated wait and an SVF RUNTEST both satisfy it.
class IspDwell {
 public:
  static constexpr std::int64_t kNsPerTck = 1'000;

  explicit IspDwell(NowNs now_ns) : now_ns_(ClockOrSteady(std::move(now_ns))) {}

  void Start() {
    armed_ = true;
    start_ns_ = now_ns_();
    cycles_ = 0;
  }
  void Disarm() { armed_ = false; }
  bool armed() const { return armed_; }
  // One TCK cycle in Run-Test/Idle.
  void Clock() { ++cycles_; }
  // Whether the dwell since Start() has lasted `ns`.
  bool Lasted(std::int64_t ns) const { return std::max(now_ns_() - start_ns_, cycles_ * kNsPerTck) >= ns; }

 private:
  NowNs now_ns_;
  bool armed_ = false;
  std::int64_t start_ns_ = 0;
  std::int64_t cycles_ = 0;
};

// The binary value of a Gray code.
int InverseGray(int gray);

// The row an address of `width` bits selects - its top bit the side, the rest the Gray code of the row in its
// side of `rows_per_side` rows - or -1 when it names none.
int RowOfGrayAddress(int address, int width, int rows_per_side);

// Cells that hold one value whatever is erased or programmed, per device (by its memory). Used by the ZEPA1
// and ZEPA3 parts.
class Zepa1Faults {
 public:
  struct StuckCell {
    int row;
    int bit;  // row bit, 0 = first out
    bool value;
  };
  void Stick(const DeviceMemory& memory, int row, int bit, bool value) {
    cells_[&memory].push_back({row, bit, value});
  }
  void Clear() { cells_.clear(); }
  const std::vector<StuckCell>* For(const DeviceMemory& memory) const {
    auto it = cells_.find(&memory);
    return it == cells_.end() ? nullptr : &it->second;
  }

 private:
  std::map<const DeviceMemory*, std::vector<StuckCell>> cells_;
};

// A part whose array is rows of `length` cells behind one register: the row data at the TDO end (row bit 0
// leaves first), `width` address bits at the TDI end (the most significant next to the data). The register
// keeps its contents across instruction changes and Update-DR latches its address. With ENABLE in force,
// ERASE sets every cell to 1 and PROGRAM clears the latched row's cells that are 0 in the register, each once
// the dwell started by the last Update or instruction load has lasted long enough; a shorter one changes
// nothing. Test-Logic-Reset ends ENABLE.
//
// The part runs the logic its array holds from power-up. An erase, or a program of a row that is not a
// signature row, stops it: the part is being programmed. It starts again from its array only at a
// Run-Test/Idle clock with INIT (13) loaded; leaving through Test-Logic-Reset alone keeps it stopped.
class RowArrayFamily : public IspFamily {
 public:
  static constexpr std::uint32_t kErase = 10;
  static constexpr std::uint32_t kProgram = 11;
  static constexpr std::uint32_t kInit = 13;
  static constexpr std::int64_t kEraseDwellNs = 100'000'000;
  static constexpr std::int64_t kProgramDwellNs = 10'000'000;

  void Update(std::uint32_t instruction, const Bits& reg) override;
  void RunTestIdleClock(std::uint32_t instruction) override;
  void TestLogicReset() override;
  bool Running() const override { return running_; }

 protected:
  RowArrayFamily(DeviceMemory& memory, NowNs now_ns, std::shared_ptr<Zepa1Faults> faults, std::size_t length,
                 int width, int latched_address);

  // The row an address selects, or -1.
  virtual int RowOf(int address) const = 0;
  // Whether a row holds the user signature (which the running logic does not use).
  virtual bool IsSignatureRow(int row) const = 0;

  // The address in the register's top `width` bits.
  int RegisterAddress() const;
  // A cell as it reads: its stuck value, or the stored one (1 when erased).
  bool Cell(int row, std::size_t bit) const;
  void ProgramLatchedRow();

  DeviceMemory& memory_;
  std::size_t length_;
  int width_;
  Bits reg_;
  int latched_address_;
  bool enabled_ = false;
  IspDwell dwell_;

 private:
  bool running_ = true;
  std::shared_ptr<Zepa1Faults> faults_;
};

// The factory of a family class built from (part, memory, setup).
template <class FamilyT, class SetupT>
FamilyFactory FactoryOf(SetupT setup) {
  return [setup](const PartInfo& part, DeviceMemory& memory) -> std::unique_ptr<IspFamily> {
    return std::make_unique<FamilyT>(part, memory, setup);
  };
}

}  // namespace zepa::sim
