#include "ui/core/session.h"

#include <filesystem>
#include <utility>

#include "port/port_backends.h"
#include "port/tvicport.h"
#include "sim/board.h"
#include "sim/families.h"
#include "svf/svf_output.h"

namespace zepa::ui {
namespace {

std::string absolute_path(const std::string& path) {
  std::error_code ec;
  const std::filesystem::path p = std::filesystem::absolute(path, ec);
  return ec ? path : p.lexically_normal().string();
}

}  // namespace

// Declared in the order they are built: each part uses only those above it.
struct Session::Parts {
  Parts(const PortChoice& choice, const SessionEnvironment& env, engine::MessageSink& messages,
        chain::Prompts& prompts, RunView& view)
      : opener(open_port(choice, env)),
        driver(opener),
        port(driver),
        adapter(prompts, view),
        engine(port, env.clock, adapter.host(messages), env.launcher,
               {.program_dir = env.program_dir, .work_dir = env.work_dir}),
        programmer(table, engine, messages, prompts, view, env.work_dir) {
    engine.set_svf_generator(&svf_output);
    if (env.timestamp) programmer.timestamp = env.timestamp;
  }

  port::PortOpener open_port(const PortChoice& choice, const SessionEnvironment& env) {
    if (choice.kind == PortChoice::Kind::kSim) {
      board_path = absolute_path(choice.argument);
      // The parts' erase and program dwells run on the programmer's clock.
      engine::Clock& clock = env.clock;
      board = sim::Board::Open(board_path, sim::AllFamilies([&clock] { return clock.NowNs(); }));
      board->set_clock([&clock] { return clock.NowNs(); });
      return port::OpenerFor(*board);
    }
    port::PortBackendConfig config;
    config.backend = choice.backend;
    if (choice.backend == "remote") {
      config.remote = choice.argument;
    } else if (!choice.argument.empty()) {
      port::AddPortMapping(config.ppdev, choice.argument);
    }
    config.notes = env.port_notes;
    return port::MakePortOpener(std::move(config));
  }

  std::string board_path;
  std::unique_ptr<sim::Board> board;
  port::PortOpener opener;
  port::PortDriverHandle driver;
  port::TVicPort port;
  EngineHostAdapter adapter;
  engine::IspEngine engine;
  svf::SvfOutput svf_output;
  chain::ChainTable table;
  Programmer programmer;
};

Session::Session(const PortChoice& port, const SessionEnvironment& environment, engine::MessageSink& messages,
                 chain::Prompts& prompts, RunView& view)
    : parts_(std::make_unique<Parts>(port, environment, messages, prompts, view)) {
  parts_->engine.jtag().CalibrateDelay();
}

Session::~Session() = default;

chain::ChainTable& Session::table() {
  return parts_->table;
}
Programmer& Session::programmer() {
  return parts_->programmer;
}
engine::IspEngine& Session::engine() {
  return parts_->engine;
}
bool Session::simulated() const {
  return parts_->board != nullptr;
}

sim::Board* Session::board() {
  return parts_->board.get();
}

void Session::save_board() {
  if (parts_->board) parts_->board->SaveState(sim::Board::StatePath(parts_->board_path));
}

}  // namespace zepa::ui
