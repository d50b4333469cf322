// ZEPA2 serial configuration packets: frame compression, the CRC-16, the header, the whole packet and
// the ISP line of a frame.
//
// A standard packet (592 bits) is a 32-bit header, the align/stop bits "110", the 546 data bits and the
// 11 address bits. A compressed packet (48 bits) leaves the data out: a 34-bit header, "110" and the
// address; its compression bits tell the part to repeat the previous frame or to fill with 0s or 1s.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace zepa::fusemap::zepa2 {

inline constexpr int kStandardPacketBits = 592;
inline constexpr int kCompressedPacketBits = 48;
inline constexpr int kIspLineBits = 560;  // data frame, address, three 0 bits

// How a data frame relates to the frame sent before it.
struct FrameClass {
  bool hold = false;  // equal to the previous frame (never the first frame)
  bool all_ones = false;
  bool all_zeroes = false;
  bool compressible() const { return hold || all_ones || all_zeroes; }
};

// `previous` is empty before the first frame.
FrameClass data_bit_compare(std::string_view data_frame, std::string_view previous_data_frame);

// CRC-16, polynomial x^16 + x^15 + x^2 + 1 (0x8005), register starting at 0, no final inversion, over
// '0'/'1' characters taken first character first (any character but '1' is a 0 bit).
std::uint16_t Crc16(std::string_view bits);

// The frame CRC over "10", the data frame and the address, as 16 characters, most significant bit first.
std::string get_crc_bits(std::string_view data_frame, std::string_view grey_addr);

// The header of one packet. Every field is kept in the order it is sent (least significant bit first).
struct Header {
  bool standard = true;
  std::string leading_ones;  // 9 ones (standard) or 11 (compressed)
  std::string preamble;      // "0010" sent reversed: "0100"
  char crc_enable = '1';
  std::string crc_bits;   // standard: the CRC from bit 0 to bit 15; compressed: "1010101010101010" reversed
  std::string comp_code;  // the compression code: "00" standard, "10" hold, "01" all 0s, "11" all 1s
  std::string comp_bits;  // the compression code as sent (reversed)

  std::string bits() const { return leading_ones + preamble + crc_enable + crc_bits + comp_bits; }
};

// `always_standard` (debug level bit 9) sends every frame in full.
Header get_header(const FrameClass& cls, bool always_standard, std::string_view data_frame,
                  std::string_view grey_addr);

// Header, "110", the data frame (standard packets only) and the address.
std::string assemble_all(const Header& header, std::string_view data_frame, std::string_view grey_addr);

// The last packet of a stream: 11 ones, "0010" and 33 ones.
std::string assemble_end_config_frame();

// The ISP line of a frame: data frame, address and "000" packed eight bits to a byte, first bit most
// significant, as 140 upper-case hex digits. Anything but 560 bits throws FatalError 901.
std::string write_to_isp_file(std::string_view data_frame, std::string_view grey_addr);

// A packet in lower-case hex as the debug listing shows it: read from its last bit backwards, the first
// bit read being the most significant of its byte, "_" after every second byte.
std::string PacketHexBackwards(std::string_view packet);

}  // namespace zepa::fusemap::zepa2
