// The message window and message boxes on a terminal: progress marks stay on their line, boxes end the
// open line first, questions take the answer of the command line.
#include "ui/cli/terminal.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

namespace zepa::cli {
namespace {

class TerminalTest : public ::testing::Test {
 protected:
  std::ostringstream out;
  std::ostringstream err;
  Terminal terminal{out, err};
  TerminalMessages messages{terminal};
};

TEST_F(TerminalTest, ProgressMarksGrowOnTheirLineUntilTheNextLine) {
  messages.add_message("Programming Left side...");
  messages.add_message("");
  messages.append_to_last_message(" *");
  messages.append_to_last_message(" *");
  EXPECT_EQ(out.str(), "Programming Left side...\n * *");  // the marks are on screen before the line ends
  messages.append_to_last_message(" *");
  messages.add_message("Program completed!");
  terminal.EndLine();
  EXPECT_EQ(out.str(), "Programming Left side...\n * * *\nProgram completed!\n");
  EXPECT_EQ(messages.last_message(), "Program completed!");
}

TEST_F(TerminalTest, ReplacingTheLastLineWithOtherTextPrintsItWhole) {
  messages.replace_last_message("first");  // no line yet: this starts one
  messages.replace_last_message("second");
  messages.add_message("");
  messages.add_message("third");
  terminal.EndLine();
  EXPECT_EQ(out.str(), "first\nsecond\n\nthird\n");
  EXPECT_EQ(messages.last_message(), "third");
}

// A converter shares the terminal: its output must start on a line of its own, and the marks that follow
// it continue the message line in full rather than as a stray tail.
TEST_F(TerminalTest, ConvertersStartAfterTheOpenLineEnds) {
  struct Child final : engine::ProcessLauncher {
    std::ostringstream& out;
    explicit Child(std::ostringstream& o) : out(o) {}
    engine::ProcessResult Run(const std::string&, const std::vector<std::string>&,
                              const std::vector<std::string>&) override {
      out << "FUSEBUILD error # 200\n";  // what the child writes on the shared terminal
      return {.started = true, .exit_status = 1, .error = ""};
    }
  } child(out);
  LineEndingLauncher launcher(terminal, child);
  messages.add_message("---------------Begin operation---------------");
  EXPECT_EQ(launcher.Run("fusebuild", {"c.jcd", "1", "0"}, {}).exit_status, 1);
  messages.add_message("Program... (Device #1)");
  EXPECT_EQ(launcher.Run("fusebuild", {"c.jcd", "1", "0"}, {}).exit_status, 1);
  messages.append_to_last_message(" *");
  terminal.EndLine();
  EXPECT_EQ(out.str(),
            "---------------Begin operation---------------\nFUSEBUILD error # 200\n"
            "Program... (Device #1)\nFUSEBUILD error # 200\nProgram... (Device #1) *\n");
}

TEST_F(TerminalTest, BoxesGoToStandardErrorAfterTheOpenLineEnds) {
  TerminalPrompts prompts(terminal, false);
  messages.add_message("Checking");
  prompts.error("No upload file specified for device #2!\rYou need to specified a upload file");
  prompts.warning("No RelayCable found!");
  prompts.info("done");
  // The engine's boxes carry their own caption; a terminal shows only the kind and the text.
  prompts.show(chain::BoxIcon::kError, "Warning!", "Driver \"KPortIo1\" not found");
  EXPECT_EQ(out.str(), "Checking\n");
  EXPECT_EQ(err.str(),
            "error: No upload file specified for device #2!\nYou need to specified a upload file\n"
            "warning: No RelayCable found!\ninfo: done\nerror: Driver \"KPortIo1\" not found\n");
}

TEST_F(TerminalTest, QuestionsTakeTheCommandLinesAnswerAndSaySo) {
  struct Case {
    bool yes;
    chain::Prompts::Answers answers;
    const char* shown;
  };
  const Case cases[] = {
      {false, chain::Prompts::Answers::kYesNo, "question: Save?\n-> No (--yes answers Yes)\n"},
      {false, chain::Prompts::Answers::kOkCancel, "question: Save?\n-> Cancel (--yes answers OK)\n"},
      {true, chain::Prompts::Answers::kYesNo, "question: Save?\n-> Yes\n"},
      {true, chain::Prompts::Answers::kOkCancel, "question: Save?\n-> OK\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.shown);
    err.str("");
    TerminalPrompts prompts(terminal, c.yes);
    EXPECT_EQ(prompts.confirm("Save?", c.answers), c.yes);
    EXPECT_EQ(err.str(), c.shown);
  }
}

// The progress indicator: drawn at the end of the marks' line on a terminal, at most four times a second,
// wiped before the line ends; never on a pipe or a file, never with --quiet.
TEST(ProgressIndicatorTest, RedrawsOnlyOnATerminal) {
  constexpr std::int64_t kMs = 1'000'000;
  struct Case {
    const char* what;
    bool terminal;
    bool quiet;
    const char* out;
  };
  const Case cases[] = {
      {"terminal", true, false,
       "Programming Left side...\n *"
       "\r *  [  0%  0:00]\033[K"            // first row: drawn at once
       "\r *  [ 30%  0:00]\033[K"            // 300 ms later; the row at 100 ms was not drawn
       "\r * *  [ 30%  0:00]\033[K"          // a new mark keeps the indicator after it
       "\r * *  [ 90%  1:05]\033[K"          // minutes and seconds since the first row
       "\r * *\033[K\nProgram completed!\n"  // wiped before the line ends
       "\r  [  0%  0:00]\033[K"              // a new operation starts its own time, on a line of its own
       "\r\033[K"                            // wiped, and the line is reused
       "Done\n"},
      {"pipe", false, false, "Programming Left side...\n * *\nProgram completed!\nDone\n"},
      {"quiet", true, true, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::ostringstream out, err;
    engine::VirtualClock clock;
    Terminal terminal(out, err, c.terminal);
    TerminalMessages messages(terminal, c.quiet, &clock);
    messages.add_message("Programming Left side...");
    messages.add_message("");
    messages.append_to_last_message(" *");
    messages.progress(0, 10);
    clock.Advance(100 * kMs);
    messages.progress(1, 10);
    clock.Advance(200 * kMs);
    messages.progress(3, 10);
    messages.append_to_last_message(" *");
    clock.Advance(65'000 * kMs);
    messages.progress(9, 10);
    messages.add_message("Program completed!");
    terminal.EndLine();
    messages.progress(0, 4);
    messages.add_message("Done");
    terminal.EndLine();
    EXPECT_EQ(out.str(), c.out);
  }
}

// A "\r" redraw only works within one screen row: the indicator goes (while the line still fits) before the
// marks would push it past the edge, and is not drawn again on that line.
TEST(ProgressIndicatorTest, StaysWithinOneScreenRow) {
  std::ostringstream out, err;
  engine::VirtualClock clock;
  Terminal terminal(out, err, true, 24);
  TerminalMessages messages(terminal, false, &clock);
  messages.add_message("");
  messages.append_to_last_message(" * *");  // 4 + 14 < 24
  messages.progress(0, 10);
  messages.append_to_last_message(" * *");  // 8 + 14 < 24
  messages.append_to_last_message(" * *");  // 12 + 14 > 24: too long
  clock.Advance(1'000'000'000);
  messages.progress(5, 10);  // still too long: not drawn
  terminal.EndLine();
  EXPECT_EQ(out.str(), " * *\r * *  [  0%  0:00]\033[K\r * * * *  [  0%  0:00]\033[K\r * * * *\033[K * *\n");
}

}  // namespace
}  // namespace zepa::cli
