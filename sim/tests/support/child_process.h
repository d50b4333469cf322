// Test support for the tests that start programs: a child process whose output comes back through a pipe,
// finding a program on PATH, and OpenOCD playing an SVF file against a board that the zepa-sim program
// serves over remote_bitbang on an ephemeral loopback port.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <regex>
#include <stdexcept>
#include <string>
#include <vector>

extern char** environ;

namespace zepa::sim::testing {

// The full path of `name` in one of PATH's folders; empty when it is in none of them.
inline std::string FindProgram(const std::string& name) {
  const char* path = std::getenv("PATH");
  const std::string dirs = path ? path : "/usr/bin:/bin";
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
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;
  ~Child() {
    if (pid_ > 0) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
    if (out_ >= 0) ::close(out_);
  }

  // Reads output until `done` says so or the output ends, for at most `limit`. Returns all read so far.
  template <typename Done>
  std::string ReadUntil(Done done, std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!eof_ && !done(output_)) {
      const auto left =
          std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
      if (left.count() <= 0) break;
      pollfd p{.fd = out_, .events = POLLIN, .revents = 0};
      if (::poll(&p, 1, static_cast<int>(left.count())) <= 0) continue;
      char buffer[4096];
      const ssize_t n = ::read(out_, buffer, sizeof buffer);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) {
        eof_ = true;
        break;
      }
      output_.append(buffer, static_cast<std::size_t>(n));
    }
    return output_;
  }
  std::string ReadToEnd(std::chrono::milliseconds limit) {
    return ReadUntil([](const std::string&) { return false; }, limit);
  }
  // The exit status once the output has ended; -1 if the child had to be killed or died by a signal.
  int Wait() {
    if (pid_ <= 0) return -1;
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
  void Signal(int sig) {
    if (pid_ > 0) ::kill(pid_, sig);
  }

 private:
  pid_t pid_ = -1;
  int out_ = -1;
  std::string output_;
  bool eof_ = false;
};

#ifdef ZEPA_BIN_DIR
// The zepa-sim program of this build.
inline std::string ZepaSimProgram() {
  return std::string(ZEPA_BIN_DIR) + "/zepa-sim";
}
#endif

// zepa-sim serving `board_file` on an ephemeral loopback port. With `once` it ends (saving the board's
// state beside the board file) when the first host is done.
class ZepaSim {
 public:
  ZepaSim(const std::string& program, const std::string& board_file, bool once)
      : child_(Args(program, board_file, once)) {
    const std::regex serving("serving remote_bitbang on 127\\.0\\.0\\.1:(\\d+)");
    std::smatch m;
    banner_ = child_.ReadUntil([&](const std::string& out) { return std::regex_search(out, m, serving); },
                               std::chrono::seconds(20));
    if (!std::regex_search(banner_, m, serving))
      throw std::runtime_error("zepa-sim did not serve: " + banner_);
    port_ = m[1];
  }
  const std::string& port() const { return port_; }
  Child& child() { return child_; }

 private:
  static std::vector<std::string> Args(const std::string& program, const std::string& board_file, bool once) {
    std::vector<std::string> args = {program, "--board", board_file, "--remote-bitbang", "0"};
    if (once) args.push_back("--once");
    return args;
  }

  Child child_;
  std::string banner_;
  std::string port_;
};

// OpenOCD's command line for a remote_bitbang host on 127.0.0.1:`port`, then `commands` after init.
inline std::vector<std::string> OpenOcdArgs(const std::string& openocd, const std::string& port,
                                            const std::vector<std::string>& commands) {
  std::vector<std::string> args = {openocd,
                                   "-c",
                                   "adapter driver remote_bitbang",
                                   "-c",
                                   "remote_bitbang host 127.0.0.1",
                                   "-c",
                                   "remote_bitbang port " + port,
                                   "-c",
                                   "transport select jtag",
                                   "-c",
                                   "init"};
  for (const std::string& c : commands) {
    args.push_back("-c");
    args.push_back(c);
  }
  args.push_back("-c");
  args.push_back("shutdown");
  return args;
}

struct PlayResult {
  int status = -1;      // OpenOCD's exit status; -1 when it had to be killed
  std::string log;      // OpenOCD's output
  int sim_status = -1;  // zepa-sim's exit status after the host was done; -1 when it had to be killed
  std::string sim_log;
  bool tdo_error() const { return log.find("tdo check error") != std::string::npos; }
  bool passed() const { return status == 0 && !tdo_error(); }
};

// Starts `zepa_sim` on `board_file` for one host and has OpenOCD play `svf_file` (without -tap, so the file's
// own header and trailer statements step over the other devices). When this returns, zepa-sim has ended
// and saved what the devices hold in the board's state file.
inline PlayResult PlaySvf(const std::string& openocd, const std::string& zepa_sim,
                          const std::string& board_file, const std::string& svf_file,
                          std::chrono::seconds limit = std::chrono::seconds(120)) {
  ZepaSim sim(zepa_sim, board_file, true);
  PlayResult result;
  Child host(OpenOcdArgs(openocd, sim.port(), {"svf " + svf_file + " quiet"}));
  result.log = host.ReadToEnd(limit);
  result.status = host.Wait();
  result.sim_log = sim.child().ReadToEnd(std::chrono::seconds(30));
  result.sim_status = sim.child().Wait();
  return result;
}

}  // namespace zepa::sim::testing
