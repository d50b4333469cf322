// The message window and message boxes on a terminal: progress marks stay on their line, boxes end the
// open line first, questions take the answer of the command line.
#include "ui/cli/terminal.h"

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace zepa::cli
