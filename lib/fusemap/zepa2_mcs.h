// The MCS file of a ZEPA2 serial configuration stream: the '0'/'1' text of the .bit file packed into
// bytes and written as Intel HEX for a configuration PROM.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace zepa::fusemap::zepa2 {

// Bit order inside an MCS byte: the slave-serial load sends each byte least significant bit first, so
// the first stream bit goes to bit 0; debug level bit 10 puts it in bit 7 instead.
enum class McsBitOrder { kLsbFirst, kMsbFirst };

// Packs '0'/'1' text eight bits to a byte as it comes, in pieces of any length.
class BitPacker {
 public:
  explicit BitPacker(McsBitOrder order) : lsb_first_(order == McsBitOrder::kLsbFirst) {}
  void Append(std::string_view bits);  // '1' is a 1 bit, any other character a 0
  // The bytes so far, a last incomplete byte filled with 0 bits.
  std::vector<std::uint8_t> Finish();

 private:
  bool lsb_first_;
  std::vector<std::uint8_t> bytes_;
  unsigned value_ = 0;
  int filled_ = 0;
};

// Packs the stream eight bits to a byte. Line ends are skipped; '1' is a 1 bit, any other character a 0.
// A last, incomplete byte is filled with 0 bits.
std::vector<std::uint8_t> PackBitStream(std::string_view bit_text, McsBitOrder order);

// The Intel HEX text: ":020000020000FC", 16-byte data records from address 0000 (an extended segment
// address record after every 4096 records starts the next 64 KB), a shorter last record for the rest,
// and ":00000001FF".
std::string generate_mcs_format(std::string_view bit_text, McsBitOrder order);
// The same records for bytes already packed.
std::string McsRecords(std::span<const std::uint8_t> bytes);

}  // namespace zepa::fusemap::zepa2
