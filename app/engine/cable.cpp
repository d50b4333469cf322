#include "engine/cable.h"

#include <stdexcept>
#include <string>

#include "engine/jtag.h"

namespace zepa::engine {

const CableMap& CableMapFor(CableKind kind) {
  for (const CableMap& map : kCableMaps) {
    if (map.kind == kind) return map;
  }
  throw std::invalid_argument("unknown cable kind");
}

Cable::Cable(port::PortIo& HwCtrl, const EngineHost& host) : port_(HwCtrl), host_(host) {}

void Cable::ApplyCable(CableKind kind) {
  map_ = &CableMapFor(kind);
  data_shadow_ = 0;
}

void Cable::SetPin(std::uint8_t mask, int level) {
  data_shadow_ = static_cast<std::uint8_t>(level ? data_shadow_ | mask : data_shadow_ & ~mask);
  if ((IspOptions & kOptBif) && recorder_ != nullptr) recorder_->Record(data_shadow_, *map_);
  if (!OffLine) port_.WritePortByte(data_port_, data_shadow_);
}

int Cable::ReadTdo() {
  if (OffLine) return 1;
  const bool bit = (port_.ReadPortByte(status_port_) & map_->PinTDO) != 0;
  return bit != map_->tdo_reads_low ? 1 : 0;
}

bool Cable::SelectPort(int selection) {
  if (selection < 0 || selection > kAutoPortSelection)
    throw std::out_of_range("port selection " + std::to_string(selection) + " is not 0..3");
  if (!port_.Active() && !OffLine) {
    // A backend that told why it could not open, as it failed, leaves nothing to add.
    if (const std::string warning = port_.InactiveWarning(); !warning.empty()) {
      host_.prompts.beep();
      host_.prompts.show(BoxIcon::kError, "Warning!", warning);
    }
    return false;
  }
  if (selection == kAutoPortSelection) {
    AutoSelectPort();
  } else {
    data_port_ = kPortCandidates[static_cast<std::size_t>(selection)];
    status_port_ = static_cast<std::uint16_t>(data_port_ + 1);
  }
  return true;
}

void Cable::AutoSelectPort() {
  if (OffLine) return;
  static constexpr std::array<std::uint8_t, 6> kTestBytes{0x55, 0xAA, 0x33, 0xCC, 0x66, 0x09};
  for (std::uint16_t candidate : kPortCandidates) {
    bool echoes = true;
    for (std::uint8_t value : kTestBytes) {
      port_.WritePortByte(candidate, value);
      if (port_.ReadPortByte(candidate) != value) echoes = false;
    }
    if (echoes) {
      data_port_ = candidate;
      status_port_ = static_cast<std::uint16_t>(candidate + 1);
      return;
    }
  }
  AbortDevice(host_, 0, "Can not find available Parallel port for use. Use #378 as default!");
}

void Cable::InitCableLines() {
  if (!OffLine) port_.WritePortByte(data_port_, 0);
  SetPin(map_->PinCtl1, map_->ctl1_level ? 1 : 0);
  SetPin(map_->PinCtl2, map_->ctl2_level ? 1 : 0);
  if (map_->sets_control_bit1 && !OffLine) {
    const auto control = static_cast<std::uint16_t>(data_port_ + 2);
    port_.WritePortByte(control, static_cast<std::uint8_t>(port_.ReadPortByte(control) | 0x02));
  }
}

bool Cable::CheckCablePresent() {
  if (map_->loop_drive == 0) return true;
  if (OffLine) return false;
  port_.WritePortByte(data_port_, map_->loop_drive);
  const bool high = (port_.ReadPortByte(status_port_) & map_->loop_sense) != 0;
  port_.WritePortByte(data_port_, 0x00);
  const bool low = (port_.ReadPortByte(status_port_) & map_->loop_sense) == 0;
  return high && low;
}

void Cable::WriteDataDirect(std::uint8_t value) {
  if (!OffLine) port_.WritePortByte(data_port_, value);
}

}  // namespace zepa::engine
