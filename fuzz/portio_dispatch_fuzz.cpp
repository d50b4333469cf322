// The port I/O driver's request handling: any control code, buffer and lengths.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "driver/portio_codes.h"
#include "driver/portio_dispatch.h"
#include "fuzz/fuzz_support.h"

namespace {

using zepa::driver::Served;

// A port space that stops the run at the first access outside the printer ports, and counts the rest.
class CheckedPorts final : public zepa::driver::PortSpace {
 public:
  std::uint8_t InByte(std::uint16_t port) override { return static_cast<std::uint8_t>(Touch(port, 1)); }
  std::uint16_t InWord(std::uint16_t port) override { return static_cast<std::uint16_t>(Touch(port, 2)); }
  std::uint32_t InDword(std::uint16_t port) override { return Touch(port, 4) * 0x01010101u; }
  void OutByte(std::uint16_t port, std::uint8_t) override { Touch(port, 1); }
  void OutWord(std::uint16_t port, std::uint16_t) override { Touch(port, 2); }
  void OutDword(std::uint16_t port, std::uint32_t) override { Touch(port, 4); }
  int accesses = 0;

 private:
  std::uint32_t Touch(std::uint16_t port, std::uint32_t width) {
    if (!Served(port, width)) zepa::fuzzing::Broken();
    ++accesses;
    return port ^ 0x5Au;
  }
};

}  // namespace

// Byte 0: the function (bit 7 set: bytes 1..4 are a raw control code instead); then the input and output
// lengths (16 bits each, low byte first) and the buffer's spare bytes (0..3); the rest is the buffer's input.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace zepa::driver;
  if (size < 1) return 0;
  std::uint32_t code = NtControlCode(data[0] & 0x3F);
  std::size_t at = 1;
  if (data[0] & 0x80) {
    if (size < 5) return 0;
    std::memcpy(&code, data + 1, 4);
    at = 5;
  }
  if (size < at + 5) return 0;
  const std::uint32_t input_length = data[at] | data[at + 1] << 8;
  const std::uint32_t output_length = data[at + 2] | data[at + 3] << 8;
  const std::uint32_t buffer_size = std::max(input_length, output_length) + (data[at + 4] & 3);
  at += 5;
  // The buffer is exactly buffer_size bytes on the heap, so a step past it is caught.
  auto buffer = std::make_unique<std::uint8_t[]>(std::max<std::uint32_t>(buffer_size, 1));
  std::memset(buffer.get(), 0xA5, buffer_size);
  std::memcpy(buffer.get(), data + at, std::min<std::size_t>(size - at, input_length));
  const std::vector<std::uint8_t> before(buffer.get(), buffer.get() + buffer_size);

  CheckedPorts ports;
  PortIoDispatcher dispatcher(ports);
  const Completion done = dispatcher.Control(code, buffer.get(), buffer_size, input_length, output_length);
  if (done.information > output_length) zepa::fuzzing::Broken();
  if (done.status != kStatusSuccess) {
    // A refused request touches neither the buffer nor any port.
    if (ports.accesses != 0) zepa::fuzzing::Broken();
    if (!std::equal(before.begin(), before.end(), buffer.get())) zepa::fuzzing::Broken();
  }
  return 0;
}
