#include "ui/cli/cli_app.h"

#include <clocale>
#include <exception>
#include <filesystem>
#include <memory>
#include <stdexcept>

#include "engine/runner.h"
#include "engine/workdir.h"
#include "port/port_backends.h"
#include "port/tvicport.h"
#include "sim/board.h"
#include "sim/families.h"
#include "svf/svf_output.h"
#include "ui/cli/report.h"
#include "ui/cli/terminal.h"
#include "ui/core/batch.h"
#include "ui/core/run_path.h"

namespace zepa::cli {
namespace {

namespace fs = std::filesystem;

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;

std::string absolute_path(const std::string& path) {
  std::error_code ec;
  const fs::path p = fs::absolute(path, ec);
  return ec ? path : p.lexically_normal().string();
}

bool is_file(const std::string& path) {
  std::error_code ec;
  return fs::is_regular_file(path, ec);
}

// The port the engine's components reach: a simulated board, or a backend of the port table.
class PortSource {
 public:
  PortSource(const IoChoice& io, Terminal& terminal, engine::Clock& clock) {
    if (io.kind == IoChoice::Kind::kSim) {
      board_path_ = absolute_path(io.argument);
      // The parts' erase and program dwells run on the programmer's clock.
      board_ = sim::Board::Open(board_path_, sim::AllFamilies([&clock] { return clock.NowNs(); }));
      opener_ = port::OpenerFor(*board_);
      return;
    }
    port::PortBackendConfig config;
    config.backend = io.backend;
    if (!io.argument.empty()) port::AddPortMapping(config.ppdev, io.argument);
    config.notes = [&terminal](const std::string& note) { terminal.Box("note", note); };
    opener_ = port::MakePortOpener(std::move(config));
  }

  const port::PortOpener& opener() const { return opener_; }

  // What the board's devices now hold is kept for the next run.
  void SaveBoard() const {
    if (board_) board_->SaveState(sim::Board::StatePath(board_path_));
  }

 private:
  std::string board_path_;
  std::unique_ptr<sim::Board> board_;
  port::PortOpener opener_;
};

int RunChainFile(const CliOptions& options, ui::Programmer& programmer, Terminal& terminal) {
  const std::string path = absolute_path(options.file);
  if (!is_file(path)) {
    terminal.Box("error", options.file + ": file not found");
    return kExitUsage;
  }
  if (!programmer.load_jcd_file(path)) {
    terminal.Box("error", options.file + ": not a chain description (no \"device JTAG chain des\" line)");
    return kExitUsage;
  }
  const ui::RunOutcome outcome = programmer.run_chain();
  if (programmer.table().device_count() > 0) terminal.Block(DeviceTable(programmer.table()));
  const bool failed = outcome != ui::RunOutcome::kRan || programmer.RunFailed() || programmer.LoadFailed ||
                      AnyDeviceFailed(programmer.table());
  return failed ? kExitFailed : kExitOk;
}

int RunBatchFile(const CliOptions& options, ui::Programmer& programmer, Terminal& terminal) {
  const std::string path = absolute_path(options.file);
  ui::BatchTable batch;
  if (!is_file(path) || !ui::load_batch(batch, path)) {
    terminal.Box("error", options.file + ": file not found");
    return kExitUsage;
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
    terminal.Line(number + "  " + result + "  " + step.jcd);
  }
  return summary.failed_row != 0 ? kExitFailed : kExitOk;
}

}  // namespace

int RunCli(const CliOptions& options, CliSystem& system) {
  Terminal terminal(system.out, system.err);
  TerminalMessages messages(terminal);
  TerminalPrompts prompts(terminal, options.yes);
  chain::ChainTable table;
  TerminalView view(terminal, table);
  ui::EngineHostAdapter adapter(prompts, view);

  std::unique_ptr<PortSource> source;
  try {
    source = std::make_unique<PortSource>(options.io, terminal, system.clock);
  } catch (const std::exception& e) {
    terminal.Box("error", e.what());
    return kExitUsage;
  }
  port::PortDriverHandle driver(source->opener());
  port::TVicPort port(driver);
  engine::IspEngine engine(port, system.clock, adapter.host(messages), system.launcher,
                           {.program_dir = system.program_dir, .work_dir = system.work_dir});

  svf::SvfOutput svf_output;
  engine.set_svf_generator(&svf_output);

  ui::Programmer programmer(table, engine, messages, prompts, view, system.work_dir);
  programmer.port_setup.port_index = options.port_index;
  programmer.cable_fallback = !options.cable.has_value();
  if (options.cable) programmer.port_setup.cable = *options.cable;
  programmer.IspOptions = options.options;
  programmer.OffLine = options.offline;
  programmer.ActiveIoVerify = options.active_io;
  if (system.timestamp) programmer.timestamp = system.timestamp;

  engine.jtag().CalibrateDelay();
  int status = kExitOk;
  if (options.scan) {
    // A scan from the command line is the start-up check: there is no earlier count to compare with.
    programmer.check_connection();
    programmer.StartupPending = false;
    status = engine.cable().CableFound ? kExitOk : kExitFailed;
  } else {
    programmer.StartupPending = false;
    status = options.is_batch() ? RunBatchFile(options, programmer, terminal)
                                : RunChainFile(options, programmer, terminal);
  }
  terminal.EndLine();

  try {
    source->SaveBoard();
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
                     .work_dir = engine::FindWorkDir(program_dir)};
    return RunCli(options, system);
  } catch (const std::exception& e) {
    out.flush();
    err << "zepaisp-cli: " << e.what() << '\n';
    return kExitFailed;
  }
}

}  // namespace zepa::cli
