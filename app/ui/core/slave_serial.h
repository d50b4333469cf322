// ZEPA2 slave-serial configuration: the configuration stream of an MCS file (Intel HEX of a PROM) or a BIT
// file ('0'/'1' text) clocked straight into the part, the cable's JTAG lines standing for its pins:
// TCK = CCLK, TDI = DIN, TMS = PROG, and TDO reads DONE back.
//
// The file is read and checked whole before the first pin moves: a stream with a broken record can only
// fail, so nothing of it is sent.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "engine/runner.h"
#include "ui/core/run_path.h"

namespace zepa::ui {

// How the cable is wired to the part: the dialog's table, cable signal and device pin.
struct SerialWire {
  const char* cable;
  const char* device;
};
inline constexpr std::array<SerialWire, 7> kSlaveSerialWiring{{
    {"Cable", "ZEPA2"},
    {"TCK,CCLK", "cclk"},
    {"TDI,DIN", "din"},
    {"TMS,PROG", "pgmn"},
    {"TDO,D/P", "done"},
    {"VCC", "vdd"},
    {"GND", "gnd"},
}};

inline constexpr std::string_view kNotConfigFile = "Not a legal configuration file!";
inline constexpr std::string_view kNonHexLine = "Non-valid hex number in bit stram.";
inline constexpr std::string_view kConfigDone = "Configure VTL320/960 done !";
inline constexpr std::string_view kConfigNotDone =
    "Error:Completed configuration while no 'DONE pin=High' detected!";

enum class ConfigFileKind { kMcs, kBit };
// By the extension, compared without regard to case: ".mcs" or ".bit"; nothing for any other.
std::optional<ConfigFileKind> config_file_kind(std::string_view path);

// A file that cannot configure the part; the text names the file, the line and what is wrong.
class ConfigFileError : public std::runtime_error {
 public:
  ConfigFileError(const std::string& what, bool non_hex) : std::runtime_error(what), non_hex_(non_hex) {}
  // A data character that is not a hexadecimal digit.
  bool non_hex() const { return non_hex_; }

 private:
  bool non_hex_;
};

// The bits of a stream in the order they are sent, one byte (0 or 1) a bit.
using SerialBits = std::vector<std::uint8_t>;

// A BIT file's text: every '1' is a 1 bit, every '0' and every blank (space or tab) a 0 bit, line by line;
// line ends send nothing. Any other character is refused. `name` names the file in messages.
SerialBits read_bit_stream(std::string_view text, const std::string& name);
// An MCS file's text: the data bytes of its data records (type 00), back to back, each sent least
// significant bit first. Lines that do not start with ':' are not records and are passed over; address and
// end records are checked and passed over. A record is refused when a character is not a hexadecimal
// digit, when its length is not what its byte count says (records of any length are read whole), or when
// its checksum is wrong.
SerialBits read_mcs_stream(std::string_view text, const std::string& name);
// Reads the file and its stream by the kind its extension names. Throws ConfigFileError when it cannot be
// read, when its extension is neither, when a line is refused, or when it holds no bit at all.
SerialBits read_config_file(const std::string& path);

enum class SlaveSerialOutcome {
  kDone,     // DONE went high (always, off-line)
  kNotDone,  // the whole stream went out and DONE stayed low
  kBadFile,  // the file was refused; nothing was sent
  kNoPort,   // no port, or the cable's loop-back did not answer; nothing was sent
};

// What a load sends and how long it takes, for the front ends and the benchmark.
struct SlaveSerialStats {
  std::size_t bits = 0;
};

// Configures the part from `path` with the cable, port and off-line setting of `settings`. Says what
// happened in the engine's boxes and message lines: "Not a legal configuration file!" for another
// extension, the file's fault (after "Non-valid hex number in bit stram." for a non-hex data character),
// "Configure VTL320/960 done !" or "Error:Completed configuration while no 'DONE pin=High' detected!".
SlaveSerialOutcome configure_slave_serial(engine::IspEngine& engine, const RunSettings& settings,
                                          const std::string& path, SlaveSerialStats* stats = nullptr);

}  // namespace zepa::ui
