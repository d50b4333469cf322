#include "fusemap/zepa3_isp.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "fusemap/fatal_error.h"
#include "testsupport/files.h"
#include "util/lines.h"

namespace zepa::fusemap {
namespace {

namespace fs = std::filesystem;

using zepa::testing::ReadFile;

TEST(Zepa3IspLine, LastBitFirstFourToADigit) {
  struct Case {
    const char* bits;
    int dr_len;
    const char* hex;
  };
  const Case cases[] = {
      {"1000", 4, "1"},         // bit 0 is the last hex bit
      {"0001", 4, "8"},         // bit 3 the first
      {"11110000", 8, "0F"},    //
      {"10000", 5, "08"},       // five bits: the last digit holds bit 0 in its high bit, zeros below
      {"00001", 5, "80"},       //
      {"0110011", 7, "CC"},     // 1100110 + pad 0
      {"111111111", 9, "FF8"},  //
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.bits);
    EXPECT_EQ(convert_bit_2_isp_line(c.bits, c.dr_len), c.hex);
  }
  for (const char* wrong : {"", "111", "11111"}) {
    try {
      convert_bit_2_isp_line(wrong, 4);
      ADD_FAILURE() << "accepted " << wrong;
    } catch (const FatalError& e) {
      EXPECT_EQ(e.code(), 501);
      EXPECT_STREQ(e.what(), "Error .bit file data length!");
    }
  }
}

// Line counts and lengths of every part's image, and the ISP fuse at bit 1 of the upper half's ISP frame.
TEST(Zepa3Image, LinesPerPartAndIspFuse) {
  struct Case {
    int id;
    int lines, digits;
    const char* isp_frame_erased;  // the upper ISP frame with the ISP fuse 1 (all ones)
    const char* isp_frame_set;     // and with it 0
  };
  const Case cases[] = {
      {144, 108, 29, "FFFFFFFFFFFFFFFFFFFFFFFFFFFFC", "FFFFFFFFFFFFFFFFFFFFFFFFFFFF4"},
      {145, 212, 31, "FFFFFFFFFFFFFFFFFFFFFFFFFFFFFFE", "FFFFFFFFFFFFFFFFFFFFFFFFFFFFFFA"},
      {148, 420, 76, nullptr, nullptr},
      {149, 420, 127, nullptr, nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.id);
    const Zepa3Map map(c.id);
    FuseArray fuse(map.geometry().FuseCount(), FuseArray::Fill::kOnes);
    const auto bit_lines = util::SplitLines(build_zepa3_image(map, fuse, "").bit_text);
    const auto isp_lines = util::SplitLines(build_zepa3_image(map, fuse, "").isp_text);
    ASSERT_EQ(static_cast<int>(bit_lines.size()), c.lines);
    ASSERT_EQ(static_cast<int>(isp_lines.size()), c.lines);
    for (int i = 0; i < c.lines; ++i) {
      ASSERT_EQ(bit_lines[static_cast<std::size_t>(i)].size(),
                static_cast<std::size_t>(map.geometry().DR_LEN));
      ASSERT_EQ(isp_lines[static_cast<std::size_t>(i)].size(), static_cast<std::size_t>(c.digits));
    }
    if (c.isp_frame_erased == nullptr) continue;
    const std::size_t isp_frame = static_cast<std::size_t>(c.lines) - 2;
    EXPECT_EQ(isp_lines[isp_frame], c.isp_frame_erased);
    fuse.write_fuse(map.geometry().ISP_FUSEJADDR, 0);
    const auto set_lines = util::SplitLines(build_zepa3_image(map, fuse, "").isp_text);
    EXPECT_EQ(set_lines[isp_frame], c.isp_frame_set);
    EXPECT_EQ(util::SplitLines(build_zepa3_image(map, fuse, "").bit_text)[isp_frame].substr(0, 3), "101");
  }
}

// A data frame shows its fuses: clearing one fuse clears exactly the bit that carries it (and the unclaimed
// bits after it that repeat it).
TEST(Zepa3Image, DataFrameShowsItsFuses) {
  const Zepa3Map map(144);
  FuseArray fuse(map.geometry().FuseCount(), FuseArray::Fill::kOnes);
  fuse.write_fuse(400, 0);   // PLA AND of block 0, upper half, column 0, bit 18
  const int frame = 54 + 0;  // upper half, column 0
  const std::string line = printout_zepa3_data_map(map, frame, fuse);
  EXPECT_EQ(line.find('0'), 18u);
  EXPECT_EQ(line.rfind('0'), 18u);

  fuse.write_fuse(11514,
                  0);  // global control-term mux row 0, column 2: column 24, bit 2, repeated up to bit 17
  const std::string repeated = printout_zepa3_data_map(map, 54 + 24, fuse);
  EXPECT_EQ(repeated.substr(0, 19), "1100000000000000001");
}

TEST(Zepa3Image, SignatureFrames) {
  const Zepa3Map map(144);  // runs 5..9, 66..105, 106..113; 53 signature bits per half
  std::string expected_low(114, '1');
  // 'A' = 01000001, 'B' = 01000010: five bits in 5..9, the other eleven from 66 on.
  const std::string ab = "0100000101000010";
  for (int i = 0; i < 5; ++i) expected_low[static_cast<std::size_t>(5 + i)] = ab[static_cast<std::size_t>(i)];
  for (int i = 5; i < 16; ++i)
    expected_low[static_cast<std::size_t>(61 + i)] = ab[static_cast<std::size_t>(i)];
  // The chain file's line end is not part of the text; a text without one loses nothing.
  for (const char* ues : {"AB\n", "AB\r\n", "AB"}) {
    SCOPED_TRACE(::testing::PrintToString(std::string(ues)));
    EXPECT_EQ(printout_zepa3_ues_field(map, 0, ues), expected_low);
    EXPECT_EQ(printout_zepa3_ues_field(map, 1, ues), std::string(114, '1'));
  }
  EXPECT_EQ(printout_zepa3_ues_field(map, 0, ""), std::string(114, '1'));

  // At most 106 / 8 = 13 characters: the upper half holds signature bits 53..105, of which 104 and 105
  // lie past the thirteenth character and stay 1.
  const std::string zeros(20, '\0');
  const std::string upper = printout_zepa3_ues_field(map, 1, zeros);
  std::string expected_up(114, '1');
  for (int b = 5; b <= 9; ++b) expected_up[static_cast<std::size_t>(b)] = '0';
  for (int b = 66; b <= 111; ++b) expected_up[static_cast<std::size_t>(b)] = '0';
  EXPECT_EQ(upper, expected_up);

  // The image carries the signature frames as the last frame of each half.
  FuseArray fuse(map.geometry().FuseCount(), FuseArray::Fill::kOnes);
  const auto lines = util::SplitLines(build_zepa3_image(map, fuse, "AB\n").bit_text);
  EXPECT_EQ(lines[53], expected_low);
  EXPECT_EQ(lines[107], std::string(114, '1'));
}

TEST(Zepa3Image, BaseName) {
  struct Case {
    const char* jed;
    const char* cmnd;
    const char* expected;  // nullptr: nothing is written
  };
  const Case cases[] = {
      {"C:\\work\\design.bin", "PV", "C:\\work\\design"},
      {"designs/v1.2/top.bin", "PR", "designs/v1.2/top"},
      {"designs/v1.2/top", "PR", "designs/v1.2/top"},  // a '.' in a folder is not an extension
      {"", "PU", "/opt/zepa/tempues"},
      {"", "ru", "/opt/zepa/tempues"},
      {"top.bin", "PU", "top"},  // a design wins over tempues
      {"", "PR", nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.jed + std::string(" ") + c.cmnd);
    jcd_type rec;
    get_cmnd(rec, c.cmnd);
    const auto base = get_base_name(rec, c.jed, "/opt/zepa/");
    if (c.expected == nullptr) {
      EXPECT_FALSE(base.has_value());
    } else {
      ASSERT_TRUE(base.has_value());
      EXPECT_EQ(*base, c.expected);
    }
  }
}

class Zepa3Files : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = temp_.emplace().path();
    get_part(rec_, "VTL3032XL");
    get_cmnd(rec_, "PV");
  }
  void TearDown() override { temp_.reset(); }

  std::optional<zepa::testing::TempDir> temp_;

  fs::path dir_;
  jcd_type rec_;
};

