#include "util/file_lock.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>

#include "testsupport/scratch_dir.h"
#include "util/files.h"

namespace zepa::util {
namespace {

namespace fs = std::filesystem;

class FileLockTest : public testing::ScratchDir {};

TEST_F(FileLockTest, OneHolderAtATimeUntilItGoes) {
  auto first = FileLock::TryAcquire(path("work.lock"));
  ASSERT_TRUE(first.has_value());
  EXPECT_EQ(first->path(), path("work.lock"));
  EXPECT_FALSE(FileLock::TryAcquire(path("work.lock")).has_value()) << "a second holder in one process";
  EXPECT_TRUE(FileLock::TryAcquire(path("other.lock")).has_value()) << "another lock file is another lock";

  // Moved, the lock stays held once (the moved-from object lets go of nothing).
  std::optional<FileLock> moved(std::move(*first));
  first.reset();
  EXPECT_FALSE(FileLock::TryAcquire(path("work.lock")).has_value());
  moved.reset();
  EXPECT_TRUE(FileLock::TryAcquire(path("work.lock")).has_value());
  EXPECT_TRUE(fs::exists(path("work.lock"))) << "the lock file stays";
}

// Another process holds the lock while it lives; killed, it leaves no lock behind.
TEST_F(FileLockTest, AnotherProcessHoldsItUntilItEnds) {
  int ready[2];
  ASSERT_EQ(::pipe(ready), 0);
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    auto lock = FileLock::TryAcquire(path("work.lock"));
    const char held = lock ? 'y' : 'n';
    (void)!::write(ready[1], &held, 1);
    ::pause();
    ::_exit(0);
  }
  char held = 0;
  ASSERT_EQ(::read(ready[0], &held, 1), 1);
  EXPECT_EQ(held, 'y');
  EXPECT_FALSE(FileLock::TryAcquire(path("work.lock")).has_value());
  ::kill(child, SIGKILL);
  ::waitpid(child, nullptr, 0);
  ::close(ready[0]);
  ::close(ready[1]);
  EXPECT_TRUE(FileLock::TryAcquire(path("work.lock")).has_value());
}

TEST_F(FileLockTest, ALockFileThatCannotBeMadeIsAnErrorWithTheReason) {
  try {
    FileLock::TryAcquire(path("missing/work.lock"));
    ADD_FAILURE() << "no error";
  } catch (const FileError& e) {
    EXPECT_EQ(e.step(), FileError::Step::kCreate);
    EXPECT_EQ(e.path(), path("missing/work.lock"));
    EXPECT_EQ(e.reason(), std::make_error_code(std::errc::no_such_file_or_directory));
  }
}

}  // namespace
}  // namespace zepa::util
