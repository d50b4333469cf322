// What a chain scan found, device by device: the IDCODE read at reset, what the engine's identification and
// the IDCODE decoder make of it, and the measured instruction-register length; the lines the programmers show
// after the check's own lines, and the chain file of it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "engine/runner.h"
#include "ui/core/idcode.h"

namespace zepa::ui {

// Where a device's instruction-register length comes from.
enum class IrSource {
  kUnknown,
  kMeasured,   // the captured bits cut into one "10...0" per device
  kPart,       // the cut was ambiguous: the identified part's own length
  kRemainder,  // the cut was ambiguous and this was the one device left: the measured total less the others
};

struct ScannedDevice {
  std::optional<std::uint32_t> idcode;  // empty: BYPASS at reset
  IdentifiedPart part;
  int ir_length = 0;  // 0: not known
  IrSource ir_source = IrSource::kUnknown;
};

struct ChainReport {
  std::vector<ScannedDevice> devices;  // from the cable's TDI to its TDO
  std::vector<std::string> lines;      // one per device, after a line on an ambiguous measurement
};

// "0x" and eight hexadecimal digits, most significant first.
std::string hex_idcode(std::uint32_t idcode);

// Reads the IDCODEs and measures the instruction registers of the `device_count` devices the check found,
// on the engine's port (the check has selected it). Where the measurement is ambiguous, the parts' own
// lengths are given and marked "(the part's)"; a single device left unknown gets the rest of the measured
// total.
ChainReport DescribeChain(engine::IspEngine& engine, int device_count);

// One device's line: "Device 1: IDCODE 0x0004902B, bit 0 is 1, VTL3064A/VTL5064C (ZEPA1, 64 MC, 3.3 volt,
// PC 44), IR length 4".
std::string ScanLine(int position, const ScannedDevice& device);

// A chain file of the devices: parts named where the identification knows them ("Others" elsewhere),
// instruction lengths filled, every operation NO, no design files. Throws std::runtime_error naming the file
// when it cannot be written.
void WriteFoundChain(const std::vector<ScannedDevice>& devices, const std::string& file);

}  // namespace zepa::ui
