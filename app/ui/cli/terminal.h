// The programmer's message window and message boxes on a terminal. Message lines go to standard output
// as they come; a line that grows (the " *" progress marks) is printed piece by piece on one line, which
// ends when the next line starts. Boxes go to standard error; questions take the answer chosen on the
// command line and say which one they took.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "chain/chain_table.h"
#include "chain/prompts.h"
#include "engine/clock.h"
#include "engine/messages.h"
#include "engine/process.h"
#include "ui/core/run_path.h"

namespace zepa::cli {

// The two output streams and whether a message line is still open on the first.
class Terminal {
 public:
  // `redraw`: standard output is a terminal of `columns` columns, so the open line may be redrawn ("\r")
  // to show a progress indicator at its end while both fit in one row. Otherwise nothing is ever redrawn:
  // plain lines only.
  Terminal(std::ostream& out, std::ostream& err, bool redraw = false, int columns = 80)
      : out_(out), err_(err), redraw_(redraw), columns_(columns) {}

  // Prints `text` on the open line (opening one when none is).
  void Write(std::string_view text);
  // Ends the open line, if any.
  void EndLine();
  // Whether a line is open (printed without its line end).
  bool line_open() const { return line_open_; }
  // A whole line on standard output, after the open line has been ended.
  void Line(std::string_view text);
  // Lines already ended ("...\n"), after the open line has been ended.
  void Block(std::string_view text);
  // A box on standard error: "<kind>: <text>" with the box's "\r" line breaks as real ones.
  void Box(std::string_view kind, std::string_view text);

  std::ostream& out() { return out_; }

  bool redraws() const { return redraw_; }
  // Shows `indicator` at the end of the open line (opening one for it when none is); it is wiped before
  // the line ends or anything else is printed. Does nothing when the terminal does not redraw.
  void ShowIndicator(std::string_view indicator);

 private:
  // Wipes the indicator: the open line is drawn again without it.
  void WipeIndicator();
  // Whether a line of `length` characters stays within one screen row (the cursor may not wrap).
  bool Fits(std::size_t length) const { return length < static_cast<std::size_t>(columns_); }

  std::ostream& out_;
  std::ostream& err_;
  bool redraw_;
  int columns_;
  bool line_open_ = false;
  std::string open_text_;  // what the open line holds (redrawing terminals only)
  std::string indicator_;
  bool indicator_line_ = false;  // the open line was opened for the indicator alone
};

class TerminalMessages final : public engine::MessageSink {
 public:
  // `quiet`: the lines are kept (last_message) but not printed. `clock`: the elapsed time of the progress
  // indicator (none without a clock).
  explicit TerminalMessages(Terminal& terminal, bool quiet = false, engine::Clock* clock = nullptr)
      : terminal_(terminal), quiet_(quiet), clock_(clock) {}

  void add_message(std::string_view text) override;
  std::string last_message() const override { return last_; }
  // When the new text extends the last line and that line is still open, only the new part is printed; any
  // other replacement prints the whole text on a line of its own.
  void replace_last_message(std::string_view text) override;
  // On a redrawing terminal: "[ 42%  0:07]" after the open line, the percentage of rows (or frames) done
  // and the time since the operation's first row, drawn at most four times a second (and at its first
  // row). Elsewhere, and with --quiet, nothing.
  void progress(long done, long total) override;

  static constexpr std::int64_t kRedrawNs = 250'000'000;

 private:
  Terminal& terminal_;
  bool quiet_;
  engine::Clock* clock_;
  std::int64_t started_ns_ = 0;
  std::int64_t drawn_ns_ = 0;
  long last_done_ = -1;
  std::string last_;
  bool any_ = false;
};

// Starts the converters the way the given launcher does, after ending the open message line: they share the
// terminal, and what they print must not land in the middle of a line being built.
class LineEndingLauncher final : public engine::ProcessLauncher {
 public:
  // `verbose`: each command is printed first ("+ program arg ...").
  LineEndingLauncher(Terminal& terminal, engine::ProcessLauncher& launcher, bool verbose = false)
      : terminal_(terminal), launcher_(launcher), verbose_(verbose) {}
  engine::ProcessResult Run(const std::string& program, const std::vector<std::string>& args,
                            const std::vector<std::string>& environment) override;

 private:
  Terminal& terminal_;
  engine::ProcessLauncher& launcher_;
  bool verbose_;
};

class TerminalPrompts final : public chain::Prompts {
 public:
  TerminalPrompts(Terminal& terminal, bool yes) : terminal_(terminal), yes_(yes) {}

  // "error: ", "warning: " or "info: " and the text; a terminal has no title bar for the caption.
  void show(chain::BoxIcon icon, std::string_view caption, std::string_view text) override;
  // Prints the question with the answer taken: the accepting one with --yes, the refusing one without.
  bool ask(std::string_view caption, std::string_view text, Answers answers) override;
  // A terminal stays silent.
  void beep() override {}

 private:
  Terminal& terminal_;
  bool yes_;
};

// What the command line shows of the windows: batch rows as they change, and after each finished step
// the table of its devices.
class TerminalView final : public ui::RunView {
 public:
  explicit TerminalView(Terminal& terminal) : terminal_(terminal) {}
  // The table whose devices a finished batch step prints.
  void set_table(const chain::ChainTable& table) { table_ = &table; }
  void show_batch_result(int row, std::string_view result) override;

 private:
  Terminal& terminal_;
  const chain::ChainTable* table_ = nullptr;
};

}  // namespace zepa::cli
