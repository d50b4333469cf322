#include "fusemap/zepa2_packet.h"

#include <algorithm>
#include <array>

#include "fusemap/fatal_error.h"
#include "fusemap/zepa2_bits.h"
#include "fusemap/zepa2_frames.h"

namespace zepa::fusemap::zepa2 {
namespace {

constexpr std::string_view kPreambleSent = "0100";            // "0010", least significant bit first
constexpr std::string_view kNoCrcField = "1010101010101010";  // sent reversed when CRC is off
constexpr std::string_view kAlignStop = "110";
constexpr std::string_view kIspPadding = "000";
constexpr char kHexUpper[] = "0123456789ABCDEF";
constexpr char kHexLower[] = "0123456789abcdef";

// One input bit: feedback = register bit 15 XOR input; shift left; XOR 0x8005 when the feedback is 1.
constexpr unsigned CrcStep(unsigned reg, unsigned bit) {
  const unsigned feedback = ((reg >> 15) ^ bit) & 1u;
  return ((reg << 1) ^ (0x8005u & (0u - feedback))) & 0xFFFFu;
}

// The register after eight 0 input bits from a register whose top byte is the index.
constexpr std::array<std::uint16_t, 256> MakeCrcTable() {
  std::array<std::uint16_t, 256> table{};
  for (unsigned top = 0; top < 256; ++top) {
    unsigned reg = top << 8;
    for (int b = 0; b < 8; ++b) reg = CrcStep(reg, 0);
    table[top] = static_cast<std::uint16_t>(reg);
  }
  return table;
}
constexpr std::array<std::uint16_t, 256> kCrcTable = MakeCrcTable();

std::string Reversed(std::string_view s) {
  return std::string(s.rbegin(), s.rend());
}

// The compression code: a hold frame says "repeat the previous frame" only when it is sent compressed;
// a frame sent in full says "00" unless it is all 0s ("01") or all 1s ("11").
std::string CompressionCode(const FrameClass& cls, bool standard) {
  if (!standard && cls.hold) return "10";
  if (cls.all_zeroes) return "01";
  if (cls.all_ones) return "11";
  return "00";
}

}  // namespace

FrameClass data_bit_compare(std::string_view data_frame, std::string_view previous_data_frame) {
  FrameClass cls;
  cls.hold = !previous_data_frame.empty() && data_frame == previous_data_frame;
  cls.all_ones = std::all_of(data_frame.begin(), data_frame.end(), [](char c) { return c == '1'; });
  cls.all_zeroes = std::all_of(data_frame.begin(), data_frame.end(), [](char c) { return c == '0'; });
  return cls;
}

std::uint16_t Crc16(std::string_view bits) {
  // Eight bits at a time through a table of the register's top byte, then the remaining bits one by one;
  // both give what the one-bit step gives: feedback = bit 15 XOR input, shift, XOR 0x8005 on feedback.
  unsigned reg = 0;
  std::size_t i = 0;
  for (; i + 8 <= bits.size(); i += 8) {
    reg = ((reg << 8) ^ kCrcTable[((reg >> 8) ^ PackMsbFirst(bits.data() + i)) & 0xFFu]) & 0xFFFFu;
  }
  for (; i < bits.size(); ++i) reg = CrcStep(reg, static_cast<unsigned>(bits[i] == '1'));
  return static_cast<std::uint16_t>(reg);
}

std::string get_crc_bits(std::string_view data_frame, std::string_view grey_addr) {
  std::string input;
  input.reserve(2 + data_frame.size() + grey_addr.size());
  input.append("10").append(data_frame).append(grey_addr);
  const std::uint16_t crc = Crc16(input);
  std::string text(16, '0');
  for (int i = 0; i < 16; ++i) text[i] = ((crc >> (15 - i)) & 1u) ? '1' : '0';
  return text;
}

Header get_header(const FrameClass& cls, bool always_standard, std::string_view data_frame,
                  std::string_view grey_addr) {
  Header h;
  h.standard = always_standard || !cls.compressible();
  h.preamble = kPreambleSent;
  h.comp_code = CompressionCode(cls, h.standard);
  h.comp_bits = Reversed(h.comp_code);
  if (h.standard) {
    h.leading_ones = std::string(9, '1');
    h.crc_enable = '1';
    h.crc_bits = Reversed(get_crc_bits(data_frame, grey_addr));  // register bit 0 first
  } else {
    h.leading_ones = std::string(11, '1');
    h.crc_enable = '0';
    h.crc_bits = Reversed(kNoCrcField);
  }
  return h;
}

std::string assemble_all(const Header& header, std::string_view data_frame, std::string_view grey_addr) {
  std::string packet = header.bits();
  packet.reserve(kStandardPacketBits);
  packet.append(kAlignStop);
  if (header.standard) packet.append(data_frame);
  packet.append(grey_addr);
  return packet;
}

// 11 ones, the preamble as written ("0010", not reversed as in a frame header), 33 ones.
std::string assemble_end_config_frame() {
  return "111111111110010111111111111111111111111111111111";
}

std::string write_to_isp_file(std::string_view data_frame, std::string_view grey_addr) {
  if (data_frame.size() + grey_addr.size() + kIspPadding.size() != kIspLineBits) {
    throw FatalError(kErrAddressData, "Address/Data error!");
  }
  char bits[kIspLineBits];
  std::copy(data_frame.begin(), data_frame.end(), bits);
  std::copy(grey_addr.begin(), grey_addr.end(), bits + data_frame.size());
  std::copy(kIspPadding.begin(), kIspPadding.end(), bits + data_frame.size() + grey_addr.size());
  std::string hex(kIspLineBits / 4, '0');
  for (int byte = 0; byte < kIspLineBits / 8; ++byte) {
    const unsigned value = PackMsbFirst(bits + 8 * byte);
    hex[2 * byte] = kHexUpper[value >> 4];
    hex[2 * byte + 1] = kHexUpper[value & 0xF];
  }
  return hex;
}

std::string PacketHexBackwards(std::string_view packet) {
  const std::size_t bytes = (packet.size() + 7) / 8;
  // Two hex digits per byte and a '_' after every second byte but the last.
  std::string hex(bytes == 0 ? 0 : 2 * bytes + (bytes - 1) / 2, '_');
  char* out = hex.data();
  for (std::size_t byte = 0; byte < bytes; ++byte) {
    // Byte j holds the bits packet[size - 8j - 1] (most significant) down to packet[size - 8j - 8]; bits
    // before the start of a short packet read as 0.
    const std::size_t end = packet.size() - 8 * byte;
    unsigned value = 0;
    if (end >= 8) {
      value = PackLsbFirst(packet.data() + end - 8);  // packet[end - 1] is the most significant bit
    } else {
      for (std::size_t b = 0; b < end; ++b)
        value |= static_cast<unsigned>(packet[end - 1 - b] == '1') << (7 - b);
    }
    *out++ = kHexLower[value >> 4];
    *out++ = kHexLower[value & 0xF];
    if (byte % 2 == 1 && byte + 1 < bytes) ++out;  // over the '_'
  }
  return hex;
}

}  // namespace zepa::fusemap::zepa2
