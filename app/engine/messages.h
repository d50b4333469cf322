// The message window as the engine, the command-line programmer and the GUI see it: a list of text lines
// that progress is written to, and whose last line grows while an operation marks its rows (" * * *").
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace zepa::engine {

class MessageSink {
 public:
  virtual ~MessageSink() = default;

  // Appends a line; an empty text appends an empty line.
  virtual void add_message(std::string_view text) = 0;
  // The last line, or an empty text when there is none.
  virtual std::string last_message() const = 0;
  // Replaces the last line (appends one when there is none).
  virtual void replace_last_message(std::string_view text) = 0;

  // How far the operation on the current device is: `done` of `total` rows (or frames). The message lines
  // are not touched; a front end that draws a progress indicator takes it, the others ignore it.
  virtual void progress(long done, long total) {
    (void)done;
    (void)total;
  }

  // Progress marks: the last line with `text` appended.
  void append_to_last_message(std::string_view text) {
    std::string line = last_message();
    line.append(text);
    replace_last_message(line);
  }
};

// Keeps the lines in memory: the command-line programmer prints them, tests read them.
class MessageLines final : public MessageSink {
 public:
  void add_message(std::string_view text) override { lines_.emplace_back(text); }
  std::string last_message() const override { return lines_.empty() ? std::string() : lines_.back(); }
  void replace_last_message(std::string_view text) override {
    if (lines_.empty()) {
      lines_.emplace_back(text);
    } else {
      lines_.back().assign(text);
    }
  }

  void progress(long done, long total) override { progress_.push_back({done, total}); }

  const std::vector<std::string>& lines() const { return lines_; }
  // Every progress report, in order.
  const std::vector<std::pair<long, long>>& progress_reports() const { return progress_; }
  void clear() {
    lines_.clear();
    progress_.clear();
  }

 private:
  std::vector<std::string> lines_;
  std::vector<std::pair<long, long>> progress_;
};

}  // namespace zepa::engine
