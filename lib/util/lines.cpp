#include "util/lines.h"

#include "util/files.h"

namespace zepa::util {

std::vector<std::string> SplitLines(std::string_view text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    const LineBounds line = FindLineEnd(text, start);
    lines.emplace_back(text.substr(start, line.end - start));
    start = line.next;
  }
  return lines;
}

std::optional<std::vector<std::string>> ReadLines(const std::string& path) {
  auto content = ReadFile(path);
  if (!content) return std::nullopt;
  return SplitLines(*content);
}

}  // namespace zepa::util
