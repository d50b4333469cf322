#include "util/lines.h"

#include <gtest/gtest.h>

#include <sstream>

namespace zepa::util {
namespace {

struct LineCase {
  std::string text;
  std::vector<std::string> lines;
  bool last_ended;  // whether the last line had a line end
};

// LF, CR LF and a lone CR each end a line; a CR is never text.
const LineCase kLineCases[] = {
    {"", {}, false},
    {"\n", {""}, true},
    {"a\nb\n", {"a", "b"}, true},
    {"a\r\nb\r\n", {"a", "b"}, true},
    {"a\r\nb", {"a", "b"}, false},
    {"a\n\r\nb", {"a", "", "b"}, false},
    {"a\rb\n", {"a", "b"}, true},
    {"\r\n\r\n", {"", ""}, true},
    {"\r\r\n\n", {"", "", ""}, true},
    {"QF1*\rL0 1*\rC0001*", {"QF1*", "L0 1*", "C0001*"}, false},
    {"a\r\nb\n\r\nc\rd\r\n\nlast\r", {"a", "b", "", "c", "d", "", "last"}, true},
};

TEST(Lines, SplitLinesDropsTheLineEndsOnly) {
  for (const LineCase& c : kLineCases) {
    EXPECT_EQ(SplitLines(c.text), c.lines) << ::testing::PrintToString(c.text);
  }
}

TEST(Lines, LineReaderAgreesWithSplitLinesAndTellsAMissingLastLineEnd) {
  for (const LineCase& c : kLineCases) {
    std::istringstream in(c.text);
    LineReader reader(in);
    std::vector<std::string> lines;
    std::string line;
    bool ended = false;
    bool last_ended = false;
    while (reader.Next(line, ended)) {
      lines.push_back(line);
      last_ended = ended;
    }
    const std::string shown = ::testing::PrintToString(c.text);
    EXPECT_EQ(lines, c.lines) << shown;
    EXPECT_EQ(last_ended, c.last_ended) << shown;
  }
}

}  // namespace
}  // namespace zepa::util
