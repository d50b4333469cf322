// The board file: a hand-written text that says which parallel port the board sits on, which cable joins
// them, and the chain from the cable's TDI to its TDO.
//
//   # a three-device board on the port at 378h with the maker's cable
//   port 378
//   cable relay                      # relay | corvane | byteblaster | none
//   device VTL3064A                  # the first device is the one whose TDI the cable drives
//   device VTL3256XL secured
//   device Others irlen=7 idcode=0x1234567F
//
//   tck 500ns                        # each half TCK period needs at least 500 ns, or bits are misread
//
// Words are compared ignoring case. `port` (278, 378 or 3BC, default 378), `cable` (default relay) and
// `tck` (default: any pace) may each appear once. A device line names a part and may add `secured`, `irlen=N`
// (2..32; required for "Others") and `idcode=0xHEX` or `idcode=none`, and `ircapture=0xHEX`, the value
// Capture-IR loads (default 1; its two lowest bits must be binary 01, and it must fit the register). A
// ZEPA2 part may be wired for slave-serial configuration instead of JTAG (`device VTL3960 slave-serial`):
// TCK, TDI and TMS drive its CCLK, DIN and PROG pins and TDO reads DONE; it is then the board's only
// device. The wiring is not part of what the device keeps: the same part wired for JTAG again finds the
// frames a slave-serial load left. Anything else is an error naming the file and the line.
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "sim/parts.h"

namespace zepa::sim {

enum class CableType { kRelay, kCorvane, kByteBlaster, kNone };

struct DeviceSpec {
  const PartInfo* part = nullptr;
  int ir_length = 0;
  std::optional<std::uint32_t> idcode;
  std::optional<std::uint32_t> ir_capture;  // what Capture-IR loads; empty: ...0001
  bool secured = false;
  bool slave_serial = false;  // wired for slave-serial configuration, not JTAG
  int line = 0;

  // The device's description in one normal form: the state file ties what a device keeps to it.
  std::string Canonical() const;
};

struct BoardSpec {
  std::uint16_t port = 0x378;
  CableType cable = CableType::kRelay;
  std::int64_t min_half_clock_ns = 0;  // 0: any pace
  std::vector<DeviceSpec> devices;
};

inline constexpr std::size_t kMaxBoardDevices = 100;

class BoardFileError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// `source` names the text in messages ("board.txt:4: ...").
BoardSpec ParseBoardText(std::string_view text, const std::string& source);
BoardSpec ReadBoardFile(const std::string& path);

const char* CableWord(CableType cable);

}  // namespace zepa::sim
