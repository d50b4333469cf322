#include "engine/chain_probe.h"

#include <algorithm>

namespace zepa::engine {
namespace {

// One shift clock: TDI set first, then TCK high and low; TMS stays low (the shift state is kept).
void ShiftBit(Cable& cable, bool tdi) {
  cable.SetPin(cable.PinTDI(), tdi ? 1 : 0);
  cable.SetPin(cable.PinTMS(), 0);
  cable.SetPin(cable.PinTCK(), 1);
  cable.SetPin(cable.PinTCK(), 0);
}

// Reads `count` bits from Shift-DR/IR with ones going in: the bit at TDO, then a clock moves the next one
// there.
std::string ReadBits(Cable& cable, int count) {
  std::string bits;
  bits.reserve(static_cast<std::size_t>(count));
  for (int i = 0; i < count; ++i) {
    bits += cable.ReadTdo() ? '1' : '0';
    ShiftBit(cable, true);
  }
  return bits;
}

void EnterShift(Jtag& jtag, bool instruction) {
  jtag.TapStep(TestLogicReset);
  jtag.TapStep(RunTestIdle);
  jtag.TapStep(SelectDrScan);
  if (instruction) {
    jtag.TapStep(SelectIrScan);
    jtag.TapStep(CaptureIr);
    jtag.TapStep(ShiftIr);
  } else {
    jtag.TapStep(CaptureDr);
    jtag.TapStep(ShiftDr);
  }
}

// Leaves a shift state through Exit1 and Update (TDI stays 1: an instruction register keeps its ones,
// BYPASS) and resets the chain.
void LeaveShift(Jtag& jtag, bool instruction) {
  Cable& cable = jtag.cable();
  cable.SetPin(cable.PinTDI(), 1);
  jtag.TapStep(instruction ? Exit1Ir : Exit1Dr);
  jtag.TapStep(instruction ? UpdateIr : UpdateDr);
  jtag.TapStep(TestLogicReset);
}

std::uint32_t WordAt(const std::string& bits, std::size_t first) {
  std::uint32_t word = 0;
  for (std::size_t i = 0; i < 32; ++i) {
    if (bits[first + i] == '1') word |= std::uint32_t{1} << i;
  }
  return word;
}

}  // namespace

std::vector<int> CutInstructionCaptures(const std::string& captured) {
  std::vector<int> lengths;
  std::size_t pos = 0;
  while (pos < captured.size()) {
    if (pos + 2 > captured.size() || captured[pos] != '1' || captured[pos + 1] != '0') return {};
    std::size_t length = 2;
    while (pos + length < captured.size() && captured[pos + length] == '0') ++length;
    lengths.push_back(static_cast<int>(length));
    pos += length;
  }
  return lengths;
}

ChainProbe ProbeChain(Jtag& jtag, int device_count) {
  Cable& cable = jtag.cable();
  ChainProbe probe;
  if (device_count < 1) return probe;
  const int most_bits = 32 * device_count;

  // IDCODEs, nearest TDO first: a 1 starts a 32-bit IDCODE, a 0 is a BYPASS bit.
  EnterShift(jtag, false);
  const std::string data = ReadBits(cable, most_bits);
  LeaveShift(jtag, false);
  std::size_t pos = 0;
  for (int n = 0; n < device_count; ++n) {
    ProbedDevice device;
    if (pos < data.size() && data[pos] == '1' && pos + 32 <= data.size()) {
      device.idcode = WordAt(data, pos);
      pos += 32;
    } else {
      pos += 1;
    }
    probe.devices.push_back(device);
  }

  // Instruction registers: the captures, then ones; then one 0 and the clocks until it comes out.
  EnterShift(jtag, true);
  const std::string captured = ReadBits(cable, most_bits);
  ShiftBit(cable, false);
  for (int clocks = 1; clocks <= most_bits; ++clocks) {
    if (!cable.ReadTdo()) {
      probe.ir_total = clocks;
      break;
    }
    ShiftBit(cable, true);
  }
  // Ones behind the 0 fill every instruction register: BYPASS everywhere until the reset.
  for (int i = 0; i < most_bits; ++i) ShiftBit(cable, true);
  LeaveShift(jtag, true);

  if (probe.ir_total > 0) probe.ir_captured = captured.substr(0, static_cast<std::size_t>(probe.ir_total));
  const std::vector<int> lengths = CutInstructionCaptures(probe.ir_captured);
  if (probe.ir_total == 0 || lengths.size() != static_cast<std::size_t>(device_count)) {
    probe.ir_ambiguous = true;
  } else {
    for (int n = 0; n < device_count; ++n) probe.devices[static_cast<std::size_t>(n)].ir_length = lengths[n];
  }
  std::reverse(probe.devices.begin(), probe.devices.end());
  return probe;
}

}  // namespace zepa::engine
