#include "port/tvicport.h"

#include <utility>

namespace zepa::port {
namespace {

class BorrowedPort : public PortIo {
 public:
  explicit BorrowedPort(PortIo& port) : port_(port) {}
  bool Active() const override { return port_.Active(); }
  std::uint8_t ReadPortByte(std::uint16_t port) override { return port_.ReadPortByte(port); }
  void WritePortByte(std::uint16_t port, std::uint8_t value) override { port_.WritePortByte(port, value); }
  void Flush() override { port_.Flush(); }
  void RequestRead(std::uint16_t port) override { port_.RequestRead(port); }
  std::vector<std::uint8_t> CollectReads() override { return port_.CollectReads(); }
  void UseWiring(const CableWiring& wiring) override { port_.UseWiring(wiring); }
  std::string InactiveWarning() const override { return port_.InactiveWarning(); }

 private:
  PortIo& port_;
};

}  // namespace

PortOpener OpenerFor(PortIo& port) {
  return [&port]() -> std::unique_ptr<PortIo> { return std::make_unique<BorrowedPort>(port); };
}

PortDriverHandle::PortDriverHandle(PortOpener opener) : opener_(std::move(opener)) {}

PortDriverHandle::~PortDriverHandle() {
  Close();
}

bool PortDriverHandle::Open() {
  if (IsOpen()) return true;
  std::unique_ptr<PortIo> driver = opener_ ? opener_() : nullptr;
  if (driver && driver->Active()) {
    if (wiring_) driver->UseWiring(*wiring_);
    user_ports_ = dynamic_cast<UserPortAccess*>(driver.get());
    driver_ = std::move(driver);
  } else {
    inactive_warning_ = driver ? driver->InactiveWarning() : std::string(kDriverNotFound);
  }
  return IsOpen();
}

void PortDriverHandle::UseWiring(const CableWiring& wiring) {
  wiring_ = wiring;
  if (driver_) driver_->UseWiring(wiring);
}

void PortDriverHandle::Close() {
  user_ports_ = nullptr;
  driver_.reset();
}

TVicPort::TVicPort(PortDriverHandle& driver) : driver_(driver) {
  driver_.Open();
}

TVicPort::~TVicPort() {
  if (driver_.IsOpen()) {
    SetHardAccess(true);
    driver_.Close();
  }
}

void TVicPort::SetHardAccess(bool value) {
  if (UserPortAccess* user_ports = driver_.UserPorts()) user_ports->SetUserPorts(!value);
  hard_access_ = value;
}

std::uint8_t TVicPort::ReadPortByte(std::uint16_t port) {
  if (!ActiveHW()) return 0xFF;
  UserPortAccess* user_ports = driver_.UserPorts();
  if (!hard_access_ && user_ports) return user_ports->In(port);
  return driver_.Driver()->ReadPortByte(port);
}

void TVicPort::WritePortByte(std::uint16_t port, std::uint8_t value) {
  if (!ActiveHW()) return;
  UserPortAccess* user_ports = driver_.UserPorts();
  if (!hard_access_ && user_ports) {
    user_ports->Out(port, value);
  } else {
    driver_.Driver()->WritePortByte(port, value);
  }
}

void TVicPort::Flush() {
  if (ActiveHW()) driver_.Driver()->Flush();
}

void TVicPort::RequestRead(std::uint16_t port) {
  if (UsesRequests()) {
    driver_.Driver()->RequestRead(port);
  } else {
    PortIo::RequestRead(port);
  }
}

std::vector<std::uint8_t> TVicPort::CollectReads() {
  std::vector<std::uint8_t> values = PortIo::CollectReads();
  if (ActiveHW()) {
    const std::vector<std::uint8_t> requested = driver_.Driver()->CollectReads();
    values.insert(values.end(), requested.begin(), requested.end());
  }
  return values;
}

void TVicPort::UseWiring(const CableWiring& wiring) {
  driver_.UseWiring(wiring);
}

TVicLPT::TVicLPT(PortDriverHandle& driver) : TVicPort(driver) {
  SetBasePort(TLPTNumber::_378);
}

void TVicLPT::SetBasePort(TLPTNumber value) {
  switch (value) {
    case TLPTNumber::_378:
      base_address_ = 0x378;
      break;
    case TLPTNumber::_278:
      base_address_ = 0x278;
      break;
    case TLPTNumber::_3BC:
      base_address_ = 0x3BC;
      break;
  }
  base_port_ = value;
}

}  // namespace zepa::port
