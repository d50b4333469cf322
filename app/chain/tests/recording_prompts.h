// Prompts for tests: every box is recorded and every question gets a set answer.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "chain/prompts.h"

namespace zepa::chain::testing {

// Records every box as "error: text", "warning: text", "info: text" or "confirm: text" (whatever its
// caption) and counts the beeps; questions get `answer`.
class RecordingPrompts : public Prompts {
 public:
  void show(BoxIcon icon, std::string_view, std::string_view text) override {
    const char* kind = icon == BoxIcon::kError     ? "error: "
                       : icon == BoxIcon::kWarning ? "warning: "
                                                   : "info: ";
    boxes.push_back(kind + std::string(text));
  }
  bool ask(std::string_view, std::string_view text, Answers) override {
    boxes.push_back("confirm: " + std::string(text));
    return answer;
  }
  void beep() override { ++beeps; }

  std::vector<std::string> boxes;
  int beeps = 0;
  bool answer = true;
};

}  // namespace zepa::chain::testing
