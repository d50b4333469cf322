#include "ui/core/chain_report.h"

#include <cstdio>

#include "chain/chain_names.h"
#include "chain/chain_table.h"
#include "chain/jcd_file.h"
#include "engine/chain_probe.h"

namespace zepa::ui {
namespace {

std::vector<ScannedDevice> DescribeProbe(const engine::ChainProbe& probe) {
  std::vector<ScannedDevice> devices;
  for (const engine::ProbedDevice& found : probe.devices) {
    ScannedDevice device;
    device.idcode = found.idcode;
    if (found.idcode) device.part = identify_part(*found.idcode);
    if (!probe.ir_ambiguous) {
      device.ir_length = found.ir_length;
      device.ir_source = IrSource::kMeasured;
    } else if (device.part.ir_length > 0) {
      device.ir_length = device.part.ir_length;  // the part's own length, where it is a part of ours
      device.ir_source = IrSource::kPart;
    }
    devices.push_back(device);
  }
  // One device left unknown in a chain of measured length: it holds the bits the others do not.
  if (probe.ir_ambiguous && probe.ir_total > 0) {
    int known = 0;
    ScannedDevice* unknown = nullptr;
    int unknowns = 0;
    for (ScannedDevice& device : devices) {
      known += device.ir_length;
      if (device.ir_length == 0) {
        unknown = &device;
        ++unknowns;
      }
    }
    if (unknowns == 1 && probe.ir_total - known >= 2) {
      unknown->ir_length = probe.ir_total - known;
      unknown->ir_source = IrSource::kRemainder;
    }
  }
  return devices;
}

}  // namespace

std::string hex_idcode(std::uint32_t idcode) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%08X", static_cast<unsigned>(idcode));
  return text;
}

ChainReport DescribeChain(engine::IspEngine& engine, int device_count) {
  const engine::ChainProbe probe = engine::ProbeChain(engine.jtag(), device_count);
  ChainReport report;
  report.devices = DescribeProbe(probe);
  if (probe.ir_ambiguous) {
    report.lines.push_back(
        probe.ir_total == 0
            ? "Instruction registers: the chain's length could not be measured; the parts' own lengths are "
              "shown."
            : "Instruction registers: " + std::to_string(probe.ir_total) + " bits captured as " +
                  probe.ir_captured +
                  ", which do not cut into one 10...0 per device; the parts' own lengths are shown.");
  }
  for (std::size_t i = 0; i < report.devices.size(); ++i)
    report.lines.push_back(ScanLine(static_cast<int>(i) + 1, report.devices[i]));
  return report;
}

std::string ScanLine(int position, const ScannedDevice& device) {
  std::string line = "Device " + std::to_string(position) + ": ";
  if (!device.idcode) {
    line += "no IDCODE (BYPASS at reset)";
  } else {
    line += "IDCODE " + hex_idcode(*device.idcode);
    line += (*device.idcode & 1u) ? ", bit 0 is 1" : ", bit 0 is 0 (must be 1!)";
    const IdcodeFields f = decode_idcode(*device.idcode);
    std::string name = "unknown part";
    if (!device.part.names.empty()) {
      name.clear();
      for (const std::string& n : device.part.names) name += (name.empty() ? "" : "/") + n;
    }
    line += ", " + name + " (" + f.architecture + ", " + f.macrocells + ", " + f.voltage;
    if (!f.package.empty()) line += ", " + f.package;
    line += ")";
  }
  if (device.ir_length == 0) {
    line += ", IR length unknown";
  } else {
    line += ", IR length " + std::to_string(device.ir_length);
    if (device.ir_source == IrSource::kPart) line += " (the part's)";
    if (device.ir_source == IrSource::kRemainder) line += " (the chain's measured total less the others)";
  }
  return line;
}

void WriteFoundChain(const std::vector<ScannedDevice>& devices, const std::string& file) {
  chain::ChainTable table;
  table.DeviceCount = static_cast<int>(devices.size());
  for (int n = 1; n <= table.DeviceCount; ++n) {
    const ScannedDevice& device = devices[static_cast<std::size_t>(n - 1)];
    chain::ChainDevice& dev = table[n];
    dev.part = device.part.names.empty() ? chain::kPartOthers : chain::part_code(device.part.names.front());
    dev.IR_len = chain::ir_code_from_length(device.ir_length);
    dev.cmnd = chain::kOpNoOperation;
  }
  chain::write_jcd(table, file);
}

}  // namespace zepa::ui
