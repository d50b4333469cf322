// One device of the simulated chain: a TAP controller with its instruction register (capture value ...01),
// BYPASS, IDCODE, and room for a family's ISP registers, which plug in through IspFamily.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "sim/parts.h"
#include "sim/tap.h"

namespace zepa::sim {

using Bits = std::vector<bool>;

// What a device keeps with the power off: its programmed rows and its security state. A row that is not
// in the map is erased (reads all ones).
struct DeviceMemory {
  bool secured = false;
  std::map<int, Bits> rows;

  // What an erase or program changed since the board last wrote the memory down: whether it was erased,
  // then the rows programmed since. Not part of what the memory holds.
  struct Changes {
    bool erased = false;
    std::set<int> rows;
    bool any() const { return erased || !rows.empty(); }
  };
  Changes changes;

  // An erase: every row reads all ones, the security is off.
  void Erase() {
    rows.clear();
    secured = false;
    changes = {.erased = true, .rows = {}};
  }
  // A program has changed `row` (now as `rows` holds it, or gone when it reads all ones).
  void Programmed(int row) { changes.rows.insert(row); }

  bool operator==(const DeviceMemory& other) const { return secured == other.secured && rows == other.rows; }
};

// A family's ISP registers and array behaviour. The device handles BYPASS and IDCODE itself and asks the
// family about every other instruction.
class IspFamily {
 public:
  virtual ~IspFamily() = default;
  // Length of the data register the instruction selects; 0 when the family has no such instruction, which
  // then acts as BYPASS.
  virtual std::size_t DrLength(std::uint32_t instruction) const = 0;
  // Capture-DR: fill `reg` (already DrLength long; bit 0 is the first to leave on TDO).
  virtual void Capture(std::uint32_t instruction, Bits& reg) = 0;
  // Update-DR with the bits shifted in. Bit 0 is nearest TDO: after a full shift it holds the first bit in.
  virtual void Update(std::uint32_t instruction, const Bits& reg) = 0;
  // Update-IR has made `instruction` current.
  virtual void InstructionLoaded(std::uint32_t /*instruction*/) {}
  // One TCK cycle in Run-Test/Idle.
  virtual void RunTestIdleClock(std::uint32_t /*instruction*/) {}
  virtual void TestLogicReset() {}
  // Whether the part runs the logic its array holds (as it does from power-up).
  virtual bool Running() const { return true; }
};

// Builds the family behaviour of one device over its memory (which outlives it).
using FamilyFactory = std::function<std::unique_ptr<IspFamily>(const PartInfo&, DeviceMemory&)>;

// Which families the board simulates beyond BYPASS and IDCODE: one entry per family.
class FamilyRegistry {
 public:
  void Add(Family family, FamilyFactory factory) { factories_[family] = std::move(factory); }
  std::unique_ptr<IspFamily> Create(const PartInfo& part, DeviceMemory& memory) const;

 private:
  std::map<Family, FamilyFactory> factories_;
};

// The families of this build.
FamilyRegistry DefaultFamilies();

// A small ring-buffer shift register: shifting is O(1) whatever its length.
class ShiftRegister {
 public:
  void Reset(std::size_t length);
  std::size_t size() const { return bits_.size(); }
  bool Out() const { return bits_.empty() ? true : bits_[head_] != 0; }
  void Shift(bool in) {
    if (bits_.empty()) return;
    bits_[head_] = in;
    if (++head_ == bits_.size()) head_ = 0;
  }
  bool Get(std::size_t i) const { return bits_[(head_ + i) % bits_.size()] != 0; }
  void Load(const Bits& bits);
  void LoadWord(std::uint64_t value, std::size_t length);
  Bits Contents() const;
  std::uint64_t Word() const;  // the low 64 bits

 private:
  std::vector<std::uint8_t> bits_;
  std::size_t head_ = 0;
};

struct DeviceSetup {
  const PartInfo* part = nullptr;
  int ir_length = 0;
  std::optional<std::uint32_t> idcode;      // no IDCODE register when empty
  std::optional<std::uint32_t> ir_capture;  // what Capture-IR loads; ...0001 when empty
};

class Device {
 public:
  static constexpr std::uint32_t kIdcodeInstruction = 1;

  Device(const DeviceSetup& setup, std::unique_ptr<IspFamily> family, DeviceMemory& memory);

  // Clock edges, in the order a real TCK gives them. TDO changes only on the falling edge.
  void Rising(bool tms, bool tdi);
  void Falling();
  bool tdo() const { return tdo_; }
  // TRST: straight to Test-Logic-Reset.
  void AsyncReset();

  TapState state() const { return state_; }
  std::uint32_t instruction() const { return instruction_; }
  int ir_length() const { return setup_.ir_length; }
  const std::optional<std::uint32_t>& idcode() const { return setup_.idcode; }
  const PartInfo& part() const { return *setup_.part; }
  DeviceMemory& memory() { return memory_; }
  // Whether the part runs its array's logic: false from an erase or a design-row program until INIT.
  bool running() const { return family_ ? family_->Running() : true; }

 private:
  enum class Register : std::uint8_t { kBypass, kIdcode, kFamily };

  void ResetLogic();
  void Select();
  void CaptureDr();

  DeviceSetup setup_;
  std::unique_ptr<IspFamily> family_;
  DeviceMemory& memory_;
  TapState state_ = TapState::kTestLogicReset;
  std::uint32_t instruction_ = 0;
  std::uint32_t all_ones_ = 0;
  Register selected_ = Register::kBypass;
  ShiftRegister ir_;
  ShiftRegister dr_;
  Bits scratch_;
  bool tdo_ = true;
};

// The clock edges run for every device on every TCK edge; they live here so the board can inline them.
inline void Device::Rising(bool tms, bool tdi) {
  switch (state_) {
    case TapState::kCaptureDr:
      CaptureDr();
      break;
    case TapState::kShiftDr:
      dr_.Shift(tdi);
      break;
    case TapState::kCaptureIr:
      ir_.LoadWord(setup_.ir_capture.value_or(1), static_cast<std::size_t>(setup_.ir_length));
      break;
    case TapState::kShiftIr:
      ir_.Shift(tdi);
      break;
    case TapState::kRunTestIdle:
      if (family_) family_->RunTestIdleClock(instruction_);
      break;
    default:
      break;
  }
  state_ = NextTapState(state_, tms);
}

inline void Device::Falling() {
  switch (state_) {
    case TapState::kTestLogicReset:
      ResetLogic();
      break;
    case TapState::kUpdateIr:
      instruction_ = static_cast<std::uint32_t>(ir_.Word());
      Select();
      if (family_) family_->InstructionLoaded(instruction_);
      break;
    case TapState::kUpdateDr:
      if (selected_ == Register::kFamily) family_->Update(instruction_, dr_.Contents());
      break;
    default:
      break;
  }
  tdo_ = state_ == TapState::kShiftDr ? dr_.Out() : state_ == TapState::kShiftIr ? ir_.Out() : true;
}

}  // namespace zepa::sim
