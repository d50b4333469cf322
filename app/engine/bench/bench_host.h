// The programmer around the engine in the benchmarks: prompts that answer nothing and result marks that
// remember a failure, so a run that went wrong stops the benchmark instead of giving figures.
#pragma once

#include <string_view>

#include "engine/host.h"

namespace zepa::engine {

class NoPrompts final : public chain::Prompts {
 public:
  void show(BoxIcon, std::string_view, std::string_view) override {}
  bool ask(std::string_view, std::string_view, Answers) override { return false; }
  void beep() override {}
};

class FailMarks final : public ResultMarks {
 public:
  void MarkResult(int, bool passed) override { failed = failed || !passed; }
  bool failed = false;
};

}  // namespace zepa::engine
