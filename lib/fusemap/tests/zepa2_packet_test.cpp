// ZEPA2 packets: frame compression, the CRC-16, the header layout and the ISP line.
#include "fusemap/zepa2_packet.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "fusemap/fatal_error.h"
#include "fusemap/zepa2_frames.h"

namespace zepa::fusemap::zepa2 {
namespace {

std::string RandomBits(std::size_t n, unsigned seed) {
  std::mt19937 rng(seed);
  std::string s(n, '0');
  for (char& c : s) c = (rng() & 1u) ? '1' : '0';
  return s;
}

std::string BytesAsBits(std::string_view text) {
  std::string bits;
  for (unsigned char ch : text) {
    for (int b = 7; b >= 0; --b) bits.push_back(((ch >> b) & 1) ? '1' : '0');
  }
  return bits;
}

// Reference: the remainder of M(x) * x^16 divided by x^16 + x^15 + x^2 + 1, by long division over the
// message with 16 zero bits appended (what a CRC with register 0 and no inversions computes).
std::uint16_t CrcByLongDivision(const std::string& message) {
  std::vector<int> bits;
  for (char c : message) bits.push_back(c == '1' ? 1 : 0);
  bits.insert(bits.end(), 16, 0);
  // Divisor 1 1000 0000 0000 0101 (x^16 + x^15 + x^2 + 1), highest power first.
  const std::vector<int> divisor{1, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 1};
  for (std::size_t i = 0; i + 16 < bits.size(); ++i) {
    if (!bits[i]) continue;
    for (std::size_t j = 0; j < divisor.size(); ++j) bits[i + j] ^= divisor[j];
  }
  std::uint16_t rem = 0;
  for (std::size_t i = bits.size() - 16; i < bits.size(); ++i)
    rem = static_cast<std::uint16_t>((rem << 1) | bits[i]);
  return rem;
}

TEST(Zepa2Crc, MatchesIndependentReferences) {
  // The published check value of this CRC (poly 8005, init 0, no reflection, no final XOR) for "123456789".
  EXPECT_EQ(Crc16(BytesAsBits("123456789")), 0xFEE8);
  EXPECT_EQ(Crc16(""), 0);
  for (std::size_t length : {1u, 16u, 17u, 559u}) {
    const std::string bits = RandomBits(length, static_cast<unsigned>(length));
    EXPECT_EQ(Crc16(bits), CrcByLongDivision(bits)) << "length " << length;
  }
}

TEST(Zepa2Crc, FrameCrcCoversTheStartBitsTheDataAndTheAddress) {
  const std::string data = RandomBits(kDataFrameBits, 7);
  const std::string grey = assemble_grey_code_address(1, 2, 3);
  const std::uint16_t expected = CrcByLongDivision("10" + data + grey);
  std::string text;
  for (int b = 15; b >= 0; --b) text.push_back(((expected >> b) & 1) ? '1' : '0');
  EXPECT_EQ(get_crc_bits(data, grey), text);
}

TEST(Zepa2Compression, FrameAgainstThePreviousOne) {
  const std::string mixed = RandomBits(kDataFrameBits, 3);
  const std::string ones(kDataFrameBits, '1');
  const std::string zeros(kDataFrameBits, '0');
  struct Case {
    const char* what;
    std::string frame, previous;
    bool hold, all_ones, all_zeroes;
  };
  for (const Case& c : std::vector<Case>{
           {"first frame is never a hold frame", ones, "", false, true, false},
           {"repeated mixed frame", mixed, mixed, true, false, false},
           {"repeated zero frame", zeros, zeros, true, false, true},
           {"new mixed frame", mixed, ones, false, false, false},
           {"zeros after ones", zeros, ones, false, false, true},
       }) {
    const FrameClass cls = data_bit_compare(c.frame, c.previous);
    EXPECT_EQ(cls.hold, c.hold) << c.what;
    EXPECT_EQ(cls.all_ones, c.all_ones) << c.what;
    EXPECT_EQ(cls.all_zeroes, c.all_zeroes) << c.what;
  }
}

// Header and packet for every kind of frame, with and without debug bit 9 (every frame sent in full).
TEST(Zepa2Packet, HeaderFieldsAndLayout) {
  const std::string grey = assemble_grey_code_address(0, 3, 41);
  const std::string mixed = RandomBits(kDataFrameBits, 11);
  const std::string ones(kDataFrameBits, '1');
  const std::string zeros(kDataFrameBits, '0');
  struct Case {
    const char* what;
    FrameClass cls;
    const std::string& data;
    bool always_standard;
    bool standard;
    std::string comp_code;
  };
  const std::vector<Case> cases{
      {"new mixed frame", {false, false, false}, mixed, false, true, "00"},
      {"hold frame", {true, false, false}, mixed, false, false, "10"},
      {"hold of all ones", {true, true, false}, ones, false, false, "10"},
      {"all zeros", {false, false, true}, zeros, false, false, "01"},
      {"all ones", {false, true, false}, ones, false, false, "11"},
      {"forced: new mixed frame", {false, false, false}, mixed, true, true, "00"},
      {"forced: hold frame", {true, false, false}, mixed, true, true, "00"},
      {"forced: all zeros", {false, false, true}, zeros, true, true, "01"},
      {"forced: all ones after ones", {true, true, false}, ones, true, true, "11"},
  };
  for (const Case& c : cases) {
    const Header h = get_header(c.cls, c.always_standard, c.data, grey);
    const std::string p = assemble_all(h, c.data, grey);
    const std::string sent_code(c.comp_code.rbegin(), c.comp_code.rend());
    EXPECT_EQ(h.standard, c.standard) << c.what;
    EXPECT_EQ(h.comp_code, c.comp_code) << c.what;
    if (c.standard) {
      std::string crc = get_crc_bits(c.data, grey);
      const std::string crc_lsb_first(crc.rbegin(), crc.rend());
      ASSERT_EQ(p.size(), static_cast<std::size_t>(kStandardPacketBits)) << c.what;
      EXPECT_EQ(p.substr(0, 9), std::string(9, '1')) << c.what;
      EXPECT_EQ(p.substr(9, 4), "0100") << c.what;
      EXPECT_EQ(p[13], '1') << c.what;
      EXPECT_EQ(p.substr(14, 16), crc_lsb_first) << c.what;
      EXPECT_EQ(p.substr(30, 2), sent_code) << c.what;
      EXPECT_EQ(p.substr(32, 3), "110") << c.what;
      EXPECT_EQ(p.substr(35, 546), c.data) << c.what;
      EXPECT_EQ(p.substr(581), grey) << c.what;
    } else {
      ASSERT_EQ(p.size(), static_cast<std::size_t>(kCompressedPacketBits)) << c.what;
      EXPECT_EQ(p.substr(0, 11), std::string(11, '1')) << c.what;
      EXPECT_EQ(p.substr(11, 4), "0100") << c.what;
      EXPECT_EQ(p[15], '0') << c.what;
      EXPECT_EQ(p.substr(16, 16), "0101010101010101") << c.what;
      EXPECT_EQ(p.substr(32, 2), sent_code) << c.what;
      EXPECT_EQ(p.substr(34, 3), "110") << c.what;
      EXPECT_EQ(p.substr(37), grey) << c.what;
    }
  }
}

TEST(Zepa2Packet, EndOfConfigurationAndItsListing) {
  const std::string end = assemble_end_config_frame();
  EXPECT_EQ(end, "111111111110010111111111111111111111111111111111");
  // Read backwards: bits 47..16 are ones, bits 15..8 read 1,0,1,0,0,1,1,1.
  EXPECT_EQ(PacketHexBackwards(end), "ffff_ffff_a7ff");
  EXPECT_EQ(PacketHexBackwards("0000000110000000"
                               "1111111100000000"),
            "00ff_0180");
  EXPECT_EQ(PacketHexBackwards("00000001"
                               "10000000"
                               "11111111"),
            "ff01_80")
      << "an odd number of bytes ends without '_'";
  EXPECT_EQ(PacketHexBackwards("1"), "80") << "a short last byte is read as if 0s followed";
}

TEST(Zepa2IspLine, PacksDataAndAddressMostSignificantBitFirst) {
  const std::string line =
      write_to_isp_file(std::string(kDataFrameBits, '1'), assemble_grey_code_address(0, 0, 41));
  // 544 ones give 136 'F's; then "11", the address "10111100000" and "000": 1110 1111 0000 0000.
  EXPECT_EQ(line, std::string(136, 'F') + "EF00");

  const std::string mixed = write_to_isp_file(RandomBits(kDataFrameBits, 5), "11111111111");
  ASSERT_EQ(mixed.size(), 140u);
  EXPECT_EQ(mixed.back(), '8');  // the last address bit, then the three padding zeros

  try {
    write_to_isp_file(std::string(kDataFrameBits - 1, '1'), "00000000000");
    ADD_FAILURE() << "a 559-bit line was accepted";
  } catch (const FatalError& e) {
    EXPECT_EQ(e.code(), kErrAddressData);
    EXPECT_STREQ(e.what(), "Address/Data error!");
  }
}

}  // namespace
}  // namespace zepa::fusemap::zepa2
