#include "sim/remote_bitbang.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "sim/tests/jtag_driver.h"
#include "sim/tests/support/silent_host.h"

namespace zepa::sim {
namespace {

using testing::SpecOf;

// A clock as OpenOCD writes it: TCK low with TMS/TDI, then TCK high.
std::string Clock(bool tms, bool tdi) {
  const int low = (tms ? 2 : 0) | (tdi ? 1 : 0);
  return std::string(1, static_cast<char>('0' + low)) + static_cast<char>('0' + (low | 4));
}

// Reset, Shift-DR, then 32 reads each followed by a clock: the last device's IDCODE, bit 0 first.
std::string ReadIdcodeCommands() {
  std::string s;
  for (int i = 0; i < 5; ++i) s += Clock(true, false);
  for (bool tms : {false, true, false, false}) s += Clock(tms, false);
  for (int i = 0; i < 32; ++i) s += "0R" + Clock(false, false);
  return s + "0";
}

std::uint32_t Decode(const std::string& answers) {
  std::uint32_t value = 0;
  for (std::size_t i = 0; i < answers.size() && i < 32; ++i)
    value |= static_cast<std::uint32_t>(answers[i] == '1') << i;
  return value;
}

TEST(BitbangProtocol, AnswersReadsInOrderAndIgnoresWhatItDoesNotKnow) {
  Board board(SpecOf("device VTL3064A\ndevice Others irlen=7 idcode=0x1234567F\n"));
  BitbangProtocol protocol(board);
  std::string answers;
  // Blink, sleeps and SWD commands sprinkled in change nothing.
  std::string commands = "BbZzOocdefg" + ReadIdcodeCommands();
  EXPECT_TRUE(protocol.Feed(commands, answers));
  ASSERT_EQ(answers.size(), 32u);
  EXPECT_EQ(Decode(answers), 0x1234567Fu);

  answers.clear();
  EXPECT_FALSE(protocol.Feed("R Q R", answers)) << "Q ends the session";
  EXPECT_EQ(answers.size(), 1u) << "nothing after Q is handled";
}

TEST(BitbangProtocol, TrstCharactersResetTheChain) {
  Board board(SpecOf("device VTL3064A\n"));
  BitbangProtocol protocol(board);
  std::string answers;
  protocol.Feed("0" + Clock(false, false) + Clock(true, false), answers);  // Select-DR-Scan
  ASSERT_EQ(board.device(1).state(), TapState::kSelectDrScan);
  protocol.Feed("s", answers);  // SRST only
  EXPECT_EQ(board.device(1).state(), TapState::kSelectDrScan);
  protocol.Feed("t", answers);  // TRST
  EXPECT_EQ(board.device(1).state(), TapState::kTestLogicReset);
  protocol.Feed("r", answers);
  EXPECT_TRUE(answers.empty());
}

TEST(RemoteBitbangServer, ServesAHostOnAnEphemeralLoopbackPort) {
  Board board(SpecOf("device VTL3256XL\n"));
  RemoteBitbangServer server(board, 0);
  ASSERT_NE(server.port(), 0);
  std::atomic<bool> stop{false};
  int sessions = 0;
  std::thread serving([&] { server.Serve(stop, true, [&] { ++sessions; }); });

  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(server.port());
  ASSERT_EQ(::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  const std::string commands = ReadIdcodeCommands() + "Q";
  ASSERT_EQ(::send(fd, commands.data(), commands.size(), 0), static_cast<ssize_t>(commands.size()));
  std::string answers;
  char buffer[64];
  while (answers.size() < 32) {
    const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
    if (n <= 0) break;
    answers.append(buffer, static_cast<std::size_t>(n));
  }
  ::close(fd);
  serving.join();  // --once: the server ends after this host
  EXPECT_EQ(Decode(answers), DefaultIdcode(*FindPart("VTL3256XL")));
  EXPECT_EQ(sessions, 1);
}

// A host that writes everything before it reads a single answer. A server that stops taking in commands
// while its own answers wait to be read leaves both sides blocked in a write; it must keep reading (OpenOCD
// does not wait at all: it gives up when the socket takes no more).
TEST(RemoteBitbangServer, KeepsTakingInCommandsWhileItsAnswersWaitToBeRead) {
  Board board(SpecOf("device VTL3064A\n"));
  RemoteBitbangServer server(board, 0);
  std::atomic<bool> stop{false};
  std::thread serving([&] { server.Serve(stop, true, nullptr); });

  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  timeval guard{.tv_sec = 20, .tv_usec = 0};  // a blocked server fails the test instead of hanging it
  ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &guard, sizeof guard);
  ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &guard, sizeof guard);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(server.port());
  ASSERT_EQ(::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  // Far more answers than the socket buffers of both ends hold, then a clock into Run-Test/Idle.
  constexpr std::size_t kReads = 24u << 20;
  const std::string commands = std::string(kReads, 'R') + Clock(false, false) + "0R";
  std::size_t sent = 0;
  while (sent < commands.size()) {
    const ssize_t n = ::send(fd, commands.data() + sent, commands.size() - sent, MSG_NOSIGNAL);
    if (n <= 0) break;
    sent += static_cast<std::size_t>(n);
  }
  EXPECT_EQ(sent, commands.size()) << "the server stopped reading";
  std::string answers;
  std::vector<char> buffer(1 << 16);
  while (answers.size() < kReads + 1) {
    const ssize_t n = ::recv(fd, buffer.data(), buffer.size(), 0);
    if (n <= 0) break;
    answers.append(buffer.data(), static_cast<std::size_t>(n));
  }
  ::close(fd);
  serving.join();
  ASSERT_EQ(answers.size(), kReads + 1);
  EXPECT_EQ(answers.find_first_not_of("01"), std::string::npos);
  EXPECT_EQ(board.device(1).state(), TapState::kRunTestIdle) << "every command reached the board";
}

// The IDCODE of the last device as a fresh host reads it from the server on `port`.
std::uint32_t IdcodeFromServer(std::uint16_t port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  timeval guard{.tv_sec = 20, .tv_usec = 0};
  ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &guard, sizeof guard);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(port);
  std::string answers;
  if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
    const std::string commands = ReadIdcodeCommands() + "Q";
    ::send(fd, commands.data(), commands.size(), MSG_NOSIGNAL);
    char buffer[64];
    while (answers.size() < 32) {
      const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
      if (n <= 0) break;
      answers.append(buffer, static_cast<std::size_t>(n));
    }
  }
  ::close(fd);
  return answers.size() == 32 ? Decode(answers) : 0;
}

