// Text lines as every reader takes them: LF, CR LF, or a CR alone (files saved by old Mac tools) ends a
// line, and a CR is never part of a line's text.
#pragma once

#include <cstddef>
#include <istream>
#include <optional>
#include <streambuf>
#include <string>
#include <string_view>
#include <vector>

namespace zepa::util {

struct LineBounds {
  std::size_t end;   // one past the line's last character
  std::size_t next;  // where the next line starts (text.size() at the end)
  bool ended;        // whether a line end was found (false for a last line without one)
};

// The line of `text` that starts at `start` (which must be below text.size()).
inline LineBounds FindLineEnd(std::string_view text, std::size_t start) {
  const std::size_t end = text.find_first_of("\r\n", start);
  if (end == std::string_view::npos) return {text.size(), text.size(), false};
  const bool crlf = text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n';
  return {end, end + (crlf ? 2 : 1), true};
}

// Reads the next line of `in` without its line end. `ended` tells whether one was read. False (and an empty
// line) at the end of the input.
inline bool ReadLine(std::istream& in, std::string& line, bool& ended) {
  using Traits = std::char_traits<char>;
  line.clear();
  ended = false;
  std::streambuf* buffer = in.rdbuf();
  if (!in.good() || buffer == nullptr) {
    in.setstate(std::ios::failbit);
    return false;
  }
  bool any = false;
  for (;;) {
    const Traits::int_type c = buffer->sbumpc();
    if (Traits::eq_int_type(c, Traits::eof())) {
      in.setstate(any ? std::ios::eofbit : std::ios::eofbit | std::ios::failbit);
      return any;
    }
    any = true;
    if (c == '\n') break;
    if (c == '\r') {
      if (Traits::eq_int_type(buffer->sgetc(), '\n')) buffer->sbumpc();
      break;
    }
    line.push_back(Traits::to_char_type(c));
  }
  ended = true;
  return true;
}

inline bool ReadLine(std::istream& in, std::string& line) {
  bool ended = false;
  return ReadLine(in, line, ended);
}

// Splits text into lines; a last line without a line end counts. An empty text has no lines.
std::vector<std::string> SplitLines(std::string_view text);

// The file's lines (SplitLines), or nothing when it cannot be opened or read.
std::optional<std::vector<std::string>> ReadLines(const std::string& path);

// Reads lines from a stream one at a time.
class LineReader {
 public:
  explicit LineReader(std::istream& in) : in_(in) {}
  // The next line without its line end (ReadLine); `ended` tells whether a line end was read (false on a last
  // line without one). Returns false at end of input.
  bool Next(std::string& line, bool& ended) { return ReadLine(in_, line, ended); }
  bool Next(std::string& line) {
    bool ended = false;
    return Next(line, ended);
  }

 private:
  std::istream& in_;
};

}  // namespace zepa::util
