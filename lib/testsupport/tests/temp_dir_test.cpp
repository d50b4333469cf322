#include <gtest/gtest.h>

#include <filesystem>

#include "testsupport/files.h"

namespace zepa::testing {
namespace {

TEST(TempDir, TwoInOneTestNeverShareAFolderAndBothAreRemoved) {
  std::filesystem::path first_path, second_path;
  {
    const TempDir first;
    const TempDir second;
    first_path = first.path();
    second_path = second.path();
    EXPECT_NE(first_path, second_path);
    first.Write("f", "first");
    second.Write("f", "second");
    EXPECT_EQ(ReadFile(first.File("f")), "first");
    EXPECT_EQ(TempDir::Read(second.File("f")), "second");
  }
  EXPECT_FALSE(std::filesystem::exists(first_path));
  EXPECT_FALSE(std::filesystem::exists(second_path));
}

TEST(TempDir, WriteFileThrowsWhereItCannotWrite) {
  const TempDir dir;
  EXPECT_THROW(WriteFile(dir.path() / "no" / "folder" / "f", "x"), std::runtime_error);
  EXPECT_EQ(ReadFile(dir.path() / "missing"), "");
}

}  // namespace
}  // namespace zepa::testing
