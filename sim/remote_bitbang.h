// OpenOCD's remote_bitbang protocol over the board's JTAG lines, served on the loopback interface.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "sim/board.h"

namespace zepa::sim {

// The protocol itself, apart from sockets: one character in, at most one character out.
//   '0'..'7' TCK/TMS/TDI = bits 2/1/0;  'R' answers '0' or '1' (TDO);  'r'..'u' TRST/SRST = bits 1/0;
//   'B'/'b' blink (ignored);  'Q' the host is done.  Anything else, the newer sleep and SWD commands
//   included, is ignored.
class BitbangProtocol {
 public:
  explicit BitbangProtocol(Board& board) : board_(board) {}
  // Handles `input`, appending answers to `output`; false once 'Q' has been seen (the rest is dropped).
  bool Feed(std::string_view input, std::string& output);

 private:
  Board& board_;
};

class RemoteBitbangServer {
 public:
  // What one host's session holds at most of commands not yet played: 64 MiB, far more than a host that
  // writes ahead of its answers needs, and bounded for one that never reads them.
  static constexpr std::size_t kSessionLimit = 64u << 20;

  // Listens on 127.0.0.1:`port`; port 0 takes a free one (see port()). Throws when it cannot listen.
  // A session stops reading the host's commands while `session_limit` bytes of them wait to be played.
  RemoteBitbangServer(Board& board, std::uint16_t port, std::size_t session_limit = kSessionLimit);
  RemoteBitbangServer(const RemoteBitbangServer&) = delete;
  RemoteBitbangServer& operator=(const RemoteBitbangServer&) = delete;
  ~RemoteBitbangServer();

  std::uint16_t port() const { return port_; }

  // Serves one host after another until `stop` is set (checked at least every 100 ms, also while a host
  // that reads no answers holds the session up) or, with `once`, until the first host is done.
  // `session_done` runs after each host.
  void Serve(const std::atomic<bool>& stop, bool once, const std::function<void()>& session_done);

 private:
  // Plays one host's commands to the board until the host is done.
  void Session(int fd, const std::atomic<bool>& stop);

  static constexpr std::size_t kReadChunk = 256 * 1024;  // taken off the socket at once
  static constexpr std::size_t kPlaySlice = 64 * 1024;   // played to the board between sends of answers

  Board& board_;
  std::size_t session_limit_;
  int listen_fd_ = -1;
  std::uint16_t port_ = 0;
};

}  // namespace zepa::sim
