#include "sim/zepa1_family.h"

#include <algorithm>
#include <chrono>

namespace zepa::sim {
namespace {

enum : std::uint32_t {
  kEnableActiveIo = 8,
  kEnable = 9,
  kErase = 10,
  kProgram = 11,
  kVerify = 12,
  kInit = 13,
};

constexpr int kRowsPerSide = 43;
constexpr int kSecurityRow = 83;
constexpr int kSecurityAddress = 62;
constexpr std::int64_t kEraseDwellNs = 100'000'000;
constexpr std::int64_t kProgramDwellNs = 10'000'000;
constexpr std::int64_t kNsPerTck = 1'000;  // TCK cycles count at 1 MHz

class Zepa1Family final : public IspFamily {
 public:
  Zepa1Family(const PartInfo& part, DeviceMemory& memory, Zepa1Setup setup)
      : memory_(memory),
        setup_(std::move(setup)),
        length_(static_cast<std::size_t>(part.dr_length)),
        sec_cell_(part.dr_length - 1 - Zepa1SecurityPosition(part.type_code)),
        reg_(length_ + 7, true) {
    if (!setup_.now_ns) {
      setup_.now_ns = [] {
        return std::chrono::duration_cast<std::chrono::nanoseconds>(
                   std::chrono::steady_clock::now().time_since_epoch())
            .count();
      };
    }
  }

  std::size_t DrLength(std::uint32_t instruction) const override {
    return instruction >= kEnableActiveIo && instruction <= kInit ? length_ + 7 : 0;
  }

  void Capture(std::uint32_t instruction, Bits& reg) override {
    if (instruction == kVerify && enabled_) {
      const int address = LatchedAddress();
      if (address == kSecurityAddress) {
        std::fill(reg_.begin(), reg_.begin() + static_cast<long>(length_), true);
        reg_[0] = !Secured();
      } else {
        const int row = Zepa1RowOfAddress(address);
        const bool secured = Secured();
        for (std::size_t j = 0; j < length_; ++j) reg_[j] = row >= 0 && !secured && Cell(row, j);
        if (row < 0) std::fill(reg_.begin(), reg_.begin() + static_cast<long>(length_), true);
      }
    }
    reg = reg_;
  }

  void Update(std::uint32_t /*instruction*/, const Bits& reg) override {
    reg_ = reg;
    latched_address_ = LatchedAddress();
    StartDwell();
  }

  void InstructionLoaded(std::uint32_t instruction) override {
    if (instruction == kEnable || instruction == kEnableActiveIo) enabled_ = true;
    StartDwell();
  }

  void RunTestIdleClock(std::uint32_t instruction) override {
    ++dwell_cycles_;
    if (!armed_ || !enabled_ || (instruction != kErase && instruction != kProgram)) return;
    const std::int64_t dwell = std::max(setup_.now_ns() - dwell_start_ns_, dwell_cycles_ * kNsPerTck);
    if (dwell < (instruction == kErase ? kEraseDwellNs : kProgramDwellNs)) return;
    armed_ = false;
    if (instruction == kErase) {
      memory_.Erase();
    } else {
      ProgramLatchedRow();
    }
  }

  void TestLogicReset() override {
    enabled_ = false;
    armed_ = false;
  }

 private:
  int LatchedAddress() const {
    int address = 0;
    for (int b = 0; b < 7; ++b) {
      if (reg_[length_ + static_cast<std::size_t>(6 - b)]) address |= 1 << b;
    }
    return address;
  }

  void StartDwell() {
    armed_ = true;
    dwell_start_ns_ = setup_.now_ns();
    dwell_cycles_ = 0;
  }

  const Zepa1Faults::StuckCell* Stuck(int row, std::size_t bit) const {
    if (!setup_.faults) return nullptr;
    const auto* cells = setup_.faults->For(memory_);
    if (cells == nullptr) return nullptr;
    for (const auto& cell : *cells) {
      if (cell.row == row && static_cast<std::size_t>(cell.bit) == bit) return &cell;
    }
    return nullptr;
  }

  bool Cell(int row, std::size_t bit) const {
    if (const auto* stuck = Stuck(row, bit)) return stuck->value;
    auto it = memory_.rows.find(row);
    return it == memory_.rows.end() || bit >= it->second.size() || it->second[bit];
  }

  bool Secured() const {
    return memory_.secured || (sec_cell_ >= 0 && !Cell(kSecurityRow, static_cast<std::size_t>(sec_cell_)));
  }

  void ProgramLatchedRow() {
    const int row = Zepa1RowOfAddress(latched_address_);
    if (row < 0) return;
    Bits& cells = memory_.rows[row];
    if (cells.size() != length_) cells.assign(length_, true);
    for (std::size_t j = 0; j < length_; ++j) {
      if (!reg_[j]) cells[j] = false;
    }
    if (std::all_of(cells.begin(), cells.end(), [](bool b) { return b; })) memory_.rows.erase(row);
  }

  DeviceMemory& memory_;
  Zepa1Setup setup_;
  std::size_t length_;
  int sec_cell_;
  Bits reg_;
  int latched_address_ = 0;
  bool enabled_ = false;
  bool armed_ = false;
  std::int64_t dwell_start_ns_ = 0;
  std::int64_t dwell_cycles_ = 0;
};

}  // namespace

int Zepa1SecurityPosition(int type_code) {
  if (type_code == 120) return 514;
  if (type_code == 119 || type_code == 121) return 257;
  return 0;
}

int Zepa1RowOfAddress(int address) {
  if (address < 0 || address > 0x7F) return -1;
  const int side = (address >> 6) & 1;
  int gray = address & 0x3F;
  int row = 0;
  for (; gray != 0; gray >>= 1) row ^= gray;
  if (row >= kRowsPerSide) return -1;
  return side * kRowsPerSide + row;
}

FamilyFactory Zepa1Factory(Zepa1Setup setup) {
  return [setup](const PartInfo& part, DeviceMemory& memory) -> std::unique_ptr<IspFamily> {
    return std::make_unique<Zepa1Family>(part, memory, setup);
  };
}

void AddZepa1Family(FamilyRegistry& registry, Zepa1Setup setup) {
  registry.Add(Family::kZepa1, Zepa1Factory(std::move(setup)));
}

}  // namespace zepa::sim
