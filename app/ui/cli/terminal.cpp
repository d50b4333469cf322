#include "ui/cli/terminal.h"

#include <algorithm>
#include <cstdio>
#include <string>

#include "ui/cli/report.h"
#include "ui/core/batch.h"

namespace zepa::cli {

void Terminal::Write(std::string_view text) {
  // A line redrawn with "\r" must stay within one screen row: once the text would push the indicator past
  // it, the indicator goes while the line still fits.
  if (!indicator_.empty() && Fits(open_text_.size() + text.size() + indicator_.size())) {
    open_text_.append(text);
    out_ << '\r' << open_text_ << indicator_ << "\033[K";
  } else {
    WipeIndicator();
    if (redraw_) open_text_.append(text);
    out_ << text;
  }
  indicator_line_ = false;  // the line now holds text of its own
  out_.flush();
  line_open_ = true;
}

void Terminal::WipeIndicator() {
  if (indicator_.empty()) return;
  indicator_.clear();
  out_ << '\r' << open_text_ << "\033[K";
  out_.flush();
}

void Terminal::ShowIndicator(std::string_view indicator) {
  if (!redraw_ || !Fits(open_text_.size() + indicator.size())) return;
  indicator_.assign(indicator);
  if (!line_open_) indicator_line_ = true;
  out_ << '\r' << open_text_ << indicator_ << "\033[K";
  out_.flush();
  line_open_ = true;
}

void Terminal::EndLine() {
  if (!line_open_) return;
  const bool only_indicator = indicator_line_ && open_text_.empty();
  WipeIndicator();
  // A line opened for the indicator alone is left empty for the next text instead of ending.
  if (!only_indicator) out_ << '\n';
  out_.flush();
  line_open_ = false;
  indicator_line_ = false;
  open_text_.clear();
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

void TerminalMessages::progress(long done, long total) {
  if (quiet_ || clock_ == nullptr || !terminal_.redraws() || total <= 0) return;
  const std::int64_t now = clock_->NowNs();
  if (done <= last_done_ || last_done_ < 0) {
    started_ns_ = now;  // a new operation
    drawn_ns_ = now - kRedrawNs;
  }
  last_done_ = done;
  if (now - drawn_ns_ < kRedrawNs) return;
  drawn_ns_ = now;
  const long percent = std::clamp(done * 100 / total, 0L, 100L);
  const std::int64_t seconds = (now - started_ns_) / 1'000'000'000;
  char text[48];
  std::snprintf(text, sizeof text, "  [%3ld%% %2lld:%02lld]", percent, static_cast<long long>(seconds / 60),
                static_cast<long long>(seconds % 60));
  terminal_.ShowIndicator(text);
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
