// The pieces every SVF block is made of: ones in hex, the wrapped expected-ones value, the hex digits of a
// scan value, the header and trailer statements over a chain, and the ZEPA1 row layout.
#include "svf/svf_writer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "svf/tests/svf_rig.h"
#include "svf/zepa1_svf.h"

namespace zepa::svf {
namespace {

using Lines = std::vector<std::string>;
using testing::SplitCrLf;

TEST(SvfHex, OnesHexHasExactlyNOneBitsInTheFewestDigits) {
  const std::vector<std::pair<int, std::string>> cases = {
      {0, ""}, {1, "1"}, {2, "3"}, {3, "7"}, {4, "F"}, {5, "1F"}, {8, "FF"}, {13, "1FFF"}, {20, "FFFFF"}};
  for (const auto& [n, text] : cases) EXPECT_EQ(OnesHex(n), text) << n;
}

TEST(SvfHex, WriteOnesTdoBreaksTheLineAfterEvery60thF) {
  const std::string f60(60, 'F');
  const std::string wrap = "\r\n" + std::string(13, ' ');
  const std::vector<std::pair<int, std::string>> cases = {
      {4, "F"},
      {1, "1"},
      {255, "7" + f60 + wrap + "FFF"},
      {240, f60 + wrap},  // the break follows the last F; the caller goes on after the blanks
      {1028, f60 + wrap + f60 + wrap + f60 + wrap + f60 + wrap + std::string(17, 'F')},
  };
  for (const auto& [n, text] : cases) {
    SvfText out("unused", 1);
    WriteOnesTdo(out, n);
    EXPECT_EQ(out.text(), text) << n;
  }
}

TEST(SvfHex, HexDigitsPutBitZeroInTheLastDigitsLowBit) {
  const std::vector<std::pair<ScanBits, std::string>> cases = {
      {{true}, "1"},
      {{false, false, false, false, true}, "10"},
      {{true, false, true, true, false, true, false}, "2D"},
      {ScanBits(9, true), "1FF"},
  };
  for (const auto& [bits, text] : cases) EXPECT_EQ(HexDigits(bits), text);
}

struct HeaderCase {
  const char* name;
  std::vector<int> ir_lengths;
  int device;
  bool allow_trst;
  Lines expected;
};

TEST(SvfHeader, StepsOverTheDevicesBeforeAndAfterTheTarget) {
  const std::vector<HeaderCase> cases = {
      {"one device with TRST",
       {4},
       1,
       true,
       {"TRST ABSENT;                         !No TRSTn Signal",
        "HIR 0;                        !0-bit IR header", "HDR 0;                        !0-bit DR header",
        "TIR 0;                        !0-bit IR trailer",
        "TDR 0;                        !0-bit DR trailer"}},
      {"middle of 4/5/4",
       {4, 5, 4},
       2,
       true,
       {"HIR 4 TDI (F);                     !4-bit IR header",
        "HDR 1 TDI (1) TDO (0) MASK(0);       !1-bit DR header",
        "TIR 4 TDI (F);                     !4-bit IR trailer",
        "TDR 1 TDI (1) TDO (0) MASK(0);        !1-bit DR trailer"}},
      {"first of three, TRST not allowed",
       {4, 16, 4},
       1,
       false,
       {"HIR 20 TDI (FFFFF);                     !20-bit IR header",
        "HDR 2 TDI (3) TDO (0) MASK(0);       !2-bit DR header",
        "TIR 0;                        !0-bit IR trailer",
        "TDR 0;                        !0-bit DR trailer"}},
      {"last of five",
       {4, 5, 7, 4, 5},
       5,
       true,
       {"HIR 0;                        !0-bit IR header", "HDR 0;                        !0-bit DR header",
        "TIR 20 TDI (FFFFF);                     !20-bit IR trailer",
        "TDR 4 TDI (F) TDO (0) MASK(0);        !4-bit DR trailer"}},
  };
  for (const HeaderCase& c : cases) {
    engine::ChainState chain;
    chain.DeviceCount = static_cast<int>(c.ir_lengths.size());
    for (std::size_t i = 0; i < c.ir_lengths.size(); ++i)
      chain.Rec(static_cast<int>(i) + 1).IR_len = c.ir_lengths[i];
    SvfText out("unused", c.device);
    WriteSvfHeader(out, chain, c.device, c.allow_trst);
    Lines lines = SplitCrLf(out.text());
    EXPECT_EQ(lines, c.expected) << c.name;
  }
}

// How many digits stand on each line of a row value.
std::vector<std::size_t> DigitsPerLine(const std::string& text) {
  std::vector<std::size_t> counts;
  for (const std::string& line : SplitCrLf(text)) {
    std::size_t digits = 0;
    for (char ch : line) digits += std::isxdigit(static_cast<unsigned char>(ch)) ? 1 : 0;
    counts.push_back(digits);
  }
  return counts;
}

TEST(Zepa1RowHex, LaysRowsOutFromTheLeastSignificantEnd) {
  struct Case {
    int length;
    bool with_address;
    std::vector<std::size_t> digits;
  };
  const std::vector<Case> cases = {
      {1028, true, {59, 60, 60, 60, 20}},
      {1028, false, {57, 60, 60, 60, 20}},
      {512, true, {50, 60, 20}},
      {512, false, {48, 60, 20}},
      {255, true, {46, 20}},
      {255, false, {44, 20}},
  };
  engine::BitBuffer image("test image");
  image.Fill(0xFF);
  for (const Case& c : cases) {
    SvfText out("unused", 1);
    out.Put("SDR x TDI (");
    WriteZ1RowHex(out, Zepa1RowValue(image, 0, c.length, c.with_address), c.length);
    EXPECT_EQ(DigitsPerLine(out.text().substr(11)), c.digits) << c.length << " " << c.with_address;
    for (const std::string& line : SplitCrLf(out.text()).size() > 1 ? SplitCrLf(out.text()) : Lines{}) {
      if (line.rfind("SDR", 0) == 0) continue;
      EXPECT_EQ(line.substr(0, 15), std::string(14, ' ') + "F") << "continuation lines start with 14 blanks";
    }
  }
  SvfText other("unused", 1);
  WriteZ1RowHex(other, Zepa1RowValue(image, 0, 300, true), 300);
  EXPECT_EQ(other.text(), "") << "a row length without a layout writes nothing";
}

TEST(Zepa1RowValue, CarriesTheImageRowThenTheReversedAddress) {
  engine::BitBuffer image("test image");
  // Row 43 of a 255-bit part: only its first bit set.
  image.SetBit(43L * 255, true);
  const ScanBits row = Zepa1RowValue(image, 43, 255, true);
  ASSERT_EQ(row.size(), 262u);
  EXPECT_TRUE(row[0]);
  // Row 43 is address 64: bit 6 set, which is the first address bit after the data.
  EXPECT_EQ(HexDigits(ScanBits(row.begin() + 255, row.end())), "01");
  EXPECT_EQ(HexDigits(ScanBits(row.begin(), row.begin() + 255)),
            "0000000000000000000000000000000000000000000000000000000000000001");

  // The security row for sec_pos 0, L = 255: bit 254 clear, then address 7Ch (1,1,1,1,1,0,0).
  const ScanBits security = Zepa1SecurityValue(255, 0);
  EXPECT_FALSE(security[254]);
  EXPECT_TRUE(security[0] && security[253]);
  EXPECT_EQ(ScanBits(security.begin() + 255, security.end()),
            (ScanBits{true, true, true, true, true, false, false}));
}

}  // namespace
}  // namespace zepa::svf
