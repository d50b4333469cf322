#include "sim/remote_bitbang.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <vector>

namespace zepa::sim {

bool BitbangProtocol::Feed(std::string_view input, std::string& output) {
  for (char c : input) {
    if (c >= '0' && c <= '7') {
      const int v = c - '0';
      board_.DriveJtag((v & 4) != 0, (v & 2) != 0, (v & 1) != 0);
    } else if (c == 'R') {
      output += board_.JtagTdo() ? '1' : '0';
    } else if (c >= 'r' && c <= 'u') {
      board_.SetTrst(((c - 'r') & 2) != 0);
    } else if (c == 'Q') {
      return false;
    }
  }
  return true;
}

namespace {

[[noreturn]] void SystemError(const std::string& what) {
  throw std::runtime_error(what + ": " + std::strerror(errno));
}

// Sends everything unless the connection breaks or `stop` is set: a host that reads nothing never holds
// the server past a stop request.
bool SendAll(int fd, const std::string& data, const std::atomic<bool>& stop) {
  std::size_t sent = 0;
  while (sent < data.size()) {
    if (stop.load()) return false;
    const ssize_t n = ::send(fd, data.data() + sent, data.size() - sent, MSG_NOSIGNAL | MSG_DONTWAIT);
    if (n < 0) {
      if (errno == EINTR) continue;
      if (errno != EAGAIN && errno != EWOULDBLOCK) return false;
      pollfd p{.fd = fd, .events = POLLOUT, .revents = 0};
      if (::poll(&p, 1, 100) < 0 && errno != EINTR) return false;
      continue;
    }
    sent += static_cast<std::size_t>(n);
  }
  return true;
}

}  // namespace

RemoteBitbangServer::RemoteBitbangServer(Board& board, std::uint16_t port, std::size_t session_limit)
    : board_(board), session_limit_(session_limit) {
  listen_fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (listen_fd_ < 0) SystemError("remote_bitbang: socket");
  const int one = 1;
  ::setsockopt(listen_fd_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  // OpenOCD writes without blocking and gives up on a full socket, so the host's commands get a large
  // receive window (set before listen, inherited by each connection) to ride out moments when this
  // process is not scheduled. The forced size needs privileges; without them the capped size still helps.
  const int window = 8 << 20;
  if (::setsockopt(listen_fd_, SOL_SOCKET, SO_RCVBUFFORCE, &window, sizeof window) != 0) {
    ::setsockopt(listen_fd_, SOL_SOCKET, SO_RCVBUF, &window, sizeof window);
  }
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(port);
  if (::bind(listen_fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    const int saved = errno;
    ::close(listen_fd_);
    errno = saved;
    SystemError("remote_bitbang: cannot listen on 127.0.0.1:" + std::to_string(port));
  }
  if (::listen(listen_fd_, 1) != 0) {
    const int saved = errno;
    ::close(listen_fd_);
    errno = saved;
    SystemError("remote_bitbang: listen");
  }
  socklen_t length = sizeof address;
  ::getsockname(listen_fd_, reinterpret_cast<sockaddr*>(&address), &length);
  port_ = ntohs(address.sin_port);
}

RemoteBitbangServer::~RemoteBitbangServer() {
  if (listen_fd_ >= 0) ::close(listen_fd_);
}

void RemoteBitbangServer::Serve(const std::atomic<bool>& stop, bool once,
                                const std::function<void()>& session_done) {
  while (!stop.load()) {
    pollfd p{.fd = listen_fd_, .events = POLLIN, .revents = 0};
    const int ready = ::poll(&p, 1, 100);
    if (ready < 0 && errno != EINTR) SystemError("remote_bitbang: poll");
    if (ready <= 0) continue;
    const int fd = ::accept4(listen_fd_, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) {
      if (errno == EINTR || errno == ECONNABORTED) continue;
      SystemError("remote_bitbang: accept");
    }
    const int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    Session(fd, stop);
    ::close(fd);
    if (session_done) session_done();
    if (once) return;
  }
}

// OpenOCD writes its commands without blocking and gives up ("Resource temporarily unavailable") as soon
// as the socket cannot take more; a long program block reads nothing back, so nothing paces it. So one
// thread moves what arrives into memory, never waiting for the board, while this one plays it to the board
// in slices and sends each slice's answers at once (the host may be waiting for them). What waits to be
// played is bounded: at the session limit the reader stops taking in commands until the board has caught
// up, so a host that sends without reading its answers fills the socket buffers and then waits.
void RemoteBitbangServer::Session(int fd, const std::atomic<bool>& stop) {
  struct Inbox {
    std::mutex mutex;
    std::condition_variable arrived;
    std::condition_variable drained;
    std::string data;
    std::size_t playing = 0;  // taken by the player and not yet played
    bool closed = false;      // the host has gone (or the connection broke)
    bool over = false;        // the player has ended the session
  } inbox;
  const std::size_t limit = session_limit_;

  std::thread reader([fd, &stop, &inbox, limit] {
    std::vector<char> buffer(kReadChunk);
    while (!stop.load()) {
      {
        std::unique_lock<std::mutex> lock(inbox.mutex);
        if (inbox.over) break;
        if (inbox.data.size() + inbox.playing >= limit) {
          inbox.drained.wait_for(lock, std::chrono::milliseconds(100));
          continue;
        }
      }
      pollfd p{.fd = fd, .events = POLLIN, .revents = 0};
      const int ready = ::poll(&p, 1, 100);
      if (ready < 0 && errno != EINTR) break;
      if (ready <= 0) continue;
      std::size_t room;
      {
        std::lock_guard<std::mutex> lock(inbox.mutex);
        room = std::min(buffer.size(), limit - std::min(limit, inbox.data.size() + inbox.playing));
      }
      if (room == 0) continue;
      const ssize_t n = ::recv(fd, buffer.data(), room, 0);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      {
        std::lock_guard<std::mutex> lock(inbox.mutex);
        inbox.data.append(buffer.data(), static_cast<std::size_t>(n));
      }
      inbox.arrived.notify_one();
    }
    {
      std::lock_guard<std::mutex> lock(inbox.mutex);
      inbox.closed = true;
    }
    inbox.arrived.notify_one();
  });

  auto end_session = [&] {
    {
      std::lock_guard<std::mutex> lock(inbox.mutex);
      inbox.over = true;
    }
    inbox.drained.notify_one();
    ::shutdown(fd, SHUT_RDWR);  // wakes the reader if the session ended before the host went
    reader.join();
  };

  BitbangProtocol protocol(board_);
  std::string work;
  std::string answers;
  try {
    bool more = true;
    while (more && !stop.load()) {
      {
        std::unique_lock<std::mutex> lock(inbox.mutex);
        inbox.arrived.wait_for(lock, std::chrono::milliseconds(100),
                               [&] { return !inbox.data.empty() || inbox.closed; });
        if (inbox.data.empty()) {
          if (inbox.closed) break;  // everything the host sent has been played
          continue;
        }
        work.clear();
        work.swap(inbox.data);
        inbox.playing = work.size();
      }
      for (std::size_t at = 0; more && at < work.size() && !stop.load(); at += kPlaySlice) {
        answers.clear();
        more = protocol.Feed(std::string_view(work).substr(at, kPlaySlice), answers);
        if (!answers.empty() && !SendAll(fd, answers, stop)) more = false;
        {
          std::lock_guard<std::mutex> lock(inbox.mutex);
          inbox.playing = work.size() - std::min(work.size(), at + kPlaySlice);
        }
        inbox.drained.notify_one();
      }
    }
  } catch (...) {
    end_session();
    throw;
  }
  end_session();
}

}  // namespace zepa::sim
