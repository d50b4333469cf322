#include "ui/cli/cli_app.h"

#include <algorithm>
#include <atomic>
#include <clocale>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <functional>
#include <iostream>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string_view>
#include <vector>

#ifdef _WIN32
#include <io.h>
#else
#include <sys/ioctl.h>
#include <unistd.h>
#endif

#include "build_commit.h"
#include "chain/chain_names.h"
#include "chain/jcd_file.h"
#include "chain/text_file.h"
#include "engine/workdir.h"
#include "ui/cli/info.h"
#include "ui/cli/report.h"
#include "ui/cli/terminal.h"
#include "ui/core/batch.h"
#include "ui/core/chain_report.h"
#include "ui/core/idcode.h"
#include "ui/core/run_path.h"
#include "ui/core/session.h"
#include "ui/core/slave_serial.h"
#include "util/file_lock.h"
#include "util/files.h"

namespace zepa::cli {
namespace {

// The engine a SIGINT or SIGTERM asks to stop, set and cleared by the run, and whether such a signal came
// (before there was an engine, the run stops as soon as there is one). Lock-free atomics, which a signal
// handler may use; nothing else reads or writes them.
std::atomic<engine::IspEngine*> g_stoppable{nullptr};
std::atomic<bool> g_stop_signalled{false};

extern "C" void OnStopSignal(int signal) {
  g_stop_signalled.store(true);
  if (engine::IspEngine* engine = g_stoppable.load()) engine->RequestStop();
  std::signal(signal, SIG_DFL);  // a second signal ends the program at once
}

void SetStoppable(engine::IspEngine* engine) {
  g_stoppable.store(engine);
  if (engine != nullptr && g_stop_signalled.load()) engine->RequestStop();
}

namespace fs = std::filesystem;

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;
constexpr int kExitNothingRan = 3;  // no port, no cable or no chain found

// The engine's line when the automatic port selection finds no port.
constexpr std::string_view kNoPortLine = "Can not find available Parallel port for use.";

// What a run learns besides its messages: whether the port could not be opened or no port was found.
struct RunWatch {
  bool port_trouble = false;
  bool no_port_found = false;
};

// Passes every line to the terminal and watches for the engine's "no port" line.
class WatchingMessages final : public engine::MessageSink {
 public:
  WatchingMessages(engine::MessageSink& inner, RunWatch& watch) : inner_(inner), watch_(watch) {}
  void add_message(std::string_view text) override {
    if (text.find(kNoPortLine) != std::string_view::npos) watch_.no_port_found = true;
    inner_.add_message(text);
  }
  std::string last_message() const override { return inner_.last_message(); }
  void replace_last_message(std::string_view text) override { inner_.replace_last_message(text); }
  void progress(long done, long total) override { inner_.progress(done, total); }

