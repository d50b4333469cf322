// What an engine run in a fuzzer talks to: prompts that say "no" to every question (go on, so a run reaches
// as far as its input lets it) and show nothing, result marks kept nowhere, and no converters (the images
// come from the fuzzer, not from fusebuild).
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "chain/prompts.h"
#include "engine/host.h"
#include "engine/process.h"

namespace zepa::fuzzing {

class QuietPrompts final : public chain::Prompts {
 public:
  void show(chain::BoxIcon, std::string_view, std::string_view) override {}
  bool ask(std::string_view, std::string_view, Answers) override { return false; }
  void beep() override {}
};

class NoMarks final : public engine::ResultMarks {
 public:
  void MarkResult(int, bool) override {}
};

class NoPrograms final : public engine::ProcessLauncher {
 public:
  engine::ProcessResult Run(const std::string&, const std::vector<std::string>&,
                            const std::vector<std::string>&) override {
    return {.started = false, .exit_status = -1, .error = "not started in the fuzzer"};
  }
};

}  // namespace zepa::fuzzing
