// The MCS (Intel HEX) form of a serial configuration stream.
#include "fusemap/zepa2_mcs.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "testsupport/files.h"

namespace zepa::fusemap::zepa2 {
namespace {

namespace fs = std::filesystem;

TEST(Zepa2McsPacking, BitsToBytes) {
  struct Case {
    const char* what;
    std::string text;
    McsBitOrder order;
    std::vector<std::uint8_t> bytes;
  };
  for (const Case& c : std::vector<Case>{
           {"first bit least significant", "10000000", McsBitOrder::kLsbFirst, {0x01}},
           {"first bit most significant", "10000000", McsBitOrder::kMsbFirst, {0x80}},
           {"line ends are skipped", "1100\n0000\r\n01", McsBitOrder::kLsbFirst, {0x03, 0x02}},
           {"short last byte, lsb first", "101", McsBitOrder::kLsbFirst, {0x05}},
           {"short last byte, msb first", "101", McsBitOrder::kMsbFirst, {0xA0}},
           {"only '1' is a one", "1x1 1abc", McsBitOrder::kLsbFirst, {0x15}},
           {"empty stream", "", McsBitOrder::kLsbFirst, {}},
       }) {
    EXPECT_EQ(PackBitStream(c.text, c.order), c.bytes) << c.what;
  }
}

struct Record {
  int count = 0, address = 0, type = 0;
  std::vector<int> data;
  bool checksum_ok = false;
  bool well_formed = false;
};

// A plain Intel HEX record reader, written apart from the writer.
Record ParseRecord(const std::string& line) {
  Record r;
  if (line.size() < 11 || line[0] != ':' || (line.size() - 1) % 2 != 0) return r;
  std::vector<int> bytes;
  for (std::size_t i = 1; i + 1 < line.size(); i += 2)
    bytes.push_back(std::stoi(line.substr(i, 2), nullptr, 16));
  r.count = bytes[0];
  r.address = bytes[1] * 256 + bytes[2];
  r.type = bytes[3];
  r.well_formed = static_cast<int>(bytes.size()) == r.count + 5;
  if (r.well_formed) r.data.assign(bytes.begin() + 4, bytes.end() - 1);
  int sum = 0;
  for (int b : bytes) sum += b;
  r.checksum_ok = sum % 256 == 0;
  return r;
}

std::string RandomBitText(std::size_t bits, unsigned seed) {
  std::mt19937 rng(seed);
  std::string s;
  for (std::size_t i = 0; i < bits; ++i) {
    s.push_back((rng() & 1u) ? '1' : '0');
    if (i % 592 == 591) s.push_back('\n');
  }
  return s;
}

// 4375 full records over two 64 KB segments, and a last record of 5 bytes.
constexpr std::size_t kStreamBytes = 4375 * 16 + 5;

TEST(Zepa2McsRecords, EveryRecordIsWellFormedAndInItsPlace) {
  const std::string mcs = generate_mcs_format(RandomBitText(kStreamBytes * 8, 1), McsBitOrder::kLsbFirst);
  std::istringstream in(mcs);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);

  ASSERT_GE(lines.size(), 4u);
  EXPECT_EQ(lines.front(), ":020000020000FC");
  EXPECT_EQ(lines.back(), ":00000001FF");
  const std::size_t full_records = kStreamBytes / 16;
  // The start record, the data records, one segment record and the end record.
  ASSERT_EQ(lines.size(), 1 + full_records + 1 + 1 + 1);
  EXPECT_EQ(lines[1 + 4096], ":020000021000EC");

  std::size_t data_bytes = 0;
  int expected_address = 0;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const Record r = ParseRecord(lines[i]);
    ASSERT_TRUE(r.well_formed) << "line " << i << ": " << lines[i];
    EXPECT_TRUE(r.checksum_ok) << "line " << i << ": " << lines[i];
    if (r.type != 0) continue;
    EXPECT_EQ(r.address, expected_address) << "line " << i;
    const bool last_data = i == lines.size() - 2;
    EXPECT_EQ(r.count, last_data ? 5 : 16) << "line " << i;
    data_bytes += r.data.size();
    expected_address = (expected_address + 16) % 0x10000;
  }
  EXPECT_EQ(data_bytes, kStreamBytes);
}

TEST(Zepa2McsRecords, NoShortRecordWhenTheStreamFillsTheLastOne) {
  const std::string mcs = generate_mcs_format(std::string(32 * 8, '1'), McsBitOrder::kLsbFirst);
  EXPECT_EQ(mcs,
            ":020000020000FC\n"
            ":10000000FFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFF00\n"
            ":10001000FFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFF0\n"
            ":00000001FF\n");
}

// GNU objcopy, an Intel HEX reader that owes nothing to this code, decodes the file back to the bytes of
// the stream packed in either bit order.
TEST(Zepa2McsRecords, ObjcopyDecodesTheStream) {
  if (std::system("objcopy --version > /dev/null 2>&1") != 0) GTEST_SKIP() << "objcopy not installed";
  const zepa::testing::TempDir temp;
  const fs::path& dir = temp.path();
  const std::string text = RandomBitText(kStreamBytes * 8 + 3, 2);
  std::string bits;
  for (char c : text) {
    if (c != '\n') bits.push_back(c);
  }
  for (McsBitOrder order : {McsBitOrder::kLsbFirst, McsBitOrder::kMsbFirst}) {
    std::string expected;
    for (std::size_t i = 0; i < bits.size(); i += 8) {
      unsigned byte = 0;
      for (std::size_t b = 0; b < 8 && i + b < bits.size(); ++b) {
        if (bits[i + b] == '1') byte |= order == McsBitOrder::kLsbFirst ? 1u << b : 0x80u >> b;
      }
      expected.push_back(static_cast<char>(byte));
    }
    const fs::path hex = dir / "stream.mcs";
    const fs::path bin = dir / "stream.bin";
    std::ofstream(hex) << generate_mcs_format(text, order);
    const std::string cmd = "objcopy -I ihex -O binary '" + hex.string() + "' '" + bin.string() + "'";
    ASSERT_EQ(std::system(cmd.c_str()), 0) << cmd;
    const std::string decoded = zepa::testing::ReadFile(bin);
    EXPECT_EQ(decoded.size(), expected.size());
    EXPECT_TRUE(decoded == expected) << "decoded bytes differ from the packed stream";
  }
}

}  // namespace
}  // namespace zepa::fusemap::zepa2
