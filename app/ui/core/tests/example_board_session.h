// A programmer session on a copy of the example board, for the tests that need the programmer itself.
#pragma once

#include <filesystem>
#include <memory>
#include <string>

#include "chain/tests/recording_prompts.h"
#include "engine/clock.h"
#include "engine/messages.h"
#include "engine/process.h"
#include "testsupport/files.h"
#include "ui/core/session.h"

namespace zepa::ui::testing {

struct SessionRig {
  // `dir` is an existing scratch folder: the board file and the working files go there. The board is the
  // example board, or the board file text `board_text` when one is given.
  explicit SessionRig(const std::string& dir, const std::string& board_text = {}) {
    const std::string board = (std::filesystem::path(dir) / "board.sim").string();
    if (board_text.empty()) {
      std::filesystem::copy_file(std::string(ZEPA_SOURCE_DIR) + "/examples/board.sim", board,
                                 std::filesystem::copy_options::overwrite_existing);
    } else {
      zepa::testing::WriteFile(board, board_text);
    }
    session = std::make_unique<Session>(
        PortChoice{.kind = PortChoice::Kind::kSim, .backend = {}, .argument = board},
        SessionEnvironment{
            .clock = clock, .launcher = launcher, .program_dir = ZEPA_BIN_DIR, .work_dir = dir},
        messages, prompts, view);
  }

  chain::ChainTable& table() { return session->table(); }
  Programmer& programmer() { return session->programmer(); }

  engine::VirtualClock clock;
  engine::SystemProcessLauncher launcher;
  engine::MessageLines messages;
  chain::testing::RecordingPrompts prompts;
  RunView view;
  std::unique_ptr<Session> session;
};

}  // namespace zepa::ui::testing
