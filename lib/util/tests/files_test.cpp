#include "util/files.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <set>

#include "testsupport/scratch_dir.h"

namespace zepa::util {
namespace {

namespace fs = std::filesystem;

class FilesTest : public testing::ScratchDir {};

TEST_F(FilesTest, ReadFileGivesTheBytesOrNothing) {
  const std::string bytes("a\r\nb\0c\xFF", 7);
  write("data.bin", bytes);
  fs::create_directories(dir_ / "folder");
  EXPECT_EQ(ReadFile(path("data.bin")), bytes);
  EXPECT_EQ(ReadFile(path("empty")), std::nullopt);
  write("empty", "");
  EXPECT_EQ(ReadFile(path("empty")), "");
  EXPECT_EQ(ReadFile(path("folder")), std::nullopt);
}

TEST_F(FilesTest, ReadFileOrThrowNamesTheFileAndTheSystemReason) {
  struct Case {
    const char* name;
    std::errc reason;
  };
  fs::create_directories(dir_ / "folder");
  for (const Case& c : {Case{"missing.jed", std::errc::no_such_file_or_directory},
                        Case{"folder", std::errc::is_a_directory}}) {
    try {
      ReadFileOrThrow(path(c.name));
      ADD_FAILURE() << c.name << " was read";
    } catch (const FileError& e) {
      EXPECT_EQ(e.step(), FileError::Step::kOpen);
      EXPECT_EQ(e.reason(), std::make_error_code(c.reason)) << c.name;
      EXPECT_EQ(std::string(e.what()), path(c.name) + ": cannot open the file");
    }
  }
}

TEST_F(FilesTest, ReplaceFileWritesNewAndReplacesOldWholeLeavingNoTemporaryFile) {
  ReplaceFile(path("out.bin"), "first, and longer than the second");
  EXPECT_EQ(read("out.bin"), "first, and longer than the second");
  ReplaceFile(path("out.bin"), std::string("2\0", 2));
  EXPECT_EQ(read("out.bin"), std::string("2\0", 2));
  EXPECT_EQ(files(), std::vector<std::string>{"out.bin"});
}

TEST_F(FilesTest, TemporaryNamesAreUniqueAndCarryTheProcessId) {
  const std::string target = path("chain.svf");
  std::set<std::string> names;
  for (int i = 0; i < 100; ++i) names.insert(TemporaryNameFor(target));
  EXPECT_EQ(names.size(), 100u);
  const std::string prefix = target + "." + std::to_string(::getpid()) + "-";
  for (const std::string& name : names) {
    EXPECT_EQ(name.substr(0, prefix.size()), prefix);
    EXPECT_EQ(name.substr(name.size() - 4), ".tmp");
  }
}

TEST_F(FilesTest, TwoPendingWritersOfOneFileDoNotShareATemporaryFile) {
  // Two runs writing the same result file: each keeps its own data until it commits, and the last commit
  // wins whole.
  PendingFile first(path("dev__1.id"));
  PendingFile second(path("dev__1.id"));
  EXPECT_NE(first.temp_path(), second.temp_path());
  first.stream() << "first run\n";
  second.stream() << "second\n";
  first.Commit();
  EXPECT_EQ(read("dev__1.id"), "first run\n");
  second.Commit();
  EXPECT_EQ(read("dev__1.id"), "second\n");
  EXPECT_EQ(files(), std::vector<std::string>{"dev__1.id"});
}

TEST_F(FilesTest, PendingFileDroppedWithoutCommitLeavesTheOldFile) {
  write("state.txt", "old\n");
  std::string temp;
  {
    PendingFile file(path("state.txt"));
    temp = file.temp_path();
    file.stream() << "half of the new";
    EXPECT_TRUE(fs::exists(temp));
  }
  EXPECT_FALSE(fs::exists(temp));
  EXPECT_EQ(read("state.txt"), "old\n");

  PendingFile abandoned(path("state.txt"));
  abandoned.stream() << "new";
  abandoned.Finish();
  abandoned.Abandon();
  EXPECT_EQ(read("state.txt"), "old\n");
  EXPECT_EQ(files(), std::vector<std::string>{"state.txt"});
}

TEST_F(FilesTest, FailuresNameTheStepAndLeaveNoTemporaryFile) {
  fs::create_directories(dir_ / "target_is_a_folder");
  write("target_is_a_folder/keep", "x");
  struct Case {
    const char* what;
    std::string target;
    FileError::Step step;
    std::errc reason;
  };
  const Case cases[] = {
      {"missing folder", path("no/such/folder/x.bin"), FileError::Step::kCreate,
       std::errc::no_such_file_or_directory},
      {"target is a folder", path("target_is_a_folder"), FileError::Step::kCreate, std::errc::is_a_directory},
  };
  for (const Case& c : cases) {
    try {
      ReplaceFile(c.target, "data");
      ADD_FAILURE() << c.what << ": replaced";
    } catch (const FileError& e) {
      EXPECT_EQ(e.step(), c.step) << c.what;
      EXPECT_EQ(e.reason(), std::make_error_code(c.reason)) << c.what << ": " << e.what();
      EXPECT_EQ(e.path(), c.target);
      EXPECT_EQ(std::string(e.what()), c.target + ": cannot create the file");
    }
  }
  EXPECT_EQ(files(), std::vector<std::string>{"target_is_a_folder"});
  EXPECT_EQ(read("target_is_a_folder/keep"), "x");
}

TEST_F(FilesTest, AFullDiskIsAWriteFailureAndTheOldFileStays) {
  if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
  // The writer's temporary file is made a link to /dev/full: the name after the one drawn here is the one
  // the writer takes.
  write("image.bin", "old");
  const std::string next = TemporaryNameFor(path("image.bin"));
  const std::string prefix = path("image.bin") + "." + std::to_string(::getpid()) + "-";
  const unsigned long n = std::stoul(next.substr(prefix.size()));
  fs::create_symlink("/dev/full", prefix + std::to_string(n + 1) + ".tmp");
  try {
    ReplaceFile(path("image.bin"), std::string(100000, 'x'));
    ADD_FAILURE() << "replaced on a full disk";
  } catch (const FileError& e) {
    EXPECT_EQ(e.step(), FileError::Step::kWrite) << e.what();
    EXPECT_EQ(e.reason(), std::make_error_code(std::errc::no_space_on_device)) << e.what();
  }
  EXPECT_EQ(read("image.bin"), "old");
  EXPECT_EQ(files(), std::vector<std::string>{"image.bin"});
}

TEST_F(FilesTest, AReadOnlyTargetIsRefusedNotReplacedThroughTheFolder) {
  write("locked.jed", "old");
  fs::permissions(path("locked.jed"), fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
  // Refused for every caller, the superuser too (whom permission bits do not bind).
  try {
    ReplaceFile(path("locked.jed"), "new");
    ADD_FAILURE() << "a read-only file was replaced";
  } catch (const FileError& e) {
    EXPECT_EQ(e.step(), FileError::Step::kCreate);
    EXPECT_EQ(e.reason(), std::make_error_code(std::errc::permission_denied)) << e.what();
  }
  EXPECT_EQ(read("locked.jed"), "old");
  EXPECT_EQ(files(), std::vector<std::string>{"locked.jed"});
}

TEST_F(FilesTest, AnUnwritableFolderIsRefused) {
  fs::create_directories(dir_ / "ro");
  write("ro/old.bin", "old");
  fs::permissions(dir_ / "ro", fs::perms::owner_read | fs::perms::owner_exec);
  if (::geteuid() == 0) {
    fs::permissions(dir_ / "ro", fs::perms::owner_all);
    GTEST_SKIP() << "running as root: folder permissions do not apply";
  }
  EXPECT_THROW(ReplaceFile(path("ro/old.bin"), "new"), FileError);
  fs::permissions(dir_ / "ro", fs::perms::owner_all);
  EXPECT_EQ(read("ro/old.bin"), "old");
  EXPECT_EQ(fs::directory_iterator(dir_ / "ro")->path().filename(), "old.bin");
}

TEST_F(FilesTest, TryReplaceFileTellsFailureAndLeavesTheOldFile) {
  write("image.bin", "old contents that are longer");
  ASSERT_TRUE(TryReplaceFile(path("image.bin"), std::string("new\0bytes", 9)));
  EXPECT_EQ(read("image.bin"), std::string("new\0bytes", 9));
  // The target is a folder; then a folder that does not exist.
  fs::create_directories(dir_ / "folder.bin" / "keep");
  EXPECT_FALSE(TryReplaceFile(path("folder.bin"), "data"));
  EXPECT_TRUE(fs::is_directory(dir_ / "folder.bin" / "keep"));
  EXPECT_FALSE(TryReplaceFile(path("missing/image.bin"), "data"));
  EXPECT_EQ(files(), (std::vector<std::string>{"folder.bin", "image.bin"}));
}

TEST_F(FilesTest, FileExistsMeansARegularFile) {
  write("f", "");
  fs::create_directories(dir_ / "d");
  EXPECT_TRUE(FileExists(path("f")));
  EXPECT_FALSE(FileExists(path("d")));
  EXPECT_FALSE(FileExists(path("missing")));
  EXPECT_FALSE(FileExists(""));
  RemoveFile(path("f"));
  RemoveFile(path("missing"));
  EXPECT_FALSE(FileExists(path("f")));
}

}  // namespace
}  // namespace zepa::util
