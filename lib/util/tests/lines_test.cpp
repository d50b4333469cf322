#include "util/lines.h"

#include <gtest/gtest.h>

#include <sstream>

namespace zepa::util {
namespace {

struct LineCase {
  std::string text;
  std::vector<std::string> lines;
  bool last_ended;  // whether the last line had its LF
};

const LineCase kLineCases[] = {
    {"", {}, false},
    {"\n", {""}, true},
    {"a\nb\n", {"a", "b"}, true},
    {"a\r\nb\r\n", {"a", "b"}, true},
    {"a\r\nb", {"a", "b"}, false},
    {"a\n\r\nb", {"a", "", "b"}, false},
    {"a\rb\n", {"a\rb"}, true},
    {"\r\n\r\n", {"", ""}, true},
};

TEST(Lines, SplitLinesDropsTheLineEndsOnly) {
  for (const LineCase& c : kLineCases) {
    EXPECT_EQ(SplitLines(c.text), c.lines) << ::testing::PrintToString(c.text);
  }
}

TEST(Lines, LineReaderAgreesWithSplitLinesAndTellsAMissingLastLf) {
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

TEST(Lines, LineReaderKeepsALoneCrAsText) {
  std::istringstream in("a\r\nb\n\r\nc\rd\r\n\nlast\r");
  LineReader reader(in);
  std::vector<std::pair<std::string, bool>> lines;
  std::string line;
  bool ended = false;
  while (reader.Next(line, ended)) lines.emplace_back(line, ended);
  const std::vector<std::pair<std::string, bool>> expected = {{"a", true},    {"b", true}, {"", true},
                                                              {"c\rd", true}, {"", true},  {"last\r", false}};
  EXPECT_EQ(lines, expected);
}

TEST(Lines, ACrAtTheVeryEndIsALineEndForSplitLinesOnly) {
  // Whole-file readers treat a last "text CR" as a line end; the stream reader sees no LF and keeps it.
  EXPECT_EQ(SplitLines("a\r\nb\r"), (std::vector<std::string>{"a", "b"}));
  std::istringstream in("a\r\nb\r");
  LineReader reader(in);
  std::string line;
  bool ended = false;
  ASSERT_TRUE(reader.Next(line, ended));
  EXPECT_EQ(line, "a");
  ASSERT_TRUE(reader.Next(line, ended));
  EXPECT_EQ(line, "b\r");
  EXPECT_FALSE(ended);
  EXPECT_FALSE(reader.Next(line, ended));
}

}  // namespace
}  // namespace zepa::util
