// zepaisp-cli as a library: everything but the process around it, so that tests run it on a simulated
// board with a virtual clock.
#pragma once

#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "engine/clock.h"
#include "engine/process.h"
#include "engine/runner.h"
#include "engine/workdir.h"
#include "ui/cli/options.h"

namespace zepa::cli {

// What a run takes from the system around it.
struct CliSystem {
  std::ostream& out;
  std::ostream& err;
  engine::Clock& clock;
  engine::ProcessLauncher& launcher;
  std::string program_dir;                      // where fusebuild is found
  std::string work_dir;                         // the working folder
  std::function<std::string()> timestamp = {};  // "<time> <date>"; empty: the local time
  engine::WorkDirWait work_dir_wait = {};       // the wait for another run holding the working folder
  // Told the engine once the session has one, and nullptr before the session goes: the program's SIGINT
  // and SIGTERM handler asks that engine to stop after the device being worked on.
  std::function<void(engine::IspEngine*)> stoppable = {};
  bool out_is_terminal = false;  // a progress indicator may be redrawn on `out`
  int columns = 80;              // its width
};

// Runs parsed options: the chain file, the batch file or the chain scan. Returns the exit status: 0 when
// every device passed; 1 when one failed or the run could not finish (a refused chain, a stop by a signal);
// 2 when the file cannot be used or the run cannot start (the board file, the port backend, the working
// folder held by another run); 3 when no port, no cable or no chain was found and nothing ran.
int RunCli(const CliOptions& options, CliSystem& system);

// The whole program: parses `args` (without the program name), finds the program's and the working
// folder from `argv0`, and runs on the real clock and process launcher.
int CliMain(const std::string& argv0, const std::vector<std::string>& args, std::ostream& out,
            std::ostream& err);

}  // namespace zepa::cli
