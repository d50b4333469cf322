#include "engine/chain_scan.h"

#include <array>
#include <cstdint>
#include <string>

#include "engine/cable.h"
#include "engine/chain.h"

namespace zepa::engine {
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
  jtag.ResetToIdle();
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
  jtag.LeaveThroughReset();
  return count;
}

}  // namespace zepa::engine