// A host that sends commands and never reads the answers: the server stops taking them in at its session
// limit (the host's sends then block, and the server's memory stays bounded), and once that host has gone
// the next one is served.
TEST(RemoteBitbangServer, AHostThatReadsNoAnswersIsHeldAtTheSessionLimit) {
  Board board(SpecOf("device VTL3064A\n"));
  constexpr std::size_t kLimit = 1u << 20;
  RemoteBitbangServer server(board, 0, kLimit);
  std::atomic<bool> stop{false};
  std::atomic<int> sessions{0};
  std::thread serving([&] { server.Serve(stop, false, [&] { ++sessions; }); });

  {
    testing::SilentHost silent(server.port());
    // Socket buffers on both ends hold some megabytes beyond the limit; an unbounded server takes it all.
    const std::size_t sent = silent.SendUntilHeld(256u << 20, std::chrono::milliseconds(500));
    EXPECT_LT(sent, 48u << 20) << "the server kept reading commands it could not play";
  }
  EXPECT_EQ(IdcodeFromServer(server.port()), DefaultIdcode(*FindPart("VTL3064A")));
  stop = true;
  serving.join();
  EXPECT_EQ(sessions, 2);
}

// Stopping the server while a host holds a session up by reading nothing ends it within a second.
TEST(RemoteBitbangServer, StopsWithinASecondWhileAHostReadsNoAnswers) {
  Board board(SpecOf("device VTL3064A\n"));
  RemoteBitbangServer server(board, 0);
  std::atomic<bool> stop{false};
  std::atomic<bool> returned{false};
  std::thread serving([&] {
    server.Serve(stop, false, nullptr);
    returned = true;
  });
  testing::SilentHost silent(server.port());
  silent.SendUntilHeld(256u << 20, std::chrono::milliseconds(300));

  stop = true;
  const auto asked = std::chrono::steady_clock::now();
  while (!returned && std::chrono::steady_clock::now() - asked < std::chrono::seconds(3)) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  const auto took = std::chrono::steady_clock::now() - asked;
  EXPECT_TRUE(returned) << "the server did not stop while the host held it";
  EXPECT_LT(took, std::chrono::seconds(1));
  silent.Close();  // lets a server that missed the stop go, so the test ends
  serving.join();
}

TEST(RemoteBitbangServer, StopsWithinItsPollTimeWhenAskedWhileWaitingForAHost) {
  Board board(SpecOf("device VTL3256XL\n"));
  RemoteBitbangServer server(board, 0);
  std::atomic<bool> stop{false};
  std::atomic<bool> returned{false};
  std::thread serving([&] {
    server.Serve(stop, false, nullptr);
    returned = true;
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(150));
  EXPECT_FALSE(returned) << "the server must wait for a host until it is told to stop";
  stop = true;
  const auto asked = std::chrono::steady_clock::now();
  while (!returned && std::chrono::steady_clock::now() - asked < std::chrono::seconds(5)) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  EXPECT_TRUE(returned) << "the server did not notice the stop request";
  serving.join();
}

}  // namespace
}  // namespace zepa::sim
