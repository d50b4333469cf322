#include "sim/device.h"

#include <stdexcept>

namespace zepa::sim {

std::unique_ptr<IspFamily> FamilyRegistry::Create(const PartInfo& part, DeviceMemory& memory) const {
  auto it = factories_.find(part.family);
  if (it == factories_.end()) return nullptr;
  return it->second(part, memory);
}

FamilyRegistry DefaultFamilies() {
  return FamilyRegistry();
}

void ShiftRegister::Reset(std::size_t length) {
  bits_.assign(length, 0);
  head_ = 0;
}

void ShiftRegister::Load(const Bits& bits) {
  bits_.resize(bits.size());
  for (std::size_t i = 0; i < bits.size(); ++i) bits_[i] = bits[i] ? 1 : 0;
  head_ = 0;
}

void ShiftRegister::LoadWord(std::uint64_t value, std::size_t length) {
  bits_.resize(length);
  for (std::size_t i = 0; i < length; ++i) bits_[i] = i < 64 ? (value >> i) & 1 : 0;
  head_ = 0;
}

Bits ShiftRegister::Contents() const {
  Bits out(bits_.size());
  for (std::size_t i = 0; i < bits_.size(); ++i) out[i] = Get(i);
  return out;
}

std::uint64_t ShiftRegister::Word() const {
  std::uint64_t value = 0;
  for (std::size_t i = 0; i < bits_.size() && i < 64; ++i) value |= static_cast<std::uint64_t>(Get(i)) << i;
  return value;
}

Device::Device(const DeviceSetup& setup, std::unique_ptr<IspFamily> family, DeviceMemory& memory)
    : setup_(setup), family_(std::move(family)), memory_(memory) {
  if (setup_.part == nullptr) throw std::invalid_argument("a device needs a part");
  if (setup_.ir_length < 2 || setup_.ir_length > 32)
    throw std::invalid_argument("instruction register length " + std::to_string(setup_.ir_length) +
                                " is outside 2..32");
  all_ones_ = setup_.ir_length == 32 ? 0xFFFFFFFFu : (1u << setup_.ir_length) - 1;
  ir_.Reset(static_cast<std::size_t>(setup_.ir_length));
  ResetLogic();
}

void Device::ResetLogic() {
  instruction_ = setup_.idcode ? kIdcodeInstruction : all_ones_;
  Select();
  if (family_) family_->TestLogicReset();
}

void Device::AsyncReset() {
  state_ = TapState::kTestLogicReset;
  ResetLogic();
  tdo_ = true;
}

void Device::Select() {
  if (instruction_ == all_ones_) {
    selected_ = Register::kBypass;
  } else if (instruction_ == kIdcodeInstruction && setup_.idcode) {
    selected_ = Register::kIdcode;
  } else if (family_ && family_->DrLength(instruction_) > 0) {
    selected_ = Register::kFamily;
  } else {
    selected_ = Register::kBypass;
  }
}

void Device::CaptureDr() {
  switch (selected_) {
    case Register::kBypass:
      dr_.LoadWord(0, 1);
      break;
    case Register::kIdcode:
      dr_.LoadWord(*setup_.idcode, 32);
      break;
    case Register::kFamily:
      scratch_.assign(family_->DrLength(instruction_), false);
      family_->Capture(instruction_, scratch_);
      dr_.Load(scratch_);
      break;
  }
}

}  // namespace zepa::sim
