// What the engine needs from the programmer around it: the programmer's message boxes and beep, the
// pass/fail marks of the chain grid, and the message window. The engine abort lives here too, since every
// check uses it.
#pragma once

#include <stdexcept>
#include <string_view>

#include "chain/prompts.h"
#include "engine/messages.h"

namespace zepa::engine {

// The engine shows its boxes through the programmer's chain::Prompts, so a front end implements them once.
using chain::BoxIcon;

// The chain grid's result column. Position 0 means "no device": only the run's failure indication is set.
class ResultMarks {
 public:
  virtual ~ResultMarks() = default;
  virtual void MarkResult(int position, bool passed) = 0;
};

struct EngineHost {
  MessageSink& messages;
  chain::Prompts& prompts;
  ResultMarks& marks;
};

// The engine abort: raised after the reason has been written to the message window and the device marked
// "fail". Its text is always the same; the reason is in the message window.
class EPyk : public std::runtime_error {
 public:
  EPyk() : std::runtime_error("Fatal Error...") {}
};

// Writes `message`, "Operation aborted!" and an empty line, marks `position` failed and raises EPyk.
[[noreturn]] inline void AbortDevice(const EngineHost& host, int position, std::string_view message) {
  host.messages.add_message(message);
  host.messages.add_message("Operation aborted!");
  host.messages.add_message("");
  host.marks.MarkResult(position, false);
  throw EPyk();
}

}  // namespace zepa::engine
