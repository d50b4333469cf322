// Test support for the remote_bitbang server: a host on 127.0.0.1 that sends read commands and never reads
// the answers, as a broken or stalled client does.
#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <stdexcept>
#include <string>

namespace zepa::sim::testing {

class SilentHost {
 public:
  explicit SilentHost(std::uint16_t port) : fd_(::socket(AF_INET, SOCK_STREAM, 0)) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    if (fd_ < 0 || ::connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
      throw std::runtime_error("cannot connect to 127.0.0.1:" + std::to_string(port));
  }
  SilentHost(const SilentHost&) = delete;
  SilentHost& operator=(const SilentHost&) = delete;
  ~SilentHost() { Close(); }

  // Sends 'R' commands without reading until the server takes nothing for `quiet` or `cap` bytes have
  // gone; returns how many bytes went.
  std::size_t SendUntilHeld(std::size_t cap, std::chrono::milliseconds quiet) {
    const std::string chunk(64 * 1024, 'R');
    std::size_t sent = 0;
    auto last = std::chrono::steady_clock::now();
    while (sent < cap && std::chrono::steady_clock::now() - last < quiet) {
      const ssize_t n = ::send(fd_, chunk.data(), chunk.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
      if (n > 0) {
        sent += static_cast<std::size_t>(n);
        last = std::chrono::steady_clock::now();
      } else if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
        break;
      } else {
        pollfd p{.fd = fd_, .events = POLLOUT, .revents = 0};
        ::poll(&p, 1, 10);
      }
    }
    return sent;
  }
  // Goes away without having read a single answer.
  void Close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
  }

 private:
  int fd_;
};

}  // namespace zepa::sim::testing
