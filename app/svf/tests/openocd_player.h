// Plays an SVF file with OpenOCD against a simulated board served over remote_bitbang on an ephemeral
// loopback port. The board is the referee: after the play its devices hold what the file did to them.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "sim/remote_bitbang.h"

extern char** environ;

namespace zepa::svf::testing {

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

struct PlayResult {
  int status = -1;  // OpenOCD's exit status; -1 when it had to be killed
  std::string log;
  bool tdo_error() const { return log.find("tdo check error") != std::string::npos; }
  bool passed() const { return status == 0 && !tdo_error(); }
};

// Runs `args` with standard output and error gathered, for at most `limit`; the child is killed after it.
inline PlayResult RunBounded(const std::vector<std::string>& args, std::chrono::seconds limit) {
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC) != 0) throw std::runtime_error("pipe");
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
  posix_spawn_file_actions_adddup2(&actions, fds[1], 2);
  std::vector<char*> argv;
  for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  pid_t pid = -1;
  const int rc = ::posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  ::close(fds[1]);
  PlayResult result;
  if (rc != 0) {
    ::close(fds[0]);
    throw std::runtime_error("cannot start " + args[0]);
  }
  const auto deadline = std::chrono::steady_clock::now() + limit;
  bool eof = false;
  while (!eof) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) break;
    pollfd p{.fd = fds[0], .events = POLLIN, .revents = 0};
    if (::poll(&p, 1, static_cast<int>(left.count())) <= 0) continue;
    char buffer[4096];
    const ssize_t n = ::read(fds[0], buffer, sizeof buffer);
    if (n <= 0) {
      eof = true;
    } else {
      result.log.append(buffer, static_cast<std::size_t>(n));
    }
  }
  ::close(fds[0]);
  if (!eof) ::kill(pid, SIGKILL);
  int status = 0;
  ::waitpid(pid, &status, 0);
  result.status = eof && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

// Serves `board` for one OpenOCD session that plays `svf_file` (without -tap, so the file's own header
// and trailer statements step over the other devices).
inline PlayResult PlaySvf(const std::string& openocd, sim::Board& board, const std::string& svf_file) {
  sim::RemoteBitbangServer server(board, 0);
  std::atomic<bool> stop{false};
  std::mutex mutex;
  std::condition_variable served;
  bool done = false;
  std::thread serving([&] {
    server.Serve(stop, true, [] {});
    std::lock_guard<std::mutex> lock(mutex);
    done = true;
    served.notify_all();
  });
  // The server must take in everything OpenOCD sent before the board is looked at: it ends by itself when
  // the host has gone; it is stopped only when no host came or the host hangs.
  auto finish = [&] {
    {
      std::unique_lock<std::mutex> lock(mutex);
      served.wait_for(lock, std::chrono::seconds(30), [&] { return done; });
    }
    stop = true;
    serving.join();
  };
  PlayResult result;
  try {
    result = RunBounded(
        {openocd, "-c", "adapter driver remote_bitbang", "-c", "remote_bitbang host 127.0.0.1", "-c",
         "remote_bitbang port " + std::to_string(server.port()), "-c", "transport select jtag", "-c", "init",
         "-c", "svf " + svf_file + " quiet", "-c", "shutdown"},
        std::chrono::seconds(120));
  } catch (...) {
    stop = true;
    serving.join();
    throw;
  }
  finish();
  return result;
}

}  // namespace zepa::svf::testing
