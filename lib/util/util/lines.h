// Text lines with either line end: LF ends a line and a CR right before it belongs to the line end, never
// to the text (the way a text-mode reader on Windows sees a file). Any other CR is text.
#pragma once

#include <istream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zepa::util {

// Splits text into lines; a last line without LF counts (without a trailing CR). An empty text has no lines.
std::vector<std::string> SplitLines(std::string_view text);

// The file's lines (SplitLines), or nothing when it cannot be opened or read.
std::optional<std::vector<std::string>> ReadLines(const std::string& path);

// Reads lines from a stream one at a time.
class LineReader {
 public:
  explicit LineReader(std::istream& in) : in_(in) {}
  // The next line without its line end; `ended` tells whether a LF was read (false on a last line without
  // one). Returns false at end of input.
  bool Next(std::string& line, bool& ended);
  bool Next(std::string& line) {
    bool ended = false;
    return Next(line, ended);
  }

 private:
  std::istream& in_;
};

}  // namespace zepa::util
