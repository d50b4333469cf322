// The remote_bitbang client on the wire: which characters the cable's register writes become, how the
// answers come back as status bytes for each cable's TDO polarity and loop-back, and what a bad answer does.
#include "port/remote_bitbang_port.h"

#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace zepa::port {
namespace {

// A loopback server that keeps every character it gets and answers each 'R' with the next character of
// `answers`.
class ScriptedServer {
 public:
  explicit ScriptedServer(std::string answers) : answers_(std::move(answers)) {
    listen_ = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ok_ = listen_ >= 0 && ::bind(listen_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
          ::listen(listen_, 1) == 0 &&
          ::getsockname(listen_, reinterpret_cast<sockaddr*>(&address), &length) == 0;
    port_ = ntohs(address.sin_port);
    if (ok_) thread_ = std::thread([this] { Serve(); });
  }
  ~ScriptedServer() {
    if (listen_ >= 0) ::shutdown(listen_, SHUT_RDWR);
    if (thread_.joinable()) thread_.join();
    if (listen_ >= 0) ::close(listen_);
  }
  bool ok() const { return ok_; }
  RemoteAddress address() const { return {"127.0.0.1", std::to_string(port_)}; }
  // Everything received, once the client has closed.
  std::string Received() {
    if (thread_.joinable()) thread_.join();
    return received_;
  }

 private:
  void Serve() {
    const int fd = ::accept(listen_, nullptr, nullptr);
    if (fd < 0) return;
    char buffer[4096];
    std::size_t next = 0;
    for (;;) {
      const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
      if (n <= 0) break;
      std::string reply;
      for (ssize_t i = 0; i < n; ++i) {
        received_ += buffer[i];
        if (buffer[i] == 'R') reply += next < answers_.size() ? answers_[next++] : '0';
      }
      if (!reply.empty()) ::send(fd, reply.data(), reply.size(), MSG_NOSIGNAL);
    }
    ::close(fd);
  }

  std::string answers_;
  int listen_ = -1;
  bool ok_ = false;
  std::uint16_t port_ = 0;
  std::thread thread_;
  std::string received_;
};

constexpr CableWiring kRelay{.data_port = 0x378,
                             .tck = 0x01,
                             .tms = 0x04,
                             .tdi = 0x02,
                             .tdo = 0x80,
                             .tdo_reads_low = true,
                             .loop_drive = 0,
                             .loop_sense = 0};
constexpr CableWiring kCorvane{.data_port = 0x278,
                               .tck = 0x02,
                               .tms = 0x04,
                               .tdi = 0x01,
                               .tdo = 0x10,
                               .tdo_reads_low = false,
                               .loop_drive = 0x40,
                               .loop_sense = 0x20};

TEST(RemoteBitbangPort, RegisterWritesBecomePinCharactersAndReadsStatusBytes) {
  struct Case {
    const char* name;
    CableWiring wiring;
    std::vector<std::uint8_t> writes;  // to the data register
    std::string answers;               // to the reads that follow the writes
    std::string sent;                  // what the server gets (before the closing 'Q')
    std::vector<std::uint8_t> status;
  };
  const Case cases[] = {
      {"relay: TMS, TCK, TDI; the auxiliary lines alone send nothing; TDO reads low",
       kRelay,
       {0x04, 0x05, 0x07, 0x0F, 0x02},
       "10",
       "2671RR",
       {0x00, 0x80}},
      {"corvane: its own bits, TDO reads high, the loop-back answers its drive",
       kCorvane,
       {0x02, 0x03, 0x05, 0x40},
       "10",
       "4530RR",
       {0x30, 0x20}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ScriptedServer server(c.answers);
    if (!server.ok()) GTEST_SKIP() << "no loopback sockets on this system";
    {
      RemoteBitbangPort link(server.address(), nullptr);
      ASSERT_TRUE(link.Active());
      link.WritePortByte(c.wiring.data_port, 0x01);  // before the wiring is known: kept, not sent
      link.UseWiring(c.wiring);
      for (std::uint8_t w : c.writes) link.WritePortByte(c.wiring.data_port, w);
      for (std::size_t i = 0; i < c.status.size(); ++i)
        link.RequestRead(static_cast<std::uint16_t>(c.wiring.data_port + 1));
      EXPECT_EQ(link.CollectReads(), c.status);
      EXPECT_EQ(link.round_trips(), 1) << "the reads go out together";
      EXPECT_EQ(link.ReadPortByte(c.wiring.data_port), c.writes.back()) << "the data register reads back";
    }
    EXPECT_EQ(server.Received(), c.sent + "Q");
  }
}

TEST(RemoteBitbangPort, AFlushWaitsUntilTheServerHasPlayedThePins) {
  ScriptedServer server("1");
  if (!server.ok()) GTEST_SKIP() << "no loopback sockets on this system";
  {
    RemoteBitbangPort link(server.address(), nullptr);
    link.UseWiring(kRelay);
    link.WritePortByte(0x378, 0x01);
    link.Flush();
    EXPECT_EQ(link.round_trips(), 1);
    link.Flush();
    EXPECT_EQ(link.round_trips(), 1) << "nothing new: no round trip";
    EXPECT_TRUE(link.CollectReads().empty()) << "the flush's own read is not a requested one";
  }
  EXPECT_EQ(server.Received(), "4RQ");
}

TEST(RemoteBitbangPort, AnAnswerThatIsNoBitEndsTheLink) {
  ScriptedServer server("x");
  if (!server.ok()) GTEST_SKIP() << "no loopback sockets on this system";
  RemoteBitbangPort link(server.address(), nullptr);
  link.UseWiring(kRelay);
  try {
    link.ReadPortByte(0x379);
    FAIL() << "accepted";
  } catch (const std::runtime_error& e) {
    EXPECT_NE(std::string(e.what()).find("answered 'x' to a read"), std::string::npos) << e.what();
  }
  EXPECT_FALSE(link.Active());
  EXPECT_THROW(link.WritePortByte(0x378, 0x01), std::runtime_error) << "the reason stays";
  EXPECT_NE(link.InactiveWarning().find("answered 'x'"), std::string::npos);
}

}  // namespace
}  // namespace zepa::port
