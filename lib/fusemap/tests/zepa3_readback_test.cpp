#include "fusemap/zepa3_readback.h"

#include <gtest/gtest.h>

#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "fusemap/fatal_error.h"
#include "fusemap/tests/support/jedec_gen.h"
#include "fusemap/zepa3_isp.h"

namespace zepa::fusemap {
namespace {

constexpr int kZepa3Parts[] = {144, 145, 146, 148, 149};

// An image built from random fuses and read back gives every fuse a frame bit carries; any other fuse stays
// 0.
TEST(Zepa3Readback, ImageOfRandomFusesReadsBackToTheSameFuses) {
  for (int id : kZepa3Parts) {
    SCOPED_TRACE(id);
    const Zepa3Map map(id);
    const long count = map.geometry().FuseCount();
    const FuseArray design = testing::RandomFuses(count, static_cast<unsigned>(id));
    std::istringstream image(build_zepa3_image(map, design, "signature\n").isp_text);

    FuseArray back(count, FuseArray::Fill::kZeros);
    std::ostringstream messages;
    const auto report = Isp2Fuse(map, image, "design.isp", back, messages);
    EXPECT_EQ(report.invalid_digits, 0);
    EXPECT_EQ(messages.str(), "");

    std::vector<bool> carried(static_cast<std::size_t>(count), false);
    for (int f = 0; f < map.frame_count(); ++f) {
      for (const auto& b : map.bits(f)) {
        if (b.ReadsBack()) carried[static_cast<std::size_t>(b.fuse)] = true;
      }
    }
    long wrong = 0;
    for (long n = 0; n < count; ++n) {
      const int expected = carried[static_cast<std::size_t>(n)] ? design.read_fuse(n) : 0;
      wrong += back.read_fuse(n) != expected;
    }
    EXPECT_EQ(wrong, 0);
    EXPECT_EQ(back.Checksum(), design.Checksum());
  }
}

TEST(Zepa3Readback, HexLineToFrameBits) {
  std::vector<std::size_t> invalid;
  // Frame bit i is hex bit dr_len - 1 - i: "08" with 5 bits is 0000 1000 -> hex bits 00001 -> frame 10000.
  EXPECT_EQ(get_ispFile_bit("08", 5, invalid), (std::vector<std::uint8_t>{1, 0, 0, 0, 0}));
  EXPECT_EQ(get_ispFile_bit("80", 5, invalid), (std::vector<std::uint8_t>{0, 0, 0, 0, 1}));
  EXPECT_EQ(get_ispFile_bit("c", 4, invalid), (std::vector<std::uint8_t>{0, 0, 1, 1}));     // lower case
  EXPECT_EQ(get_ispFile_bit("1xyz", 4, invalid), (std::vector<std::uint8_t>{1, 0, 0, 0}));  // tail ignored
  EXPECT_TRUE(invalid.empty());

  // A character that is not a digit gives four 0 bits and is reported by its position.
  EXPECT_EQ(get_ispFile_bit("FGF", 12, invalid),
            (std::vector<std::uint8_t>{1, 1, 1, 1, 0, 0, 0, 0, 1, 1, 1, 1}));
  EXPECT_EQ(invalid, std::vector<std::size_t>{1});

  EXPECT_THROW(get_ispFile_bit("FF", 12, invalid), FatalError);
}

class Zepa3ReadbackErrors : public ::testing::Test {
 protected:
  Zepa3ReadbackErrors() : map_(144), design_(testing::RandomFuses(11529, 7)) {
    std::istringstream in(build_zepa3_image(map_, design_, "").isp_text);
    for (std::string l; std::getline(in, l);) lines_.push_back(l);
  }

  std::string Join(const std::vector<std::string>& lines, const char* eol = "\n") const {
    std::string out;
    for (const auto& l : lines) out += l + eol;
    return out;
  }

  // Reads `text` back; returns the fatal error code (0 when none).
  int ReadBack(const std::string& text) {
    std::istringstream in(text);
    back_ = FuseArray(11529, FuseArray::Fill::kZeros);
    messages_.str("");
    try {
      report_ = Isp2Fuse(map_, in, "chip.rd", back_, messages_);
    } catch (const FatalError& e) {
      error_ = e.what();
      return e.code();
    }
    return 0;
  }

