#include "ui/cli/options.h"

#include <algorithm>
#include <cctype>

#include "engine/context.h"
#include "ui/core/port_args.h"
#include "ui/core/slave_serial.h"
#include "util/text.h"

namespace zepa::cli {
namespace {

struct Flag {
  std::string_view name;
  int option_bits;
  bool CliOptions::*setting;  // nullptr: the bits alone
};

constexpr Flag kFlags[] = {
    {"--scan", 0, &CliOptions::scan},
    {"--offline", engine::kOptOffLine, &CliOptions::offline},
    {"--svf", engine::kOptSvf, nullptr},
    {"--bif", engine::kOptBif, nullptr},
    {"--vrf", engine::kOptVerifyLog, nullptr},
    {"--std-frames", engine::kOptStandardFrame, nullptr},
    {"--listing", engine::kOptFuseListing, nullptr},
    {"--active-io", 0, &CliOptions::active_io},
    {"--yes", 0, &CliOptions::yes},
    {"--version", 0, &CliOptions::version},
    {"--list-cables", 0, &CliOptions::list_cables},
    {"--list-ports", 0, &CliOptions::list_ports},
    {"--quiet", 0, &CliOptions::quiet},
    {"--verbose", 0, &CliOptions::verbose},
};

int ParsePort(std::string_view value) {
  try {
    return ui::parse_port_argument(value);
  } catch (const ui::PortArgError& e) {
    throw UsageError(e.what());
  }
}

std::optional<engine::CableKind> ParseCable(std::string_view value) {
  const std::string v = util::ToLowerAscii(value);
  if (v == "auto") return std::nullopt;
  if (v == "relay") return engine::CableKind::RelayCable;
  if (v == "corvane") return engine::CableKind::CorvaneParallelCable;
  if (v == "byteblaster") return engine::CableKind::AlteraByteBlaster;
  throw UsageError("--cable: \"" + std::string(value) + "\" is not one of auto, relay, corvane, byteblaster");
}

IoChoice ParseIo(std::string_view value) {
  try {
    return ui::parse_io_argument(value);
  } catch (const ui::PortArgError& e) {
    throw UsageError(e.what());
  }
}

}  // namespace

bool InformationOnly(const CliOptions& options) {
  return options.version || options.list_cables || options.list_ports;
}

bool CliOptions::is_batch() const {
  return util::EndsWithIgnoreCase(file, ".jbf");
}

// Nanoseconds, 0 to 1 s, digits with an optional "ns".
std::int64_t ParseTckDelay(const std::string& text) {
  const std::optional<std::int64_t> ns = ui::parse_tck_delay(text);
  if (!ns)
    throw UsageError("--tck-delay: \"" + text + "\" is not a number of nanoseconds from 0 to 1000000000");
  return *ns;
}

CliOptions ParseCommandLine(const std::vector<std::string>& args) {
  CliOptions options;
  options.io = ui::default_port_choice();
  bool files_only = false;

  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (files_only || arg.empty() || arg[0] != '-' || arg == "-") {
      if (!options.file.empty())
        throw UsageError("one chain or batch file at a time (\"" + options.file + "\" and \"" + arg + "\")");
      options.file = arg;
      continue;
    }
    if (arg == "--") {
      files_only = true;
      continue;
    }
    if (arg == "--help" || arg == "-h") {
      options.help = true;
      continue;
    }

    // --name=value or --name value
    const std::size_t eq = arg.find('=');
    const std::string name = arg.substr(0, eq);
    auto value = [&]() -> std::string {
      if (eq != std::string::npos) return arg.substr(eq + 1);
      if (i + 1 >= args.size()) throw UsageError(name + " needs a value");
      return args[++i];
    };

    if (name == "--io") {
      options.io = ParseIo(value());
    } else if (name == "--port") {
      options.port_index = ParsePort(value());
    } else if (name == "--cable") {
      options.cable = ParseCable(value());
    } else if (name == "--tck-delay") {
      options.tck_delay_ns = ParseTckDelay(value());
    } else if (name == "--slave-serial") {
      options.slave_serial = value();
      if (options.slave_serial.empty()) throw UsageError("--slave-serial needs a configuration file");
    } else if (name == "--write-jcd") {
      options.write_jcd = value();
      if (options.write_jcd.empty()) throw UsageError("--write-jcd needs a file name");
    } else {
      const auto* flag =
          std::find_if(std::begin(kFlags), std::end(kFlags), [&](const Flag& f) { return f.name == name; });
      if (flag == std::end(kFlags)) throw UsageError("unknown option " + name);
      if (eq != std::string::npos) throw UsageError(name + " takes no value");
      options.options |= flag->option_bits;
      if (flag->setting != nullptr) options.*(flag->setting) = true;
    }
  }

