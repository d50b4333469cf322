// The user-mode side of the port I/O driver: byte reads and writes as device-control requests (functions
// 11 and 12), and the pair that opens and closes the I/O ports to this process's own IN and OUT
// (functions 31 and 32). The transport of one request is a DriverChannel: DeviceIoControl on Windows, the
// driver's own dispatcher in tests.
#pragma once

#include <cstdint>
#include <memory>

#include "port/io_instructions.h"
#include "port/port_io.h"
#include "port/tvicport.h"

namespace zepa::port {

class DriverChannel {
 public:
  virtual ~DriverChannel() = default;
  // One request; false when the driver failed it. `returned` receives the byte count handed back.
  virtual bool Control(std::uint32_t code, const void* input, std::uint32_t input_length, void* output,
                       std::uint32_t output_length, std::uint32_t* returned) = 0;
};

// The control code of driver function f: f itself for the Windows 95 line's virtual device driver,
// CTL_CODE (8000h, 800h + f, METHOD_BUFFERED, FILE_ANY_ACCESS) for the NT driver.
std::uint32_t ControlCode(std::uint32_t function, bool win9x);

class DriverClientPort : public PortIo, public UserPortAccess {
 public:
  // `instructions` are the processor's IN and OUT, used once the driver has opened the ports (may be null:
  // accesses then stay requests). `win9x` selects plain function numbers and no user-mode port access.
  DriverClientPort(std::unique_ptr<DriverChannel> channel, std::unique_ptr<IoInstructions> instructions,
                   bool win9x = false);

  bool Active() const override { return channel_ != nullptr; }
  // A request the driver fails reads as FFh, as an absent driver does.
  std::uint8_t ReadPortByte(std::uint16_t port) override;
  void WritePortByte(std::uint16_t port, std::uint8_t value) override;

  void SetUserPorts(bool open) override;
  std::uint8_t In(std::uint16_t port) override;
  void Out(std::uint16_t port, std::uint8_t value) override;

  bool UserPortsOpen() const { return user_ports_open_; }

 private:
  std::unique_ptr<DriverChannel> channel_;
  std::unique_ptr<IoInstructions> instructions_;
  bool win9x_;
  bool user_ports_open_ = false;
};

}  // namespace zepa::port
