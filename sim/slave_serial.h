// A ZEPA2 part wired for slave-serial configuration: the cable's TCK, TDI and TMS lines are its CCLK, DIN
// and PROG pins, and TDO reads its DONE pin.
//
// PROG low clears the configuration (every frame reads erased) and holds the part; with PROG high the part
// takes DIN on each rising CCLK edge and reads the stream as packets:
//
//   ones ...  at least eight leading ones (nine before a standard packet, eleven before the others)
//   0 1 0 0   the preamble
//   e         CRC enable: 1 in a standard packet, 0 in a compressed one
//   c0..c15   the CRC-16, register bit 0 first (compressed: the fixed field 0 1 0 1 ... 0 1)
//   k0 k1     compression: 0 0 standard, 0 1 hold (the data of the packet before), 1 0 all zeros,
//             1 1 all ones; a standard packet carries its data whatever these say
//   1 1 0     align and stop bits
//   d0..d545  the data frame (standard packets only)
//   a0..a10   the frame address: Gray(index) bits 0..5, Gray(group) 0..1, Gray(block) 0..2
//
// The CRC-16 (x^16 + x^15 + x^2 + 1, register 0 at the start, no final inversion) runs over the last two
// align/stop bits, the data frame and the address, in the order they arrive. The end-of-configuration
// packet is its leading ones, 0 0 1 0 (a preamble not reversed) and 33 ones. DONE rises at its end when every
// frame of the part was written and nothing went wrong; a packet that breaks the rules (a wrong CRC, an
// address naming no frame, a hold with no frame before it, broken align bits) stops the part, which waits
// with DONE low for the next PROG pulse. Frames go into the device memory's rows (by frame number, 546 data
// bits then the 11 address bits), where the part's JTAG frame read finds them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "sim/device.h"

namespace zepa::sim {

class SlaveSerialPart {
 public:
  SlaveSerialPart(const PartInfo& part, DeviceMemory& memory);

  // The pin levels after a change on the cable.
  void Drive(bool cclk, bool din, bool prog);
  bool done() const { return done_; }

  // What the part made of the stream since the last PROG pulse.
  int frames_written() const { return frames_written_; }
  int packets() const { return packets_; }
  const std::string& fault() const { return fault_; }  // why the part stopped; empty while it has not

 private:
  enum class Stage : std::uint8_t { kHeld, kSync, kPreamble, kHeader, kBody, kEnd, kFinished, kStopped };

  void Clear();
  void Take(bool bit);
  void Header();
  void Body();
  void Finish();
  void Stop(const std::string& why);

  DeviceMemory& memory_;
  int blocks_;
  Stage stage_ = Stage::kHeld;
  bool cclk_ = false;
  bool prog_ = false;
  bool done_ = false;
  int ones_ = 0;                 // leading ones counted while in sync
  std::vector<bool> bits_;       // the current packet after its preamble
  std::size_t body_length_ = 0;  // bits after the header: data (standard) and address
  std::vector<bool> written_;    // per frame: written since PROG
  bool have_previous_ = false;
  std::vector<bool> previous_;  // the data frame of the last packet
  int frames_written_ = 0;
  int packets_ = 0;
  std::string fault_;
};

}  // namespace zepa::sim
