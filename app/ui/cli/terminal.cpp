#include "ui/cli/terminal.h"

#include <string>

#include "ui/cli/report.h"
#include "ui/core/batch.h"

namespace zepa::cli {

void Terminal::Write(std::string_view text) {
  out_ << text;
  out_.flush();
  line_open_ = true;
}

void Terminal::EndLine() {
  if (!line_open_) return;
  out_ << '\n';
  out_.flush();
  line_open_ = false;
}

void Terminal::Line(std::string_view text) {
  EndLine();
  out_ << text << '\n';
  out_.flush();
}

void Terminal::Block(std::string_view text) {
  EndLine();
  out_ << text;
  out_.flush();
}

void Terminal::Box(std::string_view kind, std::string_view text) {
  EndLine();
  std::string shown(text);
  for (char& c : shown) {
    if (c == '\r') c = '\n';
  }
  err_ << kind << ": " << shown << '\n';
  err_.flush();
}

void TerminalMessages::add_message(std::string_view text) {
  if (quiet_) {
    last_.assign(text);
    any_ = true;
    return;
  }
  terminal_.EndLine();
  terminal_.Write(text);
  last_.assign(text);
  any_ = true;
}

void TerminalMessages::replace_last_message(std::string_view text) {
  if (quiet_) {
    last_.assign(text);
    any_ = true;
    return;
  }
  if (any_ && terminal_.line_open() && text.substr(0, last_.size()) == last_) {
    terminal_.Write(text.substr(last_.size()));
  } else {
    terminal_.EndLine();
    terminal_.Write(text);
  }
  last_.assign(text);
  any_ = true;
}

engine::ProcessResult LineEndingLauncher::Run(const std::string& program,
                                              const std::vector<std::string>& args,
                                              const std::vector<std::string>& environment) {
  terminal_.EndLine();
  if (verbose_) {
    std::string command = "+ " + program;
    for (const std::string& arg : args) command += " " + arg;
    terminal_.Line(command);
  }
  terminal_.out().flush();
  return launcher_.Run(program, args, environment);
}

void TerminalPrompts::show(chain::BoxIcon icon, std::string_view /*caption*/, std::string_view text) {
  switch (icon) {
    case chain::BoxIcon::kError:
      terminal_.Box("error", text);
      break;
    case chain::BoxIcon::kWarning:
      terminal_.Box("warning", text);
      break;
    case chain::BoxIcon::kInformation:
      terminal_.Box("info", text);
      break;
  }
}

bool TerminalPrompts::ask(std::string_view /*caption*/, std::string_view text, Answers answers) {
  const bool ok_cancel = answers == Answers::kOkCancel;
  const std::string accept = ok_cancel ? "OK" : "Yes";
  const std::string refuse = ok_cancel ? "Cancel" : "No";
  std::string line = std::string(text) + "\r-> " + (yes_ ? accept : refuse);
  if (!yes_) line += " (--yes answers " + accept + ")";
  terminal_.Box("question", line);
  return yes_;
}

void TerminalView::show_batch_result(int row, std::string_view result) {
  terminal_.Line("Batch step " + std::to_string(row) + ": " + std::string(result));
  if (table_ != nullptr && (result == ui::kStepPass || result == ui::kStepFail)) {
    terminal_.Block(DeviceTable(*table_));
  }
}

}  // namespace zepa::cli
