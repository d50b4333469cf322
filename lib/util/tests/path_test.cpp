#include "util/path.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace zepa::util {
namespace {

TEST(Path, PartsOfAPathWithEitherSeparator) {
  struct Case {
    const char* path;
    const char* folder;
    const char* name;
    const char* extension;
    const char* stem;
  };
  const Case cases[] = {
      {"top.jed", "", "top.jed", ".jed", "top"},
      {"x/v1.2/top.JED", "x/v1.2/", "top.JED", ".JED", "x/v1.2/top"},
      {"designs\\top.jed", "designs\\", "top.jed", ".jed", "designs\\top"},
      {"a\\b/c", "a\\b/", "c", "", "a\\b/c"},  // a '.' only in a folder is no extension
      {"v1.2\\top", "v1.2\\", "top", "", "v1.2\\top"},
      {"/top.tar.gz", "/", "top.tar.gz", ".gz", "/top.tar"},
      {"folder/", "folder/", "", "", "folder/"},
      {".hidden", "", ".hidden", ".hidden", ""},
      {"", "", "", "", ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FolderOf(c.path), c.folder) << c.path;
    EXPECT_EQ(FileNameOf(c.path), c.name) << c.path;
    EXPECT_EQ(ExtensionOf(c.path), c.extension) << c.path;
    EXPECT_EQ(StemPath(c.path), c.stem) << c.path;
  }
}

TEST(Path, ExtensionsComeFromTheFileNameAlone) {
  struct Case {
    const char* path;
    const char* extension;
    const char* as_bin;
  };
  const Case cases[] = {
      {"design.jed", ".jed", "design.bin"},
      {"dir.v2/top.JED", ".JED", "dir.v2/top.bin"},
      {"C:\\work.1\\design.jed", ".jed", "C:\\work.1\\design.bin"},
      {"a.b.c.jed", ".jed", "a.b.c.bin"},
      {"dir.v2/noext", "", "dir.v2/noext.bin"},
      {"Mixed/Case.Isp", ".Isp", "Mixed/Case.bin"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ExtensionOf(c.path), c.extension) << c.path;
    EXPECT_EQ(ChangeExtension(c.path, "bin"), c.as_bin) << c.path;
  }
  EXPECT_TRUE(HasExtension("TOP.JeD", ".jed"));
  EXPECT_FALSE(HasExtension("top.jedx", ".jed"));
  EXPECT_FALSE(HasExtension("jed", ".jed"));
}

TEST(Path, ChangeExtensionReplacesOrAdds) {
  struct Case {
    const char* path;
    const char* ext;
    const char* out;
  };
  for (const Case& c :
       {Case{"top.jed", "bin", "top.bin"}, Case{"top.jed", ".isp", "top.isp"},
        Case{"x/v1.2/top", "bin", "x/v1.2/top.bin"}, Case{"a\\b.c\\d.jed", "rd", "a\\b.c\\d.rd"},
        Case{"chain.tar.jcd", "svf", "chain.tar.svf"}}) {
    EXPECT_EQ(ChangeExtension(c.path, c.ext), c.out) << c.path << " " << c.ext;
  }
}

TEST(Path, ReplaceExtensionOnlyWhereTheFileNameHasOne) {
  struct Case {
    const char* path;
    const char* expected;  // nullptr: no extension to replace
  };
  const Case cases[] = {
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

TEST(Path, JoinPathPutsOneSeparatorBetween) {
  const char sep = static_cast<char>(std::filesystem::path::preferred_separator);
  EXPECT_EQ(JoinPath("", "dev__1.id"), "dev__1.id");
  EXPECT_EQ(JoinPath("work/", "dev__1.id"), "work/dev__1.id");
  EXPECT_EQ(JoinPath("work\\", "dev__1.id"), "work\\dev__1.id");
  EXPECT_EQ(JoinPath("work", "dev__1.id"), std::string("work") + sep + "dev__1.id");
}

TEST(Path, NativePathTurnsBackslashesOnPosix) {
#ifdef _WIN32
  EXPECT_EQ(NativePath("designs\\top.jed"), "designs\\top.jed");
#else
  EXPECT_EQ(NativePath("c:\\designs\\top.jed"), "c:/designs/top.jed");
  EXPECT_EQ(NativePath("a/b"), "a/b");
#endif
}

}  // namespace
}  // namespace zepa::util
