#include "sim/zepa3_family.h"

#include <algorithm>
#include <chrono>

namespace zepa::sim {
namespace {

enum : std::uint32_t {
  kEnable = 9,
  kErase = 10,
  kProgram = 11,
  kVerify = 12,
  kInit = 13,
  kDisable = 16,
};

constexpr int kLoaderSecurityAddress = 0x3E;  // the 4-bit loader's fixed address, 7 bits
constexpr int kLoaderAddressBits = 7;
constexpr std::int64_t kEraseDwellNs = 100'000'000;
constexpr std::int64_t kProgramDwellNs = 10'000'000;
constexpr std::int64_t kNsPerTck = 1'000;  // TCK cycles count at 1 MHz

// The part's own fixed security address, or -1 where it names a row (8 address bits: FFh is row 191).
int OwnSecurityAddress(int width) {
  if (width == 7) return 0x64;
  if (width == 9) return 0x180;
  return -1;
}

class Zepa3Family final : public IspFamily {
 public:
  Zepa3Family(const PartInfo& part, DeviceMemory& memory, Zepa3Setup setup)
      : memory_(memory),
        setup_(std::move(setup)),
        length_(static_cast<std::size_t>(part.dr_length)),
        width_(Zepa3AddressWidth(part.type_code)),
        side_rows_(part.side_rows),
        security_row_(2 * part.side_rows + 2),
        reg_(length_ + static_cast<std::size_t>(width_), true) {
    if (!setup_.now_ns) {
      setup_.now_ns = [] {
        return std::chrono::duration_cast<std::chrono::nanoseconds>(
                   std::chrono::steady_clock::now().time_since_epoch())
            .count();
      };
    }
  }

  std::size_t DrLength(std::uint32_t instruction) const override {
    return (instruction >= kEnable && instruction <= kInit) || instruction == kDisable ? reg_.size() : 0;
  }

  void Capture(std::uint32_t instruction, Bits& reg) override {
    if (enabled_ && (instruction == kVerify || instruction == kProgram)) {
      const auto data_end = reg_.begin() + static_cast<long>(length_);
      if (instruction == kVerify && SecurityQuery()) {
        std::fill(reg_.begin(), data_end, true);
        reg_[0] = !Secured();
      } else {
        const int row = Zepa3RowOfAddress(latched_address_, width_, side_rows_);
        const bool secured = Secured();
        for (std::size_t j = 0; j < length_; ++j) reg_[j] = row < 0 || (!secured && Cell(row, j));
        if (row >= 0 && secured) std::fill(reg_.begin(), data_end, false);
      }
    }
    reg = reg_;
  }

  void Update(std::uint32_t /*instruction*/, const Bits& reg) override {
    reg_ = reg;
    latched_address_ = RegisterAddress();
    StartDwell();
  }

  void InstructionLoaded(std::uint32_t instruction) override {
    if (instruction == kEnable) enabled_ = true;
    if (instruction == kDisable) enabled_ = false;
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
  int RegisterAddress() const {
    int address = 0;
    for (int b = 0; b < width_; ++b) {
      if (reg_[length_ + static_cast<std::size_t>(width_ - 1 - b)]) address |= 1 << b;
    }
    return address;
  }

  // Whether the latched register asks for the security state (see the header).
  bool SecurityQuery() const {
    std::size_t from;
    if (latched_address_ == OwnSecurityAddress(width_)) {
      from = 0;
    } else if (latched_address_ == kLoaderSecurityAddress) {
      from = static_cast<std::size_t>(width_ - kLoaderAddressBits);
    } else {
      return false;
    }
    return std::none_of(reg_.begin() + static_cast<long>(from), reg_.begin() + static_cast<long>(length_),
                        [](bool b) { return b; });
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

  bool Secured() const { return memory_.secured || !Cell(security_row_, length_ - 1); }

  void ProgramLatchedRow() {
    const int row = Zepa3RowOfAddress(latched_address_, width_, side_rows_);
    if (row < 0) return;
    Bits& cells = memory_.rows[row];
    if (cells.size() != length_) cells.assign(length_, true);
    for (std::size_t j = 0; j < length_; ++j) {
      if (!reg_[j]) cells[j] = false;
    }
    if (std::all_of(cells.begin(), cells.end(), [](bool b) { return b; })) memory_.rows.erase(row);
  }

  DeviceMemory& memory_;
  Zepa3Setup setup_;
  std::size_t length_;
  int width_;
  int side_rows_;
  int security_row_;
  Bits reg_;
  int latched_address_ = -1;
  bool enabled_ = false;
  bool armed_ = false;
  std::int64_t dwell_start_ns_ = 0;
  std::int64_t dwell_cycles_ = 0;
};

}  // namespace

int Zepa3AddressWidth(int type_code) {
  if (type_code <= 144) return 7;
  if (type_code <= 147) return 8;
  return 9;
}

int Zepa3RowOfAddress(int address, int width, int side_rows) {
  if (address < 0 || address >= (1 << width)) return -1;
  const int side = (address >> (width - 1)) & 1;
  int gray = address & ((1 << (width - 1)) - 1);
  int row = 0;
  for (; gray != 0; gray >>= 1) row ^= gray;
  if (row > side_rows + 1) return -1;
  return side * (side_rows + 2) + row;
}

FamilyFactory Zepa3Factory(Zepa3Setup setup) {
  return [setup](const PartInfo& part, DeviceMemory& memory) -> std::unique_ptr<IspFamily> {
    return std::make_unique<Zepa3Family>(part, memory, setup);
  };
}

void AddZepa3Family(FamilyRegistry& registry, Zepa3Setup setup) {
  registry.Add(Family::kZepa3, Zepa3Factory(std::move(setup)));
}

}  // namespace zepa::sim
