// The command line of zepaisp-cli: what to run, on which port backend, with which cable and option bits.
#pragma once

#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "engine/cable.h"
#include "ui/core/session.h"

namespace zepa::cli {

// A command line that cannot be run; the text says what is wrong.
class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Where the port registers are: the simulated board of a board file, or a backend of the port table.
using IoChoice = ui::PortChoice;

struct CliOptions {
  bool help = false;
  std::string file;    // the chain file (.jcd) or batch file (.jbf); may be empty with --scan
  IoChoice io;         // default: the first backend of the port table
  int port_index = 3;  // 0 = 278h, 1 = 378h, 2 = 3BCh, 3 = automatic selection
  std::optional<engine::CableKind> cable;  // empty: the three-cable fall-back
  bool scan = false;
  int options = 0;  // IspOption bits
  bool offline = false;
  bool active_io = false;
  bool yes = false;
  std::int64_t tck_delay_ns = 0;  // --tck-delay: each half TCK period lasts at least this long
  // What a production user asks before a run, or instead of one.
  bool version = false;
  bool list_cables = false;
  bool list_ports = false;
  bool quiet = false;        // errors, the result table and the verdict only
  bool verbose = false;      // also the port backend chosen and the commands given to the converters
  std::string write_jcd;     // --scan: a chain file of what was found
  std::string slave_serial;  // --slave-serial: the configuration file (.mcs or .bit) to load

  bool is_batch() const;
};

// Parses the arguments after the program name. Throws UsageError.
CliOptions ParseCommandLine(const std::vector<std::string>& args);

// Whether the options ask only for information (version, cables, ports): nothing is run.
bool InformationOnly(const CliOptions& options);

// The text --help prints.
std::string UsageText();

}  // namespace zepa::cli
