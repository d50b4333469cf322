#include "engine/cable.h"

#include <stdexcept>
#include <string>

#include "engine/jtag.h"
#include "engine/zepa1_protocol.h"

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
    host_.prompts.beep();
    host_.prompts.show(BoxIcon::kError, "Warning!", "Driver \"KPortIo1\" not found");
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

namespace {

constexpr std::array<std::uint8_t, 70> kScanPattern{
    1, 0, 0, 1, 0, 1, 1, 1, 0, 1,  //
    0, 1, 1, 1, 0, 0, 0, 0, 1, 1,  //
    0, 0, 1, 1, 1, 0, 1, 1, 1, 1,  //
    0, 1, 0, 1, 0, 1, 0, 1, 0, 1,  //
    0, 0, 1, 1, 0, 1, 1, 0, 0, 0,  //
    0, 0, 0, 0, 0, 1, 1, 1, 1, 1,  //
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
};
constexpr int kHeadLength = 10;

}  // namespace

int ScanChain(Jtag& jtag) {
  Cable& cable = jtag.cable();
  MessageSink& messages = jtag.messages();

  // Every instruction register to all ones, so each device sits in BYPASS.
  LoadInstructionZ1(jtag, zepa1::kResetToIdle);
  jtag.TapStep(SelectDrScan);
  jtag.TapStep(SelectIrScan);
  jtag.TapStep(CaptureIr);
  jtag.TapStep(ShiftIr);
  const int ones = 4 * MaxDevices + 4;
  for (int i = 0; i < ones; ++i) {
    cable.SetPin(cable.PinTDI(), 1);
    cable.SetPin(cable.PinTMS(), i == ones - 1 ? 1 : 0);
    cable.SetPin(cable.PinTCK(), 1);
    cable.SetPin(cable.PinTCK(), 0);
  }
  jtag.TapStep(UpdateIr);

  jtag.TapStep(RunTestIdle);
  jtag.TapStep(SelectDrScan);
  jtag.TapStep(CaptureDr);
  jtag.TapStep(ShiftDr);
  for (int i = 0; i < MaxDevices; ++i) {
    cable.SetPin(cable.PinTDI(), 0);
    jtag.TapStep(ShiftDr);
  }

  std::array<std::uint8_t, kScanPattern.size()> received{};
  for (std::size_t i = 0; i < kScanPattern.size(); ++i) {
    cable.SetPin(cable.PinTDI(), kScanPattern[i]);
    cable.SetPin(cable.PinTCK(), 1);
    cable.SetPin(cable.PinTCK(), 0);
    received[i] = static_cast<std::uint8_t>(cable.ReadTdo());
  }

  if (cable.IspOptions & kOptVerifyLog) {
    std::string sent = "Bits sent out:    ";
    std::string back = "Bits read back: ";
    for (std::size_t i = 0; i < kScanPattern.size(); ++i) {
      sent += static_cast<char>('0' + kScanPattern[i]);
      back += static_cast<char>('0' + received[i]);
    }
    messages.add_message(sent);
    messages.add_message(back);
  }

  // Each device in BYPASS delays the stream by one bit; the first sample already shows the last device's.
  // The head is only looked for where all ten of its bits were received (offsets 0..60).
  int count = 0;
  for (std::size_t k = 0; k + kHeadLength <= received.size(); ++k) {
    bool match = true;
    for (int j = 0; j < kHeadLength && match; ++j) match = received[k + j] == kScanPattern[j];
    if (match) {
      count = static_cast<int>(k) + 1;
      break;
    }
  }
  if (!cable.CheckCablePresent()) count = 0;
  jtag.chain().DeviceCount = count;

  if (count < 1 || count > MaxDevices) {
    messages.add_message(cable.Map().warning_line);
    cable.CableFound = false;
    cable.CableMissing = true;
  } else {
    messages.add_message(cable.Map().found_line);
    cable.CableFound = true;
    cable.CableMissing = false;
    if (count == 1) {
      messages.add_message("There is 1 JTAG device in the system.");
    } else {
      messages.add_message("There are " + std::to_string(count) +
                           " JTAG devices daisy chainning in the system.");
    }
  }
  messages.add_message("");
  jtag.TapStep(Exit1Dr);
  jtag.TapStep(UpdateDr);
  LoadInstructionZ1(jtag, zepa1::kLeaveThroughReset);
  return count;
}

}  // namespace zepa::engine
