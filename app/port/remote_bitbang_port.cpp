#include "port/remote_bitbang_port.h"

#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>
#include <utility>

namespace zepa::port {
namespace {

constexpr std::size_t kSendBatch = 4096;       // characters queued before they go out on their own
constexpr std::size_t kReadsInFlight = 16384;  // answers the server may owe before some are taken

}  // namespace

RemoteBitbangPort::RemoteBitbangPort(const RemoteAddress& address, const PortNotes& notes,
                                     int answer_timeout_ms)
    : name_("remote_bitbang " + address.host + ":" + address.port), timeout_ms_(answer_timeout_ms) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  if (const int error = ::getaddrinfo(address.host.c_str(), address.port.c_str(), &hints, &found);
      error != 0) {
    failure_ = name_ + ": " + ::gai_strerror(error);
    if (notes) notes(failure_);
    return;
  }
  std::string reason = "no address";
  for (addrinfo* a = found; a != nullptr && fd_ < 0; a = a->ai_next) {
    const int fd = ::socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC, a->ai_protocol);
    if (fd < 0) {
      reason = std::strerror(errno);
      continue;
    }
    if (::connect(fd, a->ai_addr, a->ai_addrlen) != 0) {
      reason = std::strerror(errno);
      ::close(fd);
      continue;
    }
    const int one = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    fd_ = fd;
    connected_once_ = true;
  }
  ::freeaddrinfo(found);
  if (fd_ < 0) {
    failure_ = name_ + ": cannot connect (" + reason + ")";
    if (notes) notes(failure_);
  }
}

RemoteBitbangPort::~RemoteBitbangPort() {
  if (fd_ < 0) return;
  try {
    queue_ += 'Q';
    Send();
  } catch (const std::exception&) {
    // The server is gone already; there is nobody left to tell.
  }
  if (fd_ >= 0) ::close(fd_);
}

std::string RemoteBitbangPort::InactiveWarning() const {
  // A link that could not be made has been told to the notes; one lost later is told each run.
  return connected_once_ ? failure_ : std::string();
}

void RemoteBitbangPort::Fail(const std::string& what) {
  if (failure_.empty()) failure_ = name_ + ": " + what;
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  throw std::runtime_error(failure_);
}

void RemoteBitbangPort::WritePortByte(std::uint16_t port, std::uint8_t value) {
  registers_[port] = value;
  if (port != wiring_.data_port || wiring_.tck == 0) return;
  if (fd_ < 0) {
    if (!failure_.empty()) throw std::runtime_error(failure_);
    return;
  }
  const char pins = static_cast<char>('0' + ((value & wiring_.tck) ? 4 : 0) +
                                      ((value & wiring_.tms) ? 2 : 0) + ((value & wiring_.tdi) ? 1 : 0));
  if (pins == last_pins_) return;  // only the auxiliary lines changed: nothing on the link
  last_pins_ = pins;
  queue_ += pins;
  if (queue_.size() >= kSendBatch) Send();
}

void RemoteBitbangPort::Send() {
  std::size_t sent = 0;
  while (sent < queue_.size()) {
    const ssize_t n = ::send(fd_, queue_.data() + sent, queue_.size() - sent, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) Fail(std::string("the server closed the connection (") + std::strerror(errno) + ")");
    sent += static_cast<std::size_t>(n);
  }
  queue_.clear();
}

bool RemoteBitbangPort::ReceiveAnswer() {
  if (received_.empty()) {
    char buffer[4096];
    for (;;) {
      pollfd p{.fd = fd_, .events = POLLIN, .revents = 0};
      const int ready = ::poll(&p, 1, timeout_ms_);
      if (ready < 0 && errno == EINTR) continue;
      if (ready == 0)
        Fail("no answer from the server in " + (timeout_ms_ % 1000 == 0
                                                    ? std::to_string(timeout_ms_ / 1000) + " s"
                                                    : std::to_string(timeout_ms_) + " ms"));
      const ssize_t n = ::recv(fd_, buffer, sizeof buffer, 0);
      if (n < 0 && errno == EINTR) continue;
      if (n == 0) Fail("the server closed the connection");
      if (n < 0) Fail(std::string("the connection failed (") + std::strerror(errno) + ")");
      received_.assign(buffer, static_cast<std::size_t>(n));
      break;
    }
  }
  const char answer = received_.front();
  received_.erase(0, 1);
  if (answer != '0' && answer != '1')
    Fail(std::string("the server answered '") + answer + "' to a read (expected '0' or '1')");
  return answer == '1';
}

std::uint8_t RemoteBitbangPort::StatusFor(bool tdo, std::uint8_t data) const {
  std::uint8_t status = 0;
  if (tdo != wiring_.tdo_reads_low) status |= wiring_.tdo;
  // There is no cable at the far end: its loop-back answers as a connected cable's does.
  if (wiring_.loop_drive != 0 && (data & wiring_.loop_drive) != 0) status |= wiring_.loop_sense;
  return status;
}

std::uint8_t RemoteBitbangPort::ReadPortByte(std::uint16_t port) {
  if (port != static_cast<std::uint16_t>(wiring_.data_port + 1) || wiring_.tck == 0) {
    const auto it = registers_.find(port);
    return it == registers_.end() ? 0xFF : it->second;
  }
  RequestRead(port);
  return CollectReads().back();
}

void RemoteBitbangPort::RequestRead(std::uint16_t port) {
  if (port != static_cast<std::uint16_t>(wiring_.data_port + 1) || wiring_.tck == 0 || fd_ < 0) {
    if (fd_ < 0 && !failure_.empty()) throw std::runtime_error(failure_);
    answered_.push_back(ReadPortByte(port));
    return;
  }
  queue_ += 'R';
  pending_.push_back({registers_[wiring_.data_port]});
  if (pending_.size() >= kReadsInFlight) {
    // A server that writes its answers into a full socket stops reading: take some before asking more.
    Send();
    ++round_trips_;
    for (const Pending& p : pending_) answered_.push_back(StatusFor(ReceiveAnswer(), p.data));
    pending_.clear();
  } else if (queue_.size() >= kSendBatch) {
    Send();
  }
}

std::vector<std::uint8_t> RemoteBitbangPort::CollectReads() {
  if (fd_ < 0 && !failure_.empty()) {
    pending_.clear();
    answered_.clear();
    throw std::runtime_error(failure_);
  }
  if (!pending_.empty()) {
    Send();
    ++round_trips_;
    for (const Pending& p : pending_) answered_.push_back(StatusFor(ReceiveAnswer(), p.data));
    pending_.clear();
  }
  return std::exchange(answered_, {});
}

void RemoteBitbangPort::Flush() {
  if (fd_ < 0) {
    if (!failure_.empty()) throw std::runtime_error(failure_);
    return;
  }
  if (queue_.empty()) return;
  // A wait that follows must not start before the server has played the pins: a read is answered only
  // after everything sent before it.
  queue_ += 'R';
  Send();
  ++round_trips_;
  for (const Pending& p : pending_) answered_.push_back(StatusFor(ReceiveAnswer(), p.data));
  pending_.clear();
  ReceiveAnswer();
}

}  // namespace zepa::port
