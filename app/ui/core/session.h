// One programmer session, assembled the same way for every front end: the port (a simulated board or a
// backend of the port table), the driver handle and TVicPort over it, the engine with its SVF generator,
// the chain table and the programmer. The front end brings its message sink, prompts and view; the session
// calibrates the delays once and keeps a simulated board's state when it ends.
//
//   ui::Session session({.kind = ui::PortChoice::Kind::kSim, .argument = "board.sim"}, environment,
//                       messages, prompts, view);
//   session.programmer().settings.IspOptions = ...;      // the run settings, in one place
//   session.programmer().run_chain();
//   session.save_board();                                // what the board's devices hold is kept
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "chain/chain_table.h"
#include "chain/prompts.h"
#include "engine/clock.h"
#include "engine/messages.h"
#include "engine/process.h"
#include "engine/runner.h"
#include "ui/core/run_path.h"

namespace zepa::sim {
class Board;
}

namespace zepa::ui {

// Where the port registers are: the simulated board of a board file, or a backend of the port table.
struct PortChoice {
  enum class Kind { kSim, kBackend };
  Kind kind = Kind::kBackend;
  std::string backend;   // kBackend: a name of port::PortBackends() ("ppdev", "direct", "driver"); empty:
                         // the table's first row
  std::string argument;  // sim: the board file; ppdev: "PATH" or "ADDR=PATH" (may be empty); remote:
                         // "HOST:PORT"
};

// What a session takes from the system around it.
struct SessionEnvironment {
  engine::Clock& clock;                         // the delays' clock; a simulated board's dwells run on it too
  engine::ProcessLauncher& launcher;            // starts fusebuild and fusedump
  std::string program_dir;                      // where fusebuild is found
  std::string work_dir;                         // the working folder (the front end holds its lock)
  std::function<std::string()> timestamp = {};  // "<time> <date>"; empty: the local time
  std::function<void(const std::string&)> port_notes = {};  // why a port could not be opened
};

class Session {
 public:
  // Opens the simulated board (throws std::runtime_error naming the board file when it cannot be read or
  // another program has it open) or
  // prepares the port backend (throws std::invalid_argument naming the known backends for an unknown
  // one; the port itself is opened by the engine's first run). Calibrates the delays.
  Session(const PortChoice& port, const SessionEnvironment& environment, engine::MessageSink& messages,
          chain::Prompts& prompts, RunView& view);
  ~Session();
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  chain::ChainTable& table();
  Programmer& programmer();
  engine::IspEngine& engine();

  // True when the port is a simulated board.
  bool simulated() const;
  // The simulated board; null for a real port.
  sim::Board* board();

  // Writes what the simulated board's devices hold to its state file (nothing for a real port). Throws
  // std::runtime_error when the state file cannot be written.
  void save_board();

 private:
  struct Parts;
  std::unique_ptr<Parts> parts_;
};

}  // namespace zepa::ui
