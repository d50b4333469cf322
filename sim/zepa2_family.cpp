#include "sim/zepa2_family.h"

#include <algorithm>

#include "sim/isp_array.h"

namespace zepa::sim {
namespace {

// The part's own instruction codes, kept apart from the engine's so that the board checks what it is sent.
enum : std::uint32_t {
  kFrameWrite = 7,
  kEnable = 9,
  kFrameRead = 14,
  kDisable = 16,
};

constexpr int kDataBits = kZepa2FrameLength - kZepa2AddressBits;  // 546
constexpr int kFramesPerBlock = 168;
constexpr int kFramesPerGroup = 42;
constexpr std::int64_t kFrameDwellNs = 1'000'000;

class Zepa2Family final : public IspFamily {
 public:
  Zepa2Family(const PartInfo& part, DeviceMemory& memory, const Zepa2Setup& setup)
      : memory_(memory), blocks_(part.type_code == 130 ? 2 : 6), dwell_(setup.now_ns) {
    // The pattern that follows the preamble's zeros: the two parts differ in their last two bits.
    preamble_ = {false, true, false, true, true, true, false, true, true, blocks_ == 6, blocks_ == 6};
  }

  std::size_t DrLength(std::uint32_t instruction) const override {
    return instruction == kFrameWrite || instruction == kFrameRead ? kZepa2FrameLength : 0;
  }

  void Capture(std::uint32_t instruction, Bits& reg) override {
    if (instruction == kFrameRead && enabled_ && latched_ >= 0) {
      reg = Frame(latched_);
    } else {
      std::fill(reg.begin(), reg.end(), instruction == kFrameRead);
    }
  }

  void Update(std::uint32_t instruction, const Bits& reg) override {
    if (!enabled_) return;
    const Bits address(reg.begin() + kDataBits, reg.end());
    if (instruction == kFrameRead) {
      latched_ = Zepa2FrameOfAddress(address, blocks_);
      return;
    }
    pending_ = -1;  // a frame not given its dwell is lost
    if (!preamble_seen_) {
      preamble_seen_ = address == preamble_ &&
                       std::none_of(reg.begin(), reg.begin() + kDataBits, [](bool b) { return b; });
      return;
    }
    pending_ = Zepa2FrameOfAddress(address, blocks_);
    if (pending_ < 0) return;
    pending_bits_ = reg;
    dwell_.Start();
  }

  void InstructionLoaded(std::uint32_t instruction) override {
    if (instruction == kEnable) enabled_ = true;
    if (instruction == kDisable) enabled_ = false;
    preamble_seen_ = false;  // every write starts with its preamble
    pending_ = -1;
  }

  void RunTestIdleClock(std::uint32_t instruction) override {
    dwell_.Clock();
    if (pending_ < 0 || instruction != kFrameWrite || !enabled_) return;
    if (!dwell_.Lasted(kFrameDwellNs)) return;
    memory_.rows[pending_] = pending_bits_;
    memory_.Programmed(pending_);
    pending_ = -1;
  }

  void TestLogicReset() override {
    enabled_ = false;
    preamble_seen_ = false;
    pending_ = -1;
    latched_ = -1;
  }

 private:
  Bits Frame(int frame) const {
    auto it = memory_.rows.find(frame);
    if (it != memory_.rows.end() && it->second.size() == kZepa2FrameLength) return it->second;
    Bits erased(kDataBits, true);
    const Bits address = Zepa2AddressOfFrame(frame);
    erased.insert(erased.end(), address.begin(), address.end());
    return erased;
  }

  DeviceMemory& memory_;
  int blocks_;
  Bits preamble_;
  bool enabled_ = false;
  bool preamble_seen_ = false;
  int pending_ = -1;
  Bits pending_bits_;
  int latched_ = -1;
  IspDwell dwell_;  // of the pending frame
};

int Field(const Bits& address, int from, int bits) {
  int value = 0;
  for (int b = 0; b < bits; ++b) {
    if (address[static_cast<std::size_t>(from + b)]) value |= 1 << b;
  }
  return InverseGray(value);
}

}  // namespace

int Zepa2FrameOfAddress(const Bits& address, int blocks) {
  if (address.size() != kZepa2AddressBits) return -1;
  const int index = Field(address, 0, 6);
  const int group = Field(address, 6, 2);
  const int block = Field(address, 8, 3);
  if (index >= kFramesPerGroup || block >= blocks) return -1;
  return block * kFramesPerBlock + group * kFramesPerGroup + index;
}

Bits Zepa2AddressOfFrame(int frame) {
  Bits address;
  const auto put = [&address](int value, int bits) {
    const int gray = value ^ (value >> 1);
    for (int b = 0; b < bits; ++b) address.push_back((gray >> b) & 1);
  };
  put(frame % kFramesPerGroup, 6);
  put(frame % kFramesPerBlock / kFramesPerGroup, 2);
  put(frame / kFramesPerBlock, 3);
  return address;
}

FamilyFactory Zepa2Factory(Zepa2Setup setup) {
  return FactoryOf<Zepa2Family>(std::move(setup));
}

void AddZepa2Family(FamilyRegistry& registry, Zepa2Setup setup) {
  registry.Add(Family::kZepa2, Zepa2Factory(std::move(setup)));
}

}  // namespace zepa::sim
