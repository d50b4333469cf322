#include "engine/cable.h"

#include <stdexcept>
#include <string>
#include <utility>

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
  TellWiring();
}

void Cable::TellWiring() {
  port_.UseWiring({.data_port = data_port_,
                   .tck = map_->PinTCK,
                   .tms = map_->PinTMS,
                   .tdi = map_->PinTDI,
                   .tdo = map_->PinTDO,
                   .tdo_reads_low = map_->tdo_reads_low,
                   .loop_drive = map_->loop_drive,
                   .loop_sense = map_->loop_sense});
}

void Cable::WriteData(std::uint8_t value) {
  const bool tck_changes = !data_known_ || ((value ^ data_) & map_->PinTCK) != 0;
  if (tck_changes && tck_delay_ns > 0 && clock_ != nullptr) {
    // The half period that this write ends lasts its time first.
    const std::int64_t due = tck_edge_ns_ + tck_delay_ns;
    while (clock_->NowNs() < due) clock_->RunDelayUnits(1, 1);
  }
  port_.WritePortByte(data_port_, value);
  if (tck_changes && clock_ != nullptr) tck_edge_ns_ = clock_->NowNs();
  data_known_ = true;
  data_ = value;
}

void Cable::SyncData() {
  if (OffLine) return;
  if (!data_known_ || data_ != data_shadow_) WriteData(data_shadow_);
  tck_fell_ = false;
}

void Cable::SetPin(std::uint8_t mask, int level) {
  data_shadow_ = static_cast<std::uint8_t>(level ? data_shadow_ | mask : data_shadow_ & ~mask);
  if ((IspOptions & kOptBif) && recorder_ != nullptr) recorder_->Record(data_shadow_, *map_);
  if (OffLine) return;
  if (port_writes == PortWrites::kEveryChange) {
    WriteData(data_shadow_);
    return;
  }
  const std::uint8_t tck = map_->PinTCK;
  const bool port_high = data_known_ && (data_ & tck) != 0;
  if ((data_shadow_ & tck) == 0) {
    // TCK low: the write waits for the next rising edge, which it shares.
    if (port_high) tck_fell_ = true;
    return;
  }
  if (port_high && !tck_fell_) {
    // TCK stays high: only a change of the other lines is written.
    if (data_ != data_shadow_) WriteData(data_shadow_);
    return;
  }
  // A rising edge: the lines settle with TCK low (that write also ends the previous clock), then TCK rises.
  const auto low = static_cast<std::uint8_t>(data_shadow_ & ~tck);
  if (!data_known_ || data_ != low) WriteData(low);
  WriteData(data_shadow_);
  tck_fell_ = false;
}

int Cable::ReadTdo() {
  if (OffLine) return 1;
  SyncData();
  const bool bit = (port_.ReadPortByte(status_port_) & map_->PinTDO) != 0;
  return bit != map_->tdo_reads_low ? 1 : 0;
}

void Cable::RequestTdo() {
  if (!OffLine) {
    SyncData();
    port_.RequestRead(status_port_);
  }
  ++requested_;
}

std::vector<std::uint8_t> Cable::TakeTdo() {
  const std::size_t count = std::exchange(requested_, 0);
  if (OffLine) return std::vector<std::uint8_t>(count, 1);
  std::vector<std::uint8_t> bits = port_.CollectReads();
  if (bits.size() != count)
    throw std::logic_error("the port answered " + std::to_string(bits.size()) + " of " +
                           std::to_string(count) + " requested reads");
  for (std::uint8_t& b : bits) b = ((b & map_->PinTDO) != 0) != map_->tdo_reads_low ? 1 : 0;
  return bits;
}

void Cable::Flush() {
  SyncData();
  if (!OffLine) port_.Flush();
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
  data_known_ = false;
  TellWiring();
  return true;
}

void Cable::AutoSelectPort() {
  if (OffLine) return;
  data_known_ = false;
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
  if (!OffLine) WriteData(0);
  SetPin(map_->PinCtl1, map_->ctl1_level ? 1 : 0);
  SetPin(map_->PinCtl2, map_->ctl2_level ? 1 : 0);
  SyncData();  // the auxiliary lines take their levels now, not with the first clock
  if (map_->sets_control_bit1 && !OffLine) {
    const auto control = static_cast<std::uint16_t>(data_port_ + 2);
    port_.WritePortByte(control, static_cast<std::uint8_t>(port_.ReadPortByte(control) | 0x02));
  }
}

bool Cable::CheckCablePresent() {
  if (map_->loop_drive == 0) return true;
  if (OffLine) return false;
  SyncData();
  WriteData(map_->loop_drive);
  const bool high = (port_.ReadPortByte(status_port_) & map_->loop_sense) != 0;
  WriteData(0x00);
  const bool low = (port_.ReadPortByte(status_port_) & map_->loop_sense) == 0;
  return high && low;
}

void Cable::WriteDataDirect(std::uint8_t value) {
  if (OffLine) return;
  SyncData();
  WriteData(value);
}

}  // namespace zepa::engine