 private:
  engine::MessageSink& inner_;
  RunWatch& watch_;
};

std::string absolute_path(const std::string& path) {
  std::error_code ec;
  const fs::path p = fs::absolute(path, ec);
  return ec ? path : p.lexically_normal().string();
}

int RunChainFile(const CliOptions& options, ui::Programmer& programmer, const engine::IspEngine& engine,
                 Terminal& terminal, const RunWatch& watch, const std::function<void()>& tell_tried) {
  const std::string path = absolute_path(options.file);
  std::error_code ec;
  if (!fs::exists(path, ec)) {
    terminal.Box("error", options.file + ": file not found");
    return kExitUsage;
  }
  if (!programmer.load_jcd_file(path)) {
    // The loader has told why: the system's reason, the missing marker line or the file's faults.
    if (util::ReadFile(path) && !chain::check_jcd(path, chain::kJcdMarker))
      terminal.Box("error", options.file + ": not a chain description (no \"device JTAG chain des\" line)");
    return kExitUsage;
  }
  const ui::RunOutcome outcome = programmer.run_chain();
  const bool nothing_ran =
      outcome == ui::RunOutcome::kNoCable ||
      (outcome == ui::RunOutcome::kAborted && (watch.no_port_found || watch.port_trouble));
  if (nothing_ran) {
    tell_tried();
    terminal.Line("FAIL (nothing was run)");
    return kExitNothingRan;
  }
  if (programmer.table().device_count() > 0) terminal.Block(DeviceTable(programmer.table()));
  // A run stopped by a signal did not do all it was asked: it never passes.
  const bool run_failed = outcome != ui::RunOutcome::kRan || programmer.RunFailed() ||
                          programmer.LoadFailed || engine.StopRequested();
  terminal.Line(Verdict(programmer.table(), run_failed));
  return run_failed || AnyDeviceFailed(programmer.table()) ? kExitFailed : kExitOk;
}

// A batch line that can name a chain file: not empty and free of control characters (what a binary file's
// lines are full of).
bool usable_path(std::string_view line) {
  return !line.empty() && std::none_of(line.begin(), line.end(), [](char c) {
    const auto u = static_cast<unsigned char>(c);
    return u < 0x20 || u == 0x7F;
  });
}

int RunBatchFile(const CliOptions& options, ui::Programmer& programmer, Terminal& terminal) {
  const std::string path = absolute_path(options.file);
  ui::BatchTable batch;
  std::error_code ec;
  if (!fs::exists(path, ec)) {
    terminal.Box("error", options.file + ": file not found");
    return kExitUsage;
  }
  std::string reason;
  if (!util::ReadFile(path, &reason) || !ui::load_batch(batch, path)) {
    terminal.Box("error", options.file + ": " + (reason.empty() ? std::string("cannot be read") : reason));
    return kExitUsage;
  }
  int listed = 0;
  for (int i = 1; i <= ui::kBatchRows; ++i) {
    const std::string& line = batch.row(i).jcd;
    if (line.empty()) continue;
    ++listed;
    if (!usable_path(line))
      terminal.Box("error", options.file + " line " + std::to_string(i) + ": not a usable chain file path");
  }
  if (listed == 0) {
    terminal.Box("error", options.file + ": no chain file listed");
    return kExitFailed;
  }
  programmer.set_last_file(path);  // chain files named relative to the batch file
  const ui::BatchSummary summary = programmer.run_batch(batch);

  terminal.Line("");
  terminal.Line("Step  Result   Chain file");
  for (int i = 1; i <= ui::kBatchRows; ++i) {
    const ui::BatchStep& step = batch.row(i);
    if (step.jcd.empty()) continue;
    std::string number = std::to_string(i);
    number.insert(0, 4 - std::min<std::size_t>(4, number.size()), ' ');
    std::string result = step.result.empty() ? "-" : step.result;
    result.resize(std::max<std::size_t>(result.size(), 7), ' ');
    terminal.Line(number + "  " + result + "  " + (usable_path(step.jcd) ? step.jcd : "(not a usable path)"));
  }
  // The batch passes only when every listed step ran and passed: a skipped step (missing file) fails it.
  const bool passed = summary.failed_row == 0 && summary.skipped == 0 && summary.passed == listed;
  if (passed) {
    terminal.Line("PASS");
  } else if (summary.failed_row != 0) {
    terminal.Line("FAIL (step " + std::to_string(summary.failed_row) + ")");
  } else {
    terminal.Line("FAIL");
  }
  return passed ? kExitOk : kExitFailed;
}

int RunSlaveSerial(const CliOptions& options, ui::Session& session, Terminal& terminal,
                   const std::function<void()>& tell_tried) {
  ui::Programmer& programmer = session.programmer();
  // The maker's cable unless another is named: the part's pins have no chain to find a cable by.
  if (!options.cable) programmer.settings.port.cable = engine::CableKind::CorvaneParallelCable;
  switch (ui::configure_slave_serial(session.engine(), programmer.settings,
                                     absolute_path(options.slave_serial))) {
    case ui::SlaveSerialOutcome::kDone:
      terminal.Line("PASS");
      return kExitOk;
    case ui::SlaveSerialOutcome::kNotDone:
      terminal.Line("FAIL (DONE stayed low)");
      return kExitFailed;
    case ui::SlaveSerialOutcome::kBadFile:
      terminal.Line("FAIL (nothing was sent)");
      return kExitFailed;
    case ui::SlaveSerialOutcome::kNoPort:
      break;
  }
  tell_tried();
  terminal.Line("FAIL (nothing was sent)");
  return kExitNothingRan;
}

int RunScan(const CliOptions& options, ui::Session& session, Terminal& terminal,
            const std::function<void()>& tell_tried) {
  ui::Programmer& programmer = session.programmer();
  // A scan from the command line is the start-up check: there is no earlier count to compare with.
  programmer.check_connection();
  programmer.StartupPending = false;
  engine::IspEngine& engine = session.engine();
  if (!engine.cable().CableFound) {
    tell_tried();
    return kExitNothingRan;
  }
  const ui::ChainReport report = ui::DescribeChain(engine, programmer.table().DeviceCount);
  for (const std::string& line : report.lines) terminal.Line(line);
  if (!options.write_jcd.empty()) {
    const std::string path = absolute_path(options.write_jcd);
    try {
      ui::WriteFoundChain(report.devices, path);
    } catch (const std::exception& e) {
      terminal.Box("error", options.write_jcd + ": " + e.what());
      return kExitUsage;
    }
    terminal.Line("Chain file written: " + path);
  }
  return kExitOk;
}

bool StandardOutputIsTerminal() {
#ifdef _WIN32
  return _isatty(_fileno(stdout)) != 0;
#else
  return isatty(STDOUT_FILENO) != 0;
#endif
}

int TerminalColumns() {
#ifndef _WIN32
  winsize size{};
  if (ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
#endif
  return 80;
}

}  // namespace

int RunCli(const CliOptions& options, CliSystem& system) {
  Terminal terminal(system.out, system.err, system.out_is_terminal && !options.quiet, system.columns);
  TerminalMessages shown(terminal, options.quiet, &system.clock);
  RunWatch watch;
  WatchingMessages messages(shown, watch);
  TerminalPrompts prompts(terminal, options.yes);
  TerminalView view(terminal);
  LineEndingLauncher launcher(terminal, system.launcher, options.verbose);
  if (options.verbose) {
    terminal.Line(options.io.kind == ui::PortChoice::Kind::kSim
                      ? "Port backend: simulated board " + options.io.argument
                      : "Port backend: " + options.io.backend +
                            (options.io.argument.empty() ? "" : " (" + options.io.argument + ")"));
  }

  // The working folder is this run's from before the board is opened until the program ends.
  std::optional<util::FileLock> work_lock;
  try {
    work_lock.emplace(engine::LockWorkDir(system.work_dir, system.work_dir_wait));
  } catch (const std::exception& e) {
    terminal.Box("error", e.what());
    return kExitUsage;
  }
  std::unique_ptr<ui::Session> session;
  try {
    session = std::make_unique<ui::Session>(
        options.io,
        ui::SessionEnvironment{.clock = system.clock,
                               .launcher = launcher,
                               .program_dir = system.program_dir,
                               .work_dir = system.work_dir,
                               .timestamp = system.timestamp,
                               .port_notes =
                                   [&terminal, &watch](const std::string& note) {
                                     watch.port_trouble = true;
                                     terminal.Box("note", note);
                                   }},
        messages, prompts, view);
  } catch (const std::exception& e) {
    terminal.Box("error", e.what());
    return kExitUsage;
  }
  ui::Programmer& programmer = session->programmer();
  view.set_table(session->table());
  struct Stoppable {
    const std::function<void(engine::IspEngine*)>& tell;
    Stoppable(const std::function<void(engine::IspEngine*)>& t, engine::IspEngine& engine) : tell(t) {
      if (tell) tell(&engine);
    }
    ~Stoppable() {
      if (tell) tell(nullptr);
    }
  } stoppable(system.stoppable, session->engine());
  ui::RunSettings& settings = programmer.settings;
  settings.port.port_index = options.port_index;
  settings.cable_fallback = !options.cable.has_value();
  if (options.cable) settings.port.cable = *options.cable;
  settings.IspOptions = options.options;
  settings.OffLine = options.offline;
  settings.ActiveIoVerify = options.active_io;
  settings.offer_chain_save = false;  // the command line never edits the chain table
  settings.tck_delay_ns = options.tck_delay_ns;

  // After the cable's warning: which port, and which way to it, was tried.
  const port::PpdevConfig ppdev = PpdevConfigFor(options.io);
  ui::Session& live = *session;
  auto tell_tried = [&] {
    terminal.Line(TriedLine(options.io, ppdev, watch.no_port_found ? 0 : live.engine().cable().DataPort(),
                            options.port_index));
  };

  int status = kExitOk;
  if (!options.slave_serial.empty()) {
    status = RunSlaveSerial(options, *session, terminal, tell_tried);
  } else if (options.scan) {
    status = RunScan(options, *session, terminal, tell_tried);
  } else {
    programmer.StartupPending = false;
    status = options.is_batch()
                 ? RunBatchFile(options, programmer, terminal)
                 : RunChainFile(options, programmer, session->engine(), terminal, watch, tell_tried);
  }
  if (session->engine().StopRequested()) {
    terminal.Box("note", "stopped by a signal: the devices after the one being worked on were not started");
    status = kExitFailed;
  }
  terminal.EndLine();

  try {
    session->save_board();
  } catch (const std::exception& e) {
    terminal.Box("error", e.what());
    if (status == kExitOk) status = kExitFailed;
  }
  return status;
}

int CliMain(const std::string& argv0, const std::vector<std::string>& args, std::ostream& out,
            std::ostream& err) {
  CliOptions options;
  try {
    options = ParseCommandLine(args);
  } catch (const UsageError& e) {
    err << "zepaisp-cli: " << e.what() << "\nTry 'zepaisp-cli --help'.\n";
    return kExitUsage;
  }
  if (options.help) {
    out << UsageText();
    return kExitOk;
  }
  if (InformationOnly(options)) {
    if (options.version) out << VersionLine(kBuildCommit) << '\n';
    if (options.list_cables) out << CablesText();
    if (options.list_ports) out << PortsText(PpdevConfigFor(options.io));
    return kExitOk;
  }
  std::setlocale(LC_TIME, "");  // the "Executing " line's time and date in the user's formats

  try {
    const std::string program_dir = engine::ProgramFolder(argv0);
    engine::SteadyClock clock;
    engine::SystemProcessLauncher launcher;
    CliSystem system{.out = out,
                     .err = err,
                     .clock = clock,
                     .launcher = launcher,
                     .program_dir = program_dir,
                     .work_dir = engine::FindWorkDir(program_dir),
                     .stoppable = SetStoppable,
                     .out_is_terminal = &out == &std::cout && StandardOutputIsTerminal(),
                     .columns = TerminalColumns()};
    std::signal(SIGINT, OnStopSignal);
    std::signal(SIGTERM, OnStopSignal);
    return RunCli(options, system);
  } catch (const std::exception& e) {
    out.flush();
    err << "zepaisp-cli: " << e.what() << '\n';
    return kExitFailed;
  }
}

}  // namespace zepa::cli
