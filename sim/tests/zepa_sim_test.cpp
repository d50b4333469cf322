// The zepa-sim program: its refusals of bad input, and an independent check of the simulated TAPs, where
// OpenOCD auto-probes the board that zepa-sim serves and must report each device's IDCODE and instruction
// length as the board file gives them.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <regex>
#include <string>
#include <vector>

#include "sim/parts.h"
#include "sim/tests/temp_dir.h"

extern char** environ;

namespace zepa::sim {
namespace {

using testing::TempDir;

std::string FindProgram(const std::string& name) {
  const char* path = std::getenv("PATH");
  std::string dirs = path ? path : "/usr/bin:/bin";
  std::size_t start = 0;
  while (start <= dirs.size()) {
    std::size_t end = dirs.find(':', start);
    if (end == std::string::npos) end = dirs.size();
    const std::filesystem::path candidate = std::filesystem::path(dirs.substr(start, end - start)) / name;
    if (::access(candidate.c_str(), X_OK) == 0) return candidate.string();
    start = end + 1;
  }
  return "";
}

// A child process whose standard output and error come back through one pipe. The destructor kills a
// child that is still running, so a failing test never leaves one behind.
class Child {
 public:
  explicit Child(const std::vector<std::string>& args) {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) throw std::runtime_error("pipe");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 2);
    std::vector<char*> argv;
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    const int rc = ::posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(fds[1]);
    out_ = fds[0];
    if (rc != 0) {
      pid_ = -1;
      throw std::runtime_error("cannot start " + args[0]);
    }
  }
  ~Child() {
    if (pid_ > 0) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
    if (out_ >= 0) ::close(out_);
  }

  // Reads output until `done` says so or the output ends, for at most `limit`. Returns what was read.
  template <typename Done>
  std::string ReadUntil(Done done, std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!done(output_)) {
      const auto left =
          std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
      if (left.count() <= 0) break;
      pollfd p{.fd = out_, .events = POLLIN, .revents = 0};
      if (::poll(&p, 1, static_cast<int>(left.count())) <= 0) continue;
      char buffer[4096];
      const ssize_t n = ::read(out_, buffer, sizeof buffer);
      if (n <= 0) {
        eof_ = true;
        break;
      }
      output_.append(buffer, static_cast<std::size_t>(n));
    }
    return output_;
  }
  std::string ReadToEnd(std::chrono::milliseconds limit) {
    return ReadUntil([this](const std::string&) { return eof_; }, limit);
  }
  // The exit status once the output has ended; -1 if the child had to be killed.
  int Wait() {
    if (!eof_) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
      pid_ = -1;
      return -1;
    }
    int status = 0;
    ::waitpid(pid_, &status, 0);
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  void Signal(int sig) { ::kill(pid_, sig); }

 private:
  pid_t pid_ = -1;
  int out_ = -1;
  std::string output_;
  bool eof_ = false;
};

TEST(OpenOcd, AutoProbeFindsTheBoardFilesIdcodesAndInstructionLengths) {
  const std::string openocd = FindProgram("openocd");
  if (openocd.empty()) GTEST_SKIP() << "openocd is not installed (scripts/setup.sh installs it)";

  TempDir dir;
  const std::string board = dir.Write("board.txt",
                                      "port 378\n"
                                      "cable relay\n"
                                      "device VTL3064A\n"
                                      "device VTL3256XL secured\n"
                                      "device Others irlen=7 idcode=0x1234567F\n"
                                      "device VTL3960\n");
  // Nearest TDO first: that is the order in which OpenOCD numbers auto-probed taps.
  auto hex = [](std::uint32_t v) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08x", static_cast<unsigned>(v));
    return std::string(text);
  };
  const std::vector<std::pair<int, std::string>> expected = {{5, hex(DefaultIdcode(*FindPart("VTL3960")))},
                                                             {7, "0x1234567f"},
                                                             {5, hex(DefaultIdcode(*FindPart("VTL3256XL")))},
                                                             {4, hex(DefaultIdcode(*FindPart("VTL3064A")))}};

  Child sim({std::string(ZEPA_BIN_DIR) + "/zepa-sim", "--board", board, "--remote-bitbang", "0"});
  const std::regex serving("127\\.0\\.0\\.1:(\\d+)");
  std::smatch m;
  const std::string banner = sim.ReadUntil(
      [&](const std::string& out) { return std::regex_search(out, m, serving); }, std::chrono::seconds(20));
  ASSERT_TRUE(std::regex_search(banner, m, serving)) << banner;
  const std::string port = m[1];

  Child host({openocd, "-c", "adapter driver remote_bitbang", "-c", "remote_bitbang host 127.0.0.1", "-c",
              "remote_bitbang port " + port, "-c", "transport select jtag", "-c", "init", "-c", "shutdown"});
  const std::string log = host.ReadToEnd(std::chrono::seconds(60));
  EXPECT_EQ(host.Wait(), 0) << log;

  std::map<int, std::pair<int, std::string>> found;
  const std::regex tap("jtag newtap auto(\\d+) tap -irlen (\\d+) -expected-id (0x[0-9a-f]+)");
  for (std::sregex_iterator it(log.begin(), log.end(), tap), end; it != end; ++it)
    found[std::stoi((*it)[1])] = {std::stoi((*it)[2]), (*it)[3]};
  ASSERT_EQ(found.size(), expected.size()) << log;
  for (std::size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(found[static_cast<int>(i)].first, expected[i].first) << "irlen of auto" << i;
    EXPECT_EQ(found[static_cast<int>(i)].second, expected[i].second) << "IDCODE of auto" << i;
  }

  sim.Signal(SIGTERM);
  const std::string sim_log = sim.ReadToEnd(std::chrono::seconds(20));
  EXPECT_EQ(sim.Wait(), 0) << sim_log;
  EXPECT_TRUE(std::filesystem::exists(board + ".state")) << "the board saves its state when stopped";
}

TEST(ZepaSim, RefusesBadArgumentsAndBoardFilesWithAMessage) {
  TempDir dir;
  const std::string good = dir.Write("good.txt", "device VTL3064A\n");
  const std::string bad = dir.Write("bad.txt", "device VTL3064A\ndevice VTL3256XL sekured\n");
  struct Case {
    std::vector<std::string> args;
    int status;
    std::string message;
  };
  const std::vector<Case> cases = {
      {{"--board", good}, 2, "--remote-bitbang PORT is required"},
      {{"--remote-bitbang", "0"}, 2, "--board FILE is required"},
      {{"--board", good, "--remote-bitbang", "65536"}, 2, "port '65536' is not a number 0..65535"},
      {{"--board", good, "--remote-bitbang"}, 2, "--remote-bitbang needs a value"},
      {{"--board", good, "--remote-bitbang", "0", "--fast"}, 2, "unknown argument '--fast'"},
      {{"--board", bad, "--remote-bitbang", "0"}, 1, bad + ":2: unknown device word 'sekured'"},
      {{"--board", dir.File("none.txt"), "--remote-bitbang", "0"},
       1,
       dir.File("none.txt") + ": cannot open the board file"},
  };
  for (const Case& c : cases) {
    std::vector<std::string> args = {std::string(ZEPA_BIN_DIR) + "/zepa-sim"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    Child sim(args);
    const std::string out = sim.ReadToEnd(std::chrono::seconds(20));
    EXPECT_EQ(sim.Wait(), c.status) << out;
    EXPECT_NE(out.find("zepa-sim: " + c.message), std::string::npos) << out;
  }
}

}  // namespace
}  // namespace zepa::sim
