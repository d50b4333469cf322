#include "fusemap/file_io.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

namespace zepa::fusemap {
namespace {

TEST(ReplaceExtensionTest, ReplacesTheExtensionOfTheFileNameOnly) {
  struct Case {
    const char* path;
    const char* expected;  // nullptr: no extension to replace
  };
  const std::vector<Case> cases = {
      {"design.jed", "design.bin"},
      {"C:\\work\\design.jed", "C:\\work\\design.bin"},
      {"boards/v1.2/top.jed", "boards/v1.2/top.bin"},
      {"boards\\v1.2\\top.jed", "boards\\v1.2\\top.bin"},
      {"top.v2.jed", "top.v2.bin"},
      {"./top", nullptr},
      {"boards/v1.2/top", nullptr},
      {"boards\\v1.2\\top", nullptr},
      {"boards/v1.2/", nullptr},
      {".jed", ".bin"},
      {"DESIGN.JED", "DESIGN.bin"},
  };
  for (const Case& c : cases) {
    const auto got = ReplaceExtension(c.path, ".bin");
    if (c.expected == nullptr) {
      EXPECT_FALSE(got.has_value()) << c.path;
    } else {
      EXPECT_EQ(got.value_or("<none>"), c.expected) << c.path;
    }
  }
}

TEST(ResolveInFolderTest, RelativePathsStartInTheWorkFolder) {
  struct Case {
    const char* work_dir;
    const char* path;
    const char* expected;
  };
  const std::vector<Case> cases = {
      {"", "boards\\top.jed", "boards/top.jed"},
      {"/w", "boards/top.jed", "/w/boards/top.jed"},
      {"/w", "boards\\v1.2\\top.bin", "/w/boards/v1.2/top.bin"},
      {"/w", "/abs/top.jed", "/abs/top.jed"},
      {"/w", "", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(ResolveInFolder(c.work_dir, c.path), c.expected) << c.path;
}

// LF, CR LF and a lone CR each end a line; a CR is never text.
TEST(LineReaderTest, EveryLineEndEndsALine) {
  struct Case {
    std::string text;
    std::vector<std::pair<std::string, bool>> lines;  // text and whether a line end was read
  };
  const Case cases[] = {
      {"a\r\nb\n\r\nc\rd\r\n\nlast\r",
       {{"a", true}, {"b", true}, {"", true}, {"c", true}, {"d", true}, {"", true}, {"last", true}}},
      {"QF1*\rL0 1*\rC0001*", {{"QF1*", true}, {"L0 1*", true}, {"C0001*", false}}},
      {"\r\r\n\n", {{"", true}, {"", true}, {"", true}}},
      {"no end", {{"no end", false}}},
      {"", {}},
  };
  for (const auto& c : cases) {
    std::istringstream in(c.text);
    LineReader reader(in);
    std::vector<std::pair<std::string, bool>> lines;
    std::string line;
    bool ended = false;
    while (reader.Next(line, ended)) lines.emplace_back(line, ended);
    EXPECT_EQ(lines, c.lines) << c.text;
  }
}

class ReplaceFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() /
           ("zepa_file_io_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  std::string Read(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  std::filesystem::path dir_;
};

TEST_F(ReplaceFileTest, ReplacesAnOldFileWhole) {
  const std::string path = (dir_ / "image.bin").string();
  std::ofstream(path) << "old contents that are longer";
  ASSERT_TRUE(ReplaceFileContents(path, std::string("new\0bytes", 9)));
  EXPECT_EQ(Read(path), std::string("new\0bytes", 9));
  EXPECT_FALSE(std::filesystem::exists(path + ".tmp"));
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir_), {}), 1) << "a temporary file was left";
}

TEST_F(ReplaceFileTest, FailureLeavesTheOldFileAndNoTemporary) {
  // The target is a folder: the rename fails after the temporary file was written.
  const std::filesystem::path target = dir_ / "image.bin";
  std::filesystem::create_directories(target / "keep");
  EXPECT_FALSE(ReplaceFileContents(target.string(), "data"));
  EXPECT_TRUE(std::filesystem::is_directory(target / "keep"));
  EXPECT_FALSE(std::filesystem::exists(dir_ / "image.bin.tmp"));
  // A folder that does not exist: nothing can be created at all.
  EXPECT_FALSE(ReplaceFileContents((dir_ / "missing" / "image.bin").string(), "data"));
}

}  // namespace
}  // namespace zepa::fusemap