  Zepa3Map map_;
  FuseArray design_;
  std::vector<std::string> lines_;
  FuseArray back_{0, FuseArray::Fill::kZeros};
  std::ostringstream messages_;
  Zepa3ReadbackReport report_;
  std::string error_;
};

TEST_F(Zepa3ReadbackErrors, WindowsLineEndsAndExtraLinesAreAccepted) {
  auto lines = lines_;
  lines.push_back("trailing garbage past the last frame");
  EXPECT_EQ(ReadBack(Join(lines, "\r\n")), 0);
  EXPECT_EQ(back_.Checksum(), design_.Checksum());
}

TEST_F(Zepa3ReadbackErrors, SignatureLinesAreNotRead) {
  auto lines = lines_;
  lines[53] = "not hex at all";
  lines[107] = "";
  EXPECT_EQ(ReadBack(Join(lines)), 0);
  EXPECT_EQ(messages_.str(), "");
  EXPECT_EQ(back_.Checksum(), design_.Checksum());
}

TEST_F(Zepa3ReadbackErrors, ImageEndingEarlyIsFatal) {
  auto lines = lines_;
  lines.resize(106);  // the upper ISP frame and signature are missing
  EXPECT_EQ(ReadBack(Join(lines)), 501);
  EXPECT_NE(error_.find("chip.rd"), std::string::npos);
  EXPECT_NE(error_.find("108 frames"), std::string::npos);
  EXPECT_EQ(ReadBack(""), 501);
}

TEST_F(Zepa3ReadbackErrors, ShortLineIsFatal) {
  auto lines = lines_;
  lines[3].pop_back();
  EXPECT_EQ(ReadBack(Join(lines)), 501);
  EXPECT_NE(error_.find("chip.rd line 4"), std::string::npos);
}

TEST_F(Zepa3ReadbackErrors, InvalidDigitReadsAsZeroAndIsReported) {
  auto lines = lines_;
  lines[0][0] = 'Z';  // hex bits 0..3 of the first frame = frame bits 113..110, all PLA OR/AND bits
  EXPECT_EQ(ReadBack(Join(lines)), 0);
  EXPECT_EQ(report_.invalid_digits, 1);
  EXPECT_EQ(messages_.str().rfind("Non-valid hex number Z in bit stream.\n", 0), 0u);
  EXPECT_NE(messages_.str().find("chip.rd line 1, character 1"), std::string::npos);
  const auto frame = map_.bits(0);
  for (int bit = 110; bit < 114; ++bit) EXPECT_EQ(back_.read_fuse(frame[bit].fuse), 0) << bit;
  EXPECT_EQ(back_.read_fuse(frame[109].fuse), design_.read_fuse(frame[109].fuse));
}

// The sections print every fuse once, in fuse order, block by block.
TEST(Zepa3Sections, TileTheWholeFuseArray) {
  for (int id : kZepa3Parts) {
    SCOPED_TRACE(id);
    const ZEPA3_type& g = *load_ZEPA3_jed_struct(id);
    const auto sections = zepa3_jedec_sections(g);
    ASSERT_EQ(sections.size(), static_cast<std::size_t>(7 * g.LOGIC_BLOCK_COUNT + 3));
    long next = 0;
    for (const auto& s : sections) {
      if (s.rows > 0) {
        EXPECT_EQ(s.first_fuse, next) << s.title;
      }
      next += static_cast<long>(s.rows) * s.width;
    }
    EXPECT_EQ(next, g.FuseCount());
  }
  const auto s = zepa3_jedec_sections(*load_ZEPA3_jed_struct(146));
  EXPECT_EQ(s[0].title, "Note Block 0 ZIA *");
  EXPECT_EQ(s[7 + 6].title, "Note Block 1 Buried Macrocell Configuration 21 bits *");
  EXPECT_EQ(s[7 + 6].rows, 3);
  EXPECT_EQ(s[56].title, "Note Global Control Term Mux *");
  EXPECT_EQ(s[57].title, "Note Dedicated Input Mux *");
  EXPECT_EQ(s[58].title, "Note ISP bit *");
}

}  // namespace
}  // namespace zepa::fusemap
