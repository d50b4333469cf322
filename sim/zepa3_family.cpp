#include "sim/zepa3_family.h"

#include <algorithm>

namespace zepa::sim {
namespace {

// The part's own instruction codes, kept apart from the engine's so that the board checks what it is sent.
enum : std::uint32_t {
  kEnable = 9,
  kVerify = 12,
  kInit = 13,
  kDisable = 16,
};

constexpr int kLoaderSecurityAddress = 0x3E;  // the 4-bit loader's fixed address, 7 bits
constexpr int kLoaderAddressBits = 7;

// The part's own fixed security address, or -1 where it names a row (8 address bits: FFh is row 191).
int OwnSecurityAddress(int width) {
  if (width == 7) return 0x64;
  if (width == 9) return 0x180;
  return -1;
}

class Zepa3Family final : public RowArrayFamily {
 public:
  Zepa3Family(const PartInfo& part, DeviceMemory& memory, const Zepa3Setup& setup)
      : RowArrayFamily(memory, setup.now_ns, setup.faults, static_cast<std::size_t>(part.dr_length),
                       Zepa3AddressWidth(part.type_code), -1),
        side_rows_(part.side_rows),
        security_row_(2 * part.side_rows + 2) {}

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
        const int row = RowOf(latched_address_);
        const bool secured = Secured();
        for (std::size_t j = 0; j < length_; ++j) reg_[j] = row < 0 || (!secured && Cell(row, j));
        if (row >= 0 && secured) std::fill(reg_.begin(), data_end, false);
      }
    }
    reg = reg_;
  }

  void Update(std::uint32_t instruction, const Bits& reg) override {
    RowArrayFamily::Update(instruction, reg);
    ++updates_since_enable_;
  }

  void InstructionLoaded(std::uint32_t instruction) override {
    if (instruction == kEnable) updates_since_enable_ = 0;
    if (instruction == kEnable) enabled_ = true;
    if (instruction == kDisable) enabled_ = false;
    dwell_.Start();
  }

 private:
  int RowOf(int address) const override { return Zepa3RowOfAddress(address, width_, side_rows_); }
  bool IsSignatureRow(int row) const override { return row % (side_rows_ + 2) == side_rows_ + 1; }

  // Whether the latched register asks for the security state (see the header).
  bool SecurityQuery() const {
    std::size_t from;
    if (latched_address_ == OwnSecurityAddress(width_)) {
      from = 0;
    } else if (latched_address_ == kLoaderSecurityAddress && updates_since_enable_ == 1) {
      from = static_cast<std::size_t>(width_ - kLoaderAddressBits);
    } else {
      return false;
    }
    return std::none_of(reg_.begin() + static_cast<long>(from), reg_.begin() + static_cast<long>(length_),
                        [](bool b) { return b; });
  }

  bool Secured() const { return memory_.secured || !Cell(security_row_, length_ - 1); }

  int side_rows_;
  int security_row_;
  int updates_since_enable_ = 0;  // Update-DRs since ENABLE was last loaded
};

}  // namespace

int Zepa3AddressWidth(int type_code) {
  if (type_code <= 144) return 7;
  if (type_code <= 147) return 8;
  return 9;
}

int Zepa3RowOfAddress(int address, int width, int side_rows) {
  return RowOfGrayAddress(address, width, side_rows + 2);
}

FamilyFactory Zepa3Factory(Zepa3Setup setup) {
  return FactoryOf<Zepa3Family>(std::move(setup));
}

void AddZepa3Family(FamilyRegistry& registry, Zepa3Setup setup) {
  registry.Add(Family::kZepa3, Zepa3Factory(std::move(setup)));
}

}  // namespace zepa::sim