TEST_F(Zepa3Files, WritesBitAndIspBesideTheDesign) {
  FuseArray fuse(rec_.jed_fuse, FuseArray::Fill::kOnes);
  rec_.ues = "AB\n";
  const std::string jed = (dir_ / "design.bin").string();
  const auto base = assemble_zepa3_frame(rec_, fuse, jed, "/nowhere/");
  ASSERT_TRUE(base.has_value());
  const Zepa3Image image = build_zepa3_image(Zepa3Map(144), fuse, "AB\n");
  EXPECT_EQ(ReadFile(dir_ / "design.bit"), image.bit_text);
  EXPECT_EQ(ReadFile(dir_ / "design.isp"), image.isp_text);
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 2);
}

TEST_F(Zepa3Files, SignatureOnlyDeviceWritesTempues) {
  get_cmnd(rec_, "PU");
  FuseArray fuse(rec_.jed_fuse, FuseArray::Fill::kOnes);
  ASSERT_TRUE(assemble_zepa3_frame(rec_, fuse, "", dir_.string() + "/").has_value());
  EXPECT_TRUE(fs::exists(dir_ / "tempues.isp"));
  EXPECT_TRUE(fs::exists(dir_ / "tempues.bit"));

  get_cmnd(rec_, "PR");
  EXPECT_FALSE(assemble_zepa3_frame(rec_, fuse, "", dir_.string() + "/other").has_value());
  EXPECT_FALSE(fs::exists(dir_ / "othertempues.isp"));
}

TEST_F(Zepa3Files, UnwritableFolderFailsWith904AndLeavesNothing) {
  FuseArray fuse(rec_.jed_fuse, FuseArray::Fill::kOnes);
  try {
    assemble_zepa3_frame(rec_, fuse, (dir_ / "missing" / "design.bin").string(), "");
    FAIL() << "no error";
  } catch (const FatalError& e) {
    EXPECT_EQ(e.code(), 904);
    EXPECT_NE(std::string(e.what()).find("design.bit"), std::string::npos);
  }
  EXPECT_TRUE(fs::is_empty(dir_));
}

}  // namespace
}  // namespace zepa::fusemap