  if (options.help) return options;
  if (options.quiet && options.verbose) throw UsageError("--quiet and --verbose exclude each other");
  if (InformationOnly(options)) {
    if (!options.file.empty() || options.scan)
      throw UsageError("--version, --list-cables and --list-ports run nothing; give them alone");
    return options;
  }
  if (!options.slave_serial.empty()) {
    if (options.scan || !options.file.empty())
      throw UsageError("--slave-serial loads one configuration file and runs no chain");
    if (!ui::config_file_kind(options.slave_serial))
      throw UsageError("--slave-serial: \"" + options.slave_serial +
                       "\": " + std::string(ui::kNotConfigFile) + " (.mcs or .bit)");
    if ((options.options & ~engine::kOptOffLine) != 0)
      throw UsageError("--slave-serial takes no run option but --offline");
    return options;
  }
  if (!options.write_jcd.empty() && !options.scan)
    throw UsageError("--write-jcd writes the chain a --scan finds; add --scan");
  if ((options.options & engine::kOptSvf) && (options.options & engine::kOptBif))
    throw UsageError("--svf and --bif exclude each other (one ATE output at a time)");
  if (options.scan && !options.file.empty())
    throw UsageError("--scan detects the chain and runs no file (\"" + options.file + "\" given)");
  if (!options.scan && options.file.empty())
    throw UsageError("name a chain file (.jcd) or batch file (.jbf)");
  return options;
}

std::string UsageText() {
  return R"(Usage: zepaisp-cli [options] FILE.jcd | FILE.jbf
       zepaisp-cli [options] --scan [--write-jcd FILE.jcd]
       zepaisp-cli [options] --slave-serial FILE.mcs | FILE.bit
       zepaisp-cli --version | --list-cables | --list-ports

Runs a JTAG chain description (.jcd) through the programmer's run path: the pre-run check, the
temporary chain file (and the "JCD file has changed" question), the cable check, the "Executing " line
in the messages and the run log, the engine run, and the read-back of the IDCODE, security and
signature result files. A batch file (.jbf, one chain file per line, at most 20 run) runs its chain
files one after another until one fails. The message lines are printed as they come; a table of the
devices and their results follows, then the verdict: PASS, or FAIL (devices 2, 5) naming the failed
positions (a batch names its failed step).

Options:
  --io sim:BOARD | ppdev[:DEVICE] | direct | remote:HOST:PORT
                     port backend: the simulated board of a board file; the kernel's parallel-port
                     driver (DEVICE is /dev/parportN for every port, or ADDR=/dev/parportN for one of
                     278, 378, 3BC; default: the parport whose base address matches); direct port I/O
                     (x86, root); the JTAG pins of a remote_bitbang server (zepa-sim elsewhere, an
                     RTL simulation of a board). Default: ppdev.
  --port 278|378|3bc|auto
                     the port setup list (default auto: the first port that echoes test bytes)
  --cable auto|relay|corvane|byteblaster
                     auto (default) = the three-cable fall-back of the cable check: RelayCable, then
                     the Corvane Parallel cable, then the ByteBlaster; otherwise that cable only
  --tck-delay NS     each half of the TCK clock lasts at least NS nanoseconds (long cables, slow
                     boards); default 0: the port's own pace
  --scan             chain detection (the "Check connection" command), then one line per device from
                     TDI to TDO: IDCODE in hexadecimal, its bit 0, the part and the IDCODE's fields,
                     and the measured instruction-register length
  --write-jcd FILE   with --scan: write a chain file of the chain found (parts named, instruction
                     lengths filled, every operation NO, no design files)
  --slave-serial FILE
                     ZEPA2 slave-serial configuration: the stream of FILE (.mcs Intel HEX or .bit
                     text of 0 and 1) clocked into the part, the cable's TCK, TDI and TMS lines
                     wired to its CCLK, DIN and PROG pins and TDO to DONE. Default cable: the
                     Corvane Parallel cable. The file is checked whole first; exit 0 when DONE went
                     high, 1 when it did not or the file was refused
  --offline          off-line programming: no port access, no cable check (option bit 0x02)
  --svf              write SVF vectors instead of driving the chain (0x40)
  --bif              record the pin-level vector file (.bif) (0x20); not with --svf
  --vrf              log the ZEPA1 verify result (.vrf) and the scan's bits (0x10)
  --std-frames       always use the standard ZEPA2 data frame (0x200)
  --listing          the converters' shift-register / fuse-map listings (0x01)
  --active-io        "Active I/O verify"
  --yes              answer yes to questions (overwrite an upload file, go on with the ISP bit off);
                     without it the safe answer is taken. The chain file is never rewritten: a chain
                     file written by hand runs from the programmer's copy of it
  --quiet            print only errors, the result table and the verdict
  --verbose          also print the port backend chosen and the commands given to the converters
  --version          the program's name, version and the commit it was built from
  --list-cables      the three cables and the port bits of their lines
  --list-ports       the parallel ports the kernel reports, with their base addresses, and which
                     device serves each address of the port list
  -h, --help         this text

Relative design file names in a chain file are read from the chain file's folder. The temporary chain
file, the result files dev__N.id/.sec/.ues, the run log zepaisp.log and scan___.tmp are kept in the
working folder: the program's folder when it can be written, otherwise a per-user folder; the
environment variable ZEPA_WORK_DIR names another. One run at a time holds the working folder: a second
run waits a few seconds for it and then stops. A simulated board keeps what its devices hold in
BOARD.state, where every erase and program goes as it happens; one program at a time has a board open.
SIGINT or SIGTERM stops the run after the device being worked on. The manual (docs/manual.md) tells the
rest.

Exit status:
  0  every device passed (--slave-serial: DONE went high)
  1  a device failed, the chain file was refused, or the run was stopped by a signal
     (--slave-serial: DONE stayed low, or the configuration file was refused)
  2  usage error, FILE cannot be read, or the run cannot start (the board file, the port backend, the
     working folder held by another run)
  3  no port, no cable or no chain found: nothing was run
)";
}

}  // namespace zepa::cli
