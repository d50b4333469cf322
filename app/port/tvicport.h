// The programmer's port components. A TVicPort reads and writes any I/O port byte by byte through the port
// driver that the first component of the process opened; TVicLPT adds the choice of one of the three
// printer-port base addresses. Without a driver every read gives FFh and every write is dropped.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "port/port_io.h"

namespace zepa::port {

// What a driver offers beyond byte requests: opening the I/O ports to the component's own IN and OUT
// instructions (driver functions 31 and 32).
class UserPortAccess {
 public:
  virtual ~UserPortAccess() = default;

  // Opens (true) or closes the I/O ports to this process's port instructions.
  virtual void SetUserPorts(bool open) = 0;
  // The component's own IN and OUT. While the ports are not open to user mode they go to the driver as
  // requests instead: the instruction itself would fault.
  virtual std::uint8_t In(std::uint16_t port) = 0;
  virtual void Out(std::uint16_t port, std::uint8_t value) = 0;
};

// Opens the port driver; returns null (or an inactive backend) when there is none.
using PortOpener = std::function<std::unique_ptr<PortIo>()>;

// An opener that hands out `port` itself, which the caller keeps owning and must keep alive while a
// component uses it (a simulated board, a test's fake). Closing the handle leaves it as it is.
PortOpener OpenerFor(PortIo& port);

// The driver handle that all components of a process share: the first component opens it, destroying
// any component closes it. The program keeps one for its whole run; a test makes its own and can Close
// it to start again.
class PortDriverHandle {
 public:
  explicit PortDriverHandle(PortOpener opener);
  ~PortDriverHandle();
  PortDriverHandle(const PortDriverHandle&) = delete;
  PortDriverHandle& operator=(const PortDriverHandle&) = delete;

  bool IsOpen() const { return driver_ != nullptr; }
  // What the last failed opening leaves a run to say: the inactive backend's own warning, kDriverNotFound
  // when there was none to ask.
  const std::string& InactiveWarning() const { return inactive_warning_; }
  // Opens the driver unless it is open already; true when it is open afterwards.
  bool Open();
  void Close();

  PortIo* Driver() const { return driver_.get(); }
  // The cable's wiring for the driver, kept for a driver opened later.
  void UseWiring(const CableWiring& wiring);
  UserPortAccess* UserPorts() const { return user_ports_; }

 private:
  PortOpener opener_;
  std::unique_ptr<PortIo> driver_;
  UserPortAccess* user_ports_ = nullptr;  // the driver itself, when it offers user-mode port access
  std::optional<CableWiring> wiring_;
  std::string inactive_warning_{kDriverNotFound};
};

class TVicPort : public PortIo {
 public:
  // The first component opens the shared driver; later ones find it open and leave it as it is.
  explicit TVicPort(PortDriverHandle& driver);
  // Goes back to request access and closes the shared driver, for every component.
  ~TVicPort() override;
  TVicPort(const TVicPort&) = delete;
  TVicPort& operator=(const TVicPort&) = delete;

  // True while the shared driver is open.
  bool ActiveHW() const { return driver_.IsOpen(); }

  // True (the default): every access is a driver request. False: the driver is asked once to open the
  // ports to user mode and accesses use the processor's IN and OUT instructions.
  bool HardAccess() const { return hard_access_; }
  void SetHardAccess(bool value);

  bool Active() const override { return ActiveHW(); }
  std::string InactiveWarning() const override { return driver_.InactiveWarning(); }
  std::uint8_t ReadPortByte(std::uint16_t port) override;
  void WritePortByte(std::uint16_t port, std::uint8_t value) override;
  void Flush() override;
  // Reads asked ahead go to the driver's requests (a backend with a long way to its port answers them
  // together); through the port instructions, or without a driver, they are read at once.
  void RequestRead(std::uint16_t port) override;
  std::vector<std::uint8_t> CollectReads() override;
  // The wiring reaches the driver, now and whenever it is opened again.
  void UseWiring(const CableWiring& wiring) override;

 private:
  bool UsesRequests() const { return ActiveHW() && (hard_access_ || driver_.UserPorts() == nullptr); }

  PortDriverHandle& driver_;
  bool hard_access_ = true;
};

// The standard printer-port base addresses (scoped names; the digits are the address).
enum class TLPTNumber { _378, _278, _3BC };

class TVicLPT : public TVicPort {
 public:
  explicit TVicLPT(PortDriverHandle& driver);

  TLPTNumber BasePort() const { return base_port_; }
  void SetBasePort(TLPTNumber value);
  // 378h, 278h or 3BCh.
  std::uint16_t BaseAddress() const { return base_address_; }

 private:
  TLPTNumber base_port_ = TLPTNumber::_378;
  std::uint16_t base_address_ = 0x378;
};

}  // namespace zepa::port
