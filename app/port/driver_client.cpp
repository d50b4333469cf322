#include "port/driver_client.h"

#include <utility>

#include "driver/portio_codes.h"

namespace zepa::port {
namespace {

void Put32(std::uint8_t* p, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

}  // namespace

std::uint32_t ControlCode(std::uint32_t function, bool win9x) {
  return win9x ? function : driver::NtControlCode(function);
}

DriverClientPort::DriverClientPort(std::unique_ptr<DriverChannel> channel,
                                   std::unique_ptr<IoInstructions> instructions, bool win9x)
    : channel_(std::move(channel)), instructions_(std::move(instructions)), win9x_(win9x) {}

std::uint8_t DriverClientPort::ReadPortByte(std::uint16_t port) {
  if (!channel_) return 0xFF;
  std::uint8_t input[4];
  Put32(input, port);
  std::uint8_t output[4] = {0xFF, 0xFF, 0xFF, 0xFF};
  std::uint32_t returned = 0;
  if (!channel_->Control(ControlCode(driver::kReadByte, win9x_), input, sizeof input, output, sizeof output,
                         &returned) ||
      returned == 0) {
    return 0xFF;
  }
  return output[0];
}

void DriverClientPort::WritePortByte(std::uint16_t port, std::uint8_t value) {
  if (!channel_) return;
  std::uint8_t input[8];
  Put32(input, port);
  Put32(input + 4, value);
  std::uint32_t returned = 0;
  channel_->Control(ControlCode(driver::kWriteByte, win9x_), input, sizeof input, nullptr, 0, &returned);
}

void DriverClientPort::SetUserPorts(bool open) {
  if (!channel_ || win9x_) return;
  std::uint32_t returned = 0;
  const bool done =
      channel_->Control(ControlCode(open ? driver::kOpenUserPorts : driver::kCloseUserPorts, false), nullptr,
                        0, nullptr, 0, &returned);
  // Only a confirmed opening lets the instructions run; after any close request they are off.
  user_ports_open_ = open && done && instructions_ != nullptr;
}

std::uint8_t DriverClientPort::In(std::uint16_t port) {
  return user_ports_open_ ? instructions_->In(port) : ReadPortByte(port);
}

void DriverClientPort::Out(std::uint16_t port, std::uint8_t value) {
  if (user_ports_open_) {
    instructions_->Out(port, value);
  } else {
    WritePortByte(port, value);
  }
}

}  // namespace zepa::port
