// The slave-serial configuration readers (.mcs and .bit) on any text, and the simulated part's stream
// parser on whatever stream they accept. The first byte chooses the reader.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz/fuzz_support.h"
#include "sim/device.h"
#include "sim/parts.h"
#include "sim/slave_serial.h"
#include "ui/core/slave_serial.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace zepa;
  if (size == 0) return 0;
  const bool mcs = (data[0] & 1) != 0;
  const std::string_view text = fuzzing::AsText(data + 1, size - 1);
  ui::SerialBits bits;
  try {
    bits = mcs ? ui::read_mcs_stream(text, "f.mcs") : ui::read_bit_stream(text, "f.bit");
  } catch (const ui::ConfigFileError& e) {
    // A refusal names the file and a line.
    if (std::string(e.what()).rfind(mcs ? "f.mcs line " : "f.bit line ", 0) != 0) fuzzing::Broken();
    return 0;
  }
  std::size_t ones = 0;
  for (std::uint8_t b : bits) {
    if (b > 1) fuzzing::Broken();
    ones += b;
  }
  if (mcs && bits.size() % 8 != 0) fuzzing::Broken();  // whole bytes only
  if (!mcs) {
    // One bit for every '0', '1' and blank; every '1' a 1 bit.
    std::size_t count = 0, text_ones = 0;
    for (char c : text) {
      count += c == '0' || c == '1' || c == ' ' || c == '\t';
      text_ones += c == '1';
    }
    if (count != bits.size() || text_ones != ones) fuzzing::Broken();
  }
  // The part takes whatever comes, PROG high, one bit a rising clock edge.
  sim::DeviceMemory memory;
  sim::SlaveSerialPart part(*sim::FindPart("VTL3320"), memory);
  part.Drive(false, true, false);
  part.Drive(false, true, true);
  for (std::uint8_t b : bits) {
    part.Drive(false, b != 0, true);
    part.Drive(true, b != 0, true);
  }
  if (part.done() && part.frames_written() != 336) fuzzing::Broken();
  return 0;
}
