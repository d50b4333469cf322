// Starting a converter as a child process, and finding the working folder.
#include "engine/process.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <set>

#include "engine/workdir.h"
#include "testsupport/files.h"
#include "util/files.h"
#include "util/path.h"

namespace zepa::engine {
namespace {

TEST(SystemProcessLauncher, ArgumentsArriveUntouchedAndTheExitStatusComesBack) {
  SystemProcessLauncher launcher;
  // The child checks its own arguments: blanks, quotes and shell characters must arrive as they were.
  const std::string script =
      R"(test "$1" = 'a b;$HOME "q"' && test "$2" = '' && test "$ZEPA_T" = yes || exit 7; exit 3)";
  const ProcessResult result =
      launcher.Run("/bin/sh", {"-c", script, "sh", R"(a b;$HOME "q")", ""}, {"ZEPA_T=yes"});
  EXPECT_TRUE(result.started) << result.error;
  EXPECT_EQ(result.exit_status, 3);

  const ProcessResult missing = launcher.Run("/nonexistent/fusebuild", {"x.jcd", "1", "0"}, {});
  EXPECT_FALSE(missing.started);
  EXPECT_NE(missing.error.find("/nonexistent/fusebuild"), std::string::npos) << missing.error;

  const ProcessResult killed = launcher.Run("/bin/sh", {"-c", "kill -9 $$"}, {});
  EXPECT_TRUE(killed.started);
  EXPECT_EQ(killed.exit_status, -1) << "a child ended by a signal is no success";
}

TEST(SystemProcessLauncher, ProgramsAreFoundBesideTheProgrammer) {
  EXPECT_EQ(ProgramBeside("/opt/zepa/bin/", "fusebuild"), "/opt/zepa/bin/fusebuild");
  EXPECT_EQ(ProgramBeside("/opt/zepa/bin", "fusebuild"), "/opt/zepa/bin/fusebuild");
}

// A scripted system: environment variables, writable folders, folders that can be made.
struct FakeSystem {
  std::map<std::string, std::string> env;
  std::set<std::string> writable;
  std::set<std::string> makeable;
  std::vector<std::string> made;
  WorkDirProbe Probe() {
    return {.getenv = [this](const std::string& name) -> std::optional<std::string> {
              auto it = env.find(name);
              if (it == env.end()) return std::nullopt;
              return it->second;
            },
            .writable = [this](const std::string& folder) { return writable.count(folder) > 0; },
            .make_folder =
                [this](const std::string& folder) {
                  made.push_back(folder);
                  if (makeable.count(folder) == 0) return false;
                  writable.insert(folder);
                  return true;
                }};
  }
};

TEST(WorkDir, TheProgramsFolderWhenWritableElseAPerUserFolder) {
  struct Case {
    const char* what;
    FakeSystem system;
    const char* expected;  // nullptr: no folder at all
  };
  using Env = std::map<std::string, std::string>;
  using Folders = std::set<std::string>;
  auto system = [](Env env, Folders writable, Folders makeable) {
    FakeSystem s;
    s.env = std::move(env);
    s.writable = std::move(writable);
    s.makeable = std::move(makeable);
    return s;
  };
  std::vector<Case> cases;
  cases.push_back({"build tree", system({{"HOME", "/home/u"}}, {"/build/bin/"}, {}), "/build/bin/"});
  cases.push_back({"installed, XDG state folder",
                   system({{"HOME", "/home/u"}, {"XDG_STATE_HOME", "/st"}}, {}, {"/st/zepaisp"}),
                   "/st/zepaisp/"});
  cases.push_back({"installed, home folder",
                   system({{"HOME", "/home/u"}}, {}, {"/home/u/.local/state/zepaisp"}),
                   "/home/u/.local/state/zepaisp/"});
  cases.push_back(
      {"explicit folder wins", system({{"ZEPA_WORK_DIR", "/w"}}, {"/build/bin/"}, {"/w"}), "/w/"});
  cases.push_back({"explicit folder that cannot be made",
                   system({{"ZEPA_WORK_DIR", "/w"}}, {"/build/bin/"}, {}), nullptr});
  cases.push_back({"nowhere to go", system({}, {}, {}), nullptr});
  cases.push_back({"per-user folder cannot be made", system({{"HOME", "/home/u"}}, {}, {}), nullptr});
  for (Case& c : cases) {
    if (c.expected == nullptr) {
      EXPECT_THROW(FindWorkDir("/build/bin/", c.system.Probe()), std::runtime_error) << c.what;
    } else {
      EXPECT_EQ(FindWorkDir("/build/bin/", c.system.Probe()), c.expected) << c.what;
    }
  }
}

TEST(WorkDir, FilesAreReplacedWholeOrNotAtAll) {
  zepa::testing::TempDir dir;
  const std::string path = dir.File("dev__1.id");
  util::ReplaceFile(path, "old\n");
  util::ReplaceFile(path, "new\n");
  EXPECT_EQ(util::ReadFileOrThrow(path), "new\n");
  EXPECT_THROW(util::ReplaceFile(dir.File("no/such/folder/x"), "x"), std::runtime_error);
  for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
    EXPECT_EQ(entry.path().filename(), "dev__1.id") << "no temporary file is left";
  try {
    util::ReadFileOrThrow(dir.File("absent.bin"));
    FAIL() << "no error for a missing file";
  } catch (const std::runtime_error& e) {
    EXPECT_NE(std::string(e.what()).find("absent.bin"), std::string::npos) << "the message names the file";
  }
  util::RemoveFile(path);
  util::RemoveFile(path);  // already gone: nothing to do
  EXPECT_FALSE(util::FileExists(path));
  EXPECT_EQ(util::JoinPath("/w/", "x"), "/w/x");
  EXPECT_EQ(util::JoinPath("/w", "x"), "/w/x");
  EXPECT_EQ(util::JoinPath("", "x"), "x");
  EXPECT_EQ(ProgramFolder().back(), '/');
}

}  // namespace
}  // namespace zepa::engine
