// OpenOCD playing an SVF file against a board served in this process (for the benchmark, which times the
// play without a second program). The tests start the zepa-sim program instead (sim/tests/support).
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

#include "sim/remote_bitbang.h"
#include "sim/tests/support/child_process.h"

namespace zepa::svf::testing {

using sim::testing::FindProgram;
using sim::testing::PlayResult;

// Serves `board` for one OpenOCD session that plays `svf_file` without -tap.
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
  PlayResult result;
  {
    sim::testing::Child host(
        sim::testing::OpenOcdArgs(openocd, std::to_string(server.port()), {"svf " + svf_file + " quiet"}));
    result.log = host.ReadToEnd(std::chrono::seconds(120));
    result.status = host.Wait();
  }
  // The server takes in everything the host sent and ends by itself once the host has gone; it is stopped
  // only when no host came or the host hangs.
  {
    std::unique_lock<std::mutex> lock(mutex);
    served.wait_for(lock, std::chrono::seconds(30), [&] { return done; });
  }
  stop = true;
  serving.join();
  result.sim_status = 0;
  return result;
}

}  // namespace zepa::svf::testing
