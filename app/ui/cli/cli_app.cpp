#include "ui/cli/cli_app.h"

#include <algorithm>
#include <atomic>
#include <clocale>
#include <csignal>
#include <exception>
#include <filesystem>
#include <memory>
#include <optional>
#include <stdexcept>

#include "chain/jcd_file.h"
#include "chain/text_file.h"
#include "engine/workdir.h"
#include "ui/cli/report.h"
#include "ui/cli/terminal.h"
#include "ui/core/batch.h"
#include "ui/core/run_path.h"
#include "ui/core/session.h"
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

std::string absolute_path(const std::string& path) {
  std::error_code ec;
  const fs::path p = fs::absolute(path, ec);
  return ec ? path : p.lexically_normal().string();
}

int RunChainFile(const CliOptions& options, ui::Programmer& programmer, Terminal& terminal) {
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
  if (programmer.table().device_count() > 0) terminal.Block(DeviceTable(programmer.table()));
  const bool failed = outcome != ui::RunOutcome::kRan || programmer.RunFailed() || programmer.LoadFailed ||
                      AnyDeviceFailed(programmer.table());
  return failed ? kExitFailed : kExitOk;
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
  return passed ? kExitOk : kExitFailed;
}

}  // namespace

int RunCli(const CliOptions& options, CliSystem& system) {
  Terminal terminal(system.out, system.err);
  TerminalMessages messages(terminal);
  TerminalPrompts prompts(terminal, options.yes);
  TerminalView view(terminal);
  LineEndingLauncher launcher(terminal, system.launcher);

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
        ui::SessionEnvironment{
            .clock = system.clock,
            .launcher = launcher,
            .program_dir = system.program_dir,
            .work_dir = system.work_dir,
            .timestamp = system.timestamp,
            .port_notes = [&terminal](const std::string& note) { terminal.Box("note", note); }},
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

  int status = kExitOk;
  if (options.scan) {
    // A scan from the command line is the start-up check: there is no earlier count to compare with.
    programmer.check_connection();
    programmer.StartupPending = false;
    status = session->engine().cable().CableFound ? kExitOk : kExitFailed;
  } else {
    programmer.StartupPending = false;
    status = options.is_batch() ? RunBatchFile(options, programmer, terminal)
                                : RunChainFile(options, programmer, terminal);
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
                     .stoppable = SetStoppable};
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
