#include "sim/zepa1_family.h"

#include <algorithm>

namespace zepa::sim {
namespace {

// The part's own instruction codes, kept apart from the engine's so that the board checks what it is sent.
enum : std::uint32_t {
  kEnableActiveIo = 8,
  kEnable = 9,
  kVerify = 12,
  kInit = 13,
};

constexpr int kRowsPerSide = 43;
constexpr int kAddressBits = 7;
constexpr int kSecurityRow = 83;
constexpr int kSignatureRow = 41;  // of each side
constexpr int kSecurityAddress = 62;

class Zepa1Family final : public RowArrayFamily {
 public:
  Zepa1Family(const PartInfo& part, DeviceMemory& memory, const Zepa1Setup& setup)
      : RowArrayFamily(memory, setup.now_ns, setup.faults, static_cast<std::size_t>(part.dr_length),
                       kAddressBits, 0),
        sec_cell_(part.dr_length - 1 - Zepa1SecurityPosition(part.type_code)) {}

  std::size_t DrLength(std::uint32_t instruction) const override {
    return instruction >= kEnableActiveIo && instruction <= kInit ? reg_.size() : 0;
  }

  void Capture(std::uint32_t instruction, Bits& reg) override {
    if (instruction == kVerify && enabled_) {
      const int address = RegisterAddress();
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

  void InstructionLoaded(std::uint32_t instruction) override {
    if (instruction == kEnable || instruction == kEnableActiveIo) enabled_ = true;
    dwell_.Start();
  }

 private:
  int RowOf(int address) const override { return Zepa1RowOfAddress(address); }
  bool IsSignatureRow(int row) const override { return row % kRowsPerSide == kSignatureRow; }

  bool Secured() const {
    return memory_.secured || (sec_cell_ >= 0 && !Cell(kSecurityRow, static_cast<std::size_t>(sec_cell_)));
  }

  int sec_cell_;
};

}  // namespace

int Zepa1SecurityPosition(int type_code) {
  if (type_code == 120) return 514;
  if (type_code == 119 || type_code == 121) return 257;
  return 0;
}

int Zepa1RowOfAddress(int address) {
  return RowOfGrayAddress(address, kAddressBits, kRowsPerSide);
}

FamilyFactory Zepa1Factory(Zepa1Setup setup) {
  return FactoryOf<Zepa1Family>(std::move(setup));
}

void AddZepa1Family(FamilyRegistry& registry, Zepa1Setup setup) {
  registry.Add(Family::kZepa1, Zepa1Factory(std::move(setup)));
}

}  // namespace zepa::sim
