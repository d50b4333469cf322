// The engine over a remote_bitbang link: zepa-sim's server on a loopback port (an ephemeral one) plays the
// pins to a board, the engine programs, verifies, checks and uploads its parts as it does in-process, in
// a few round trips per row; a server that goes away mid-run fails the device with the reason, never hangs.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "chain/chain_names.h"
#include "engine/tests/traffic_rig.h"
#include "port/remote_bitbang_port.h"
#include "sim/remote_bitbang.h"

namespace zepa::engine {
namespace {

using testing::OpCase;
using testing::TrafficRig;

// The rig's board served on 127.0.0.1 (a free port) while the object lives; null when this system
// gives no sockets.
class Served {
 public:
  static std::unique_ptr<Served> Start(sim::Board& board) {
    try {
      return std::unique_ptr<Served>(new Served(board));
    } catch (const std::exception&) {
      return nullptr;
    }
  }
  ~Served() {
    stop_ = true;
    thread_.join();
  }
  std::string address() const { return "127.0.0.1:" + std::to_string(server_.port()); }

 private:
  explicit Served(sim::Board& board)
      : server_(board, 0), thread_([this] { server_.Serve(stop_, false, [] {}); }) {}
  sim::RemoteBitbangServer server_;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

// Puts `rig`'s engine on a link to its own board; the link is returned, the board served by `served`.
std::unique_ptr<port::RemoteBitbangPort> Link(TrafficRig& rig, const Served& served, int timeout_ms = 10000) {
  std::string note;
  auto link = std::make_unique<port::RemoteBitbangPort>(
      port::ParseRemoteAddress(served.address()), [&note](const std::string& n) { note = n; }, timeout_ms);
  EXPECT_TRUE(link->Active()) << note;
  rig.port.inner = link.get();
  // The cable tells its wiring to the port it stands on when a run selects the port.
  return link;
}

// Whole operations over the link leave the same lines, the same part contents and the same .bif files as
// in-process, and a row costs a handful of round trips.
TEST(RemoteLink, OperationsOverTcpAsInProcess) {
  TrafficRig local;
  TrafficRig remote;
  const std::unique_ptr<Served> served = Served::Start(*remote.board);
  if (!served) GTEST_SKIP() << "no loopback sockets on this system";
  const auto link = Link(remote, *served);

  std::vector<OpCase> ops(std::begin(testing::kOps), std::end(testing::kOps));
  ops.push_back({"zepa1_program_verify", 1, chain::kOpProgramVerify});
  ops.push_back({"zepa3_program_verify", 2, chain::kOpProgramVerify});
  ops.push_back({"zepa1_upload", 1, chain::kOpUpload});
  ops.push_back({"zepa3_security", 2, chain::kOpSecurityTest});
  for (const int options : {0, static_cast<int>(kOptBif)}) {
    for (const OpCase& op : ops) {
      SCOPED_TRACE(std::string(op.name) + (options ? ", recorded" : ""));
      local.RunOn(op.target, op.op, options);
      const long long before = link->round_trips();
      remote.RunOn(op.target, op.op, options);
      EXPECT_EQ(remote.Transcript(), local.Transcript());
      for (int n = 1; n <= 2; ++n) {
        EXPECT_TRUE(remote.Memory(n).rows == local.Memory(n).rows) << "part " << n;
        EXPECT_EQ(remote.Memory(n).secured, local.Memory(n).secured) << "part " << n;
      }
      if (options) {
        EXPECT_TRUE(remote.Read("chain.bif") == local.Read("chain.bif"));
      }
      if (op.op == chain::kOpProgramVerify && op.target == 1) {
        // 2 x 41 rows programmed, 2 x 41 read back, plus identification and erase.
        EXPECT_LE(link->round_trips() - before, 6 * 164) << "round trips";
      }
    }
  }
  EXPECT_GT(link->round_trips(), 0);
}

// A loopback relay in front of a served board: passes the host's commands and the answers on until the
// host has sent `keep` bytes, then closes both connections (`close`) or goes silent, still reading.
class BreakingRelay {
 public:
  BreakingRelay(std::uint16_t upstream, std::size_t keep, bool close) {
    listen_ = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address = Loopback(0);
    socklen_t length = sizeof address;
    ok_ = listen_ >= 0 && ::bind(listen_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
          ::listen(listen_, 1) == 0 &&
          ::getsockname(listen_, reinterpret_cast<sockaddr*>(&address), &length) == 0;
    port_ = ntohs(address.sin_port);
    if (ok_) thread_ = std::thread([this, upstream, keep, close] { Relay(upstream, keep, close); });
  }
  ~BreakingRelay() {
    done_ = true;
    if (listen_ >= 0) ::shutdown(listen_, SHUT_RDWR);
    if (thread_.joinable()) thread_.join();
    if (listen_ >= 0) ::close(listen_);
  }
  bool ok() const { return ok_; }
  std::string address() const { return "127.0.0.1:" + std::to_string(port_); }

 private:
  static sockaddr_in Loopback(std::uint16_t port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    return address;
  }
  void Relay(std::uint16_t upstream, std::size_t keep, bool close) {
    const int host = ::accept(listen_, nullptr, nullptr);
    if (host < 0) return;
    const int server = ::socket(AF_INET, SOCK_STREAM, 0);
    const sockaddr_in address = Loopback(upstream);
    if (::connect(server, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
      ::close(host);
      ::close(server);
      return;
    }
    std::size_t passed = 0;
    char buffer[4096];
    while (!done_) {
      pollfd p[2] = {{.fd = host, .events = POLLIN, .revents = 0},
                     {.fd = server, .events = POLLIN, .revents = 0}};
      if (::poll(p, 2, 100) <= 0) continue;
      if (p[0].revents != 0) {
        const ssize_t n = ::recv(host, buffer, sizeof buffer, 0);
        if (n <= 0) break;
        if (passed >= keep) {
          if (close) break;
          continue;  // silent: the commands are taken and never played
        }
        passed += static_cast<std::size_t>(n);
        ::send(server, buffer, static_cast<std::size_t>(n), MSG_NOSIGNAL);
      }
      if (p[1].revents != 0) {
        const ssize_t n = ::recv(server, buffer, sizeof buffer, 0);
        if (n <= 0) break;
        ::send(host, buffer, static_cast<std::size_t>(n), MSG_NOSIGNAL);
      }
    }
    ::close(host);
    ::close(server);
  }

  int listen_ = -1;
  bool ok_ = false;
  std::uint16_t port_ = 0;
  std::atomic<bool> done_{false};
  std::thread thread_;
};

TEST(RemoteLink, AServerThatGoesAwayFailsTheDeviceWithTheReason) {
  struct Case {
    const char* name;
    std::size_t keep;  // bytes of commands played before the server goes away
    bool close;
    const char* reason;
  };
  const Case cases[] = {
      {"closes at once", 0, true, "the server closed the connection"},
      {"closes mid-run", 60000, true, "the server closed the connection"},
      {"stops answering mid-run", 60000, false, "no answer from the server in 300 ms"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TrafficRig rig;
    const std::unique_ptr<Served> served = Served::Start(*rig.board);
    if (!served) GTEST_SKIP() << "no loopback sockets on this system";
    BreakingRelay relay(static_cast<std::uint16_t>(std::stoi(served->address().substr(10))), c.keep, c.close);
    ASSERT_TRUE(relay.ok());
    std::string note;
    port::RemoteBitbangPort link(
        port::ParseRemoteAddress(relay.address()), [&note](const std::string& n) { note = n; }, 300);
    ASSERT_TRUE(link.Active()) << note;
    rig.port.inner = &link;
    rig.RunOn(1, chain::kOpProgramVerify, 0);
    const std::string transcript = rig.Transcript();
    EXPECT_NE(transcript.find("remote_bitbang " + relay.address() + ": " + c.reason), std::string::npos)
        << transcript;
    EXPECT_NE(transcript.find("Operation aborted!"), std::string::npos) << transcript;
    if (c.keep > 0) {
      EXPECT_NE(transcript.find("Prog/Verifying Left side..."), std::string::npos)
          << "the run was under way\n"
          << transcript;
    }
    EXPECT_TRUE(std::find(rig.marks.marks.begin(), rig.marks.marks.end(), std::make_pair(1, false)) !=
                rig.marks.marks.end())
        << "device 1 failed";
    EXPECT_FALSE(link.Active()) << "the link is given up";
  }
}

// A loopback port nobody listens on: bound for a moment and given back.
int FreePort() {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  if (fd < 0) return -1;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  const bool ok = ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
                  ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0;
  ::close(fd);
  return ok ? ntohs(address.sin_port) : -1;
}

TEST(RemoteLink, AServerThatIsNotThereIsToldOnce) {
  const int free_port = FreePort();
  if (free_port < 0) GTEST_SKIP() << "no loopback sockets on this system";
  const std::string address = "127.0.0.1:" + std::to_string(free_port);
  std::vector<std::string> notes;
  port::RemoteBitbangPort link(port::ParseRemoteAddress(address),
                               [&notes](const std::string& n) { notes.push_back(n); });
  EXPECT_FALSE(link.Active());
  ASSERT_EQ(notes.size(), 1u);
  EXPECT_NE(notes[0].find("remote_bitbang " + address + ": cannot connect ("), std::string::npos) << notes[0];
  EXPECT_EQ(link.InactiveWarning(), "") << "the note has told why";
}

}  // namespace
}  // namespace zepa::engine
