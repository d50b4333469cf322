#include "util/lines.h"

#include "util/files.h"

namespace zepa::util {

std::vector<std::string> SplitLines(std::string_view text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    const std::size_t next = end == std::string_view::npos ? text.size() : end + 1;
    if (end == std::string_view::npos) end = text.size();
    std::size_t stop = end;
    if (stop > start && text[stop - 1] == '\r') --stop;
    lines.emplace_back(text.substr(start, stop - start));
    start = next;
  }
  return lines;
}

std::optional<std::vector<std::string>> ReadLines(const std::string& path) {
  auto content = ReadFile(path);
  if (!content) return std::nullopt;
  return SplitLines(*content);
}

bool LineReader::Next(std::string& line, bool& ended) {
  line.clear();
  ended = false;
  if (!std::getline(in_, line)) return false;
  ended = !in_.eof();
  if (ended && !line.empty() && line.back() == '\r') line.pop_back();
  return true;
}

}  // namespace zepa::util
