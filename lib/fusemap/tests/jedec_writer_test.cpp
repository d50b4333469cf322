#include "fusemap/jedec_writer.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <vector>

#include "fusemap/fatal_error.h"
#include "testsupport/files.h"

namespace zepa::fusemap {
namespace {

namespace fs = std::filesystem;

using zepa::testing::ReadFile;

const JedecHeader kHeader{"design.jed", "Wed Jun 30 21:49:08 1993", "VTL3032XL"};

TEST(JedecText, LayoutOfHeaderSectionsAndChecksum) {
  FuseArray fuse(20, FuseArray::Fill::kZeros);
  for (long n : {0L, 9L, 15L, 17L}) fuse.write_fuse(n, 1);
  const std::vector<JedecSection> sections = {
      {"Note First *", 0, 2, 8},
      {"Note Empty *", 16, 0, 4},
      {"Note Last *", 16, 1, 4},
  };
  // Checksum: fuse 0 -> 1, fuse 9 -> 2, fuse 15 -> 128, fuse 17 -> 2: 0x0085.
  const std::string expected =
      "\x02 Chip readback JEDECFILE:design.jed Created on:Wed Jun 30 21:49:08 1993\n"
      "NOTE DEVICE VTL3032XL*\n"
      "QF20* F0*\n"
      "QV0* X0*\n"
      "\nNote First *"
      "\nL000000 10000000*"
      "\nL000008 01000001*"
      "\n\nNote Empty *"
      "\n\nNote Last *"
      "\nL000016 0100*"
      "\n"
      "\nC0085*\n";
  EXPECT_EQ(jedec_text(fuse, kHeader, sections), expected);
}

// The checksum line sums every fuse of the array, eight fuses to a byte with the first in the low bit, modulo
// 65536.
TEST(JedecText, ChecksumLine) {
  struct Case {
    long count;
    FuseArray::Fill fill;
    const char* line;
  };
  const Case cases[] = {
      {11529, FuseArray::Fill::kZeros, "\nC0000*\n"},
      // 1441 full bytes of FF and one fuse: 1441 * 255 + 1 = 367456 = 5 * 65536 + 0x9B60.
      {11529, FuseArray::Fill::kOnes, "\nC9B60*\n"},
      {3, FuseArray::Fill::kOnes, "\nC0007*\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.count);
    const FuseArray fuse(c.count, c.fill);
    const std::string text = jedec_text(fuse, kHeader, {});
    EXPECT_EQ(text.substr(text.size() - 8), c.line);
  }
}

TEST(JedecText, CtimeLayout) {
  ASSERT_EQ(setenv("TZ", "UTC0", 1), 0);
  tzset();
  EXPECT_EQ(CtimeText(741476948), "Wed Jun 30 21:49:08 1993");
  EXPECT_EQ(CtimeText(0), "Thu Jan  1 00:00:00 1970");
}

TEST(JedecName, FromTheImageName) {
  struct Case {
    const char* image;
    int chip_flag;
    const char* expected;  // nullptr: no name
  };
  const Case cases[] = {
      {"design.isp", 0, "design.jed"}, {"design.isp", 1, "design_chip.jed"},
      {"design.isp", 2, "design.jed"}, {"C:\\Work\\Top.v2.rd", 1, "C:\\Work\\Top.v2_chip.jed"},
      {"dir.d/readback", 0, nullptr},  {"readback", 0, nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.image);
    const auto name = readback_jedec_name(c.image, c.chip_flag);
    if (c.expected == nullptr) {
      EXPECT_FALSE(name.has_value());
    } else {
      EXPECT_EQ(name.value_or("-"), c.expected);
    }
  }
}

class JedecFiles : public ::testing::Test {
 protected:
  void SetUp() override { dir_ = temp_.emplace().path(); }
  void TearDown() override { temp_.reset(); }
  std::optional<zepa::testing::TempDir> temp_;
  fs::path dir_;
};

TEST_F(JedecFiles, WritesJedecAndChecksumFile) {
  FuseArray fuse(16, FuseArray::Fill::kOnes);
  const std::vector<JedecSection> sections = {{"Note All *", 0, 2, 8}};
  const auto sum =
      fuse2jed(fuse, kHeader, sections, (dir_ / "d.jed").string(), (dir_ / "chksum.chk").string());
  EXPECT_EQ(sum, 0x01FE);
  EXPECT_EQ(ReadFile(dir_ / "d.jed"), jedec_text(fuse, kHeader, sections));
  EXPECT_EQ(ReadFile(dir_ / "chksum.chk"), "01FE");
}

TEST_F(JedecFiles, FailedJedecLeavesNoChecksumFile) {
  FuseArray fuse(16, FuseArray::Fill::kOnes);
  try {
    fuse2jed(fuse, kHeader, {}, (dir_ / "missing" / "d.jed").string(), (dir_ / "chksum.chk").string());
    FAIL() << "no error";
  } catch (const FatalError& e) {
    EXPECT_EQ(e.code(), 904);
    EXPECT_NE(std::string(e.what()).find("d.jed"), std::string::npos);
  }
  EXPECT_TRUE(fs::is_empty(dir_));
}

}  // namespace
}  // namespace zepa::fusemap
