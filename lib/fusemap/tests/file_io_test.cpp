#include "fusemap/file_io.h"

#include <gtest/gtest.h>

#include <vector>

namespace zepa::fusemap {
namespace {

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

}  // namespace
}  // namespace zepa::fusemap
