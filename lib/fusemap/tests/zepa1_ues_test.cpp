#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "fusemap/part_table.h"
#include "fusemap/zepa1_image.h"
#include "fusemap/zepa1_map.h"

namespace zepa::fusemap {
namespace {

jcd_type Part(const char* name, std::string ues) {
  jcd_type rec;
  get_part(rec, name);
  rec.ues = std::move(ues);
  return rec;
}

// Row-41 bit ranges that carry the signature, one per logic block of a side, highest first: the ranges the
// programmer's SVF masks select when it verifies a signature.
std::vector<std::pair<int, int>> MaskRanges(int id) {
  switch (id) {
    case kZepa1_32:
      return {{119, 0}};
    case kZepa1_64:
      return {{375, 256}, {119, 0}};
    default:
      return {{890, 771}, {633, 514}, {376, 257}, {119, 0}};
  }
}

// Reads the signature bytes back out of row 41 of both sides through the mask ranges (each field from its
// top bit down, least significant character bit first) and checks every other bit of the row is a one.
std::string DecodeSignature(const Zepa1Image& image, int id) {
  std::string text;
  for (int side = 0; side < 2; ++side) {
    std::vector<bool> in_mask(static_cast<std::size_t>(image.row_length()), false);
    for (const auto& [top, bottom] : MaskRanges(id)) {
      for (int p = top; p >= bottom; p -= 8) {
        unsigned c = 0;
        for (int t = 0; t < 8; ++t) {
          c |= static_cast<unsigned>(image.RowBit(side, kZepa1UesRow, p - t)) << t;
          in_mask[static_cast<std::size_t>(p - t)] = true;
        }
        text += static_cast<char>(c);
      }
    }
    for (int j = 0; j < image.row_length(); ++j) {
      if (!in_mask[static_cast<std::size_t>(j)]) {
        EXPECT_EQ(image.RowBit(side, kZepa1UesRow, j), 1)
            << "side " << side << " bit " << j << " outside the fields";
      }
    }
  }
  return text;
}

std::string Printable(std::size_t n) {
  std::string text;
  for (std::size_t i = 0; i < n; ++i) text += static_cast<char>(33 + (i * 7) % 94);
  return text;
}

TEST(Zepa1SignatureTest, FullSignatureLandsWhereTheVerifyMasksLook) {
  // Every part, the 128-macrocell C type included: its fields are 257 bits apart like those of the others,
  // so all 120 characters sit inside row 41 at the masked positions.
  for (const char* name : {"VTL3032C", "VTL5064C", "VTL3128", "VTL3128A", "VTL5128C"}) {
    jcd_type rec = Part(name, "");
    const std::string text = Printable(static_cast<std::size_t>(rec.lb * 30));
    rec.ues = text;
    EXPECT_EQ(DecodeSignature(BuildUesImage(rec), rec.id), text) << name;
  }
}

TEST(Zepa1SignatureTest, TextEndsAtItsZeroByteOrAtTheCapacity) {
  const std::string ff(30, '\xFF');
  struct Case {
    const char* what;
    std::string ues;
    std::string expected;  // the 30 bytes of a 32-macrocell part
  };
  const std::vector<Case> cases = {
      {"short text, then a zero byte, then ones", "ABC", std::string("ABC\0", 4) + ff.substr(4)},
      {"a line end read with the text is a character", "AB\n", std::string("AB\n\0", 4) + ff.substr(4)},
      {"blank first character counts", " x", std::string(" x\0", 3) + ff.substr(3)},
      {"cut at 30 characters", Printable(35), Printable(30)},
      {"exactly 29 characters keep their zero byte", Printable(29), Printable(29) + std::string(1, '\0')},
      {"an embedded zero ends the text", std::string("AB\0CD", 5), std::string("AB\0", 3) + ff.substr(3)},
      {"empty text", "", ff},
      {"control character first", "\tABC", ff},
      {"line end only", "\n", ff},
      {"code 128 or more first",
       "\xC4"
       "ABC",
       ff},
  };
  for (const Case& c : cases) {
    const jcd_type rec = Part("VTL3032C", c.ues);
    EXPECT_EQ(DecodeSignature(BuildUesImage(rec), rec.id), c.expected) << c.what;
  }
}

TEST(Zepa1SignatureTest, LetterAOnA128MacrocellPart) {
  const jcd_type rec = Part("VTL3128", "A");
  const Zepa1Image image = BuildUesImage(rec);
  std::string left;
  for (int p = 890; p >= 867; --p) left += static_cast<char>('0' + image.RowBit(0, kZepa1UesRow, p));
  EXPECT_EQ(left, "100000100000000011111111");  // 0x41 least significant bit first, the zero byte, then ones
  for (int p = 0; p < 1028; ++p) EXPECT_EQ(image.RowBit(1, kZepa1UesRow, p), 1) << "side R bit " << p;
}

TEST(Zepa1SignatureTest, SignatureRowTakesNothingFromTheConfigurationRow) {
  // Rows 40 and 41 share image bytes; a programmed control-term or special fuse must not show up in row 41.
  jcd_type rec = Part("VTL3032C", "A");
  FuseArray fuse(rec.jed_fuse, FuseArray::Fill::kOnes);
  for (long n : {9952L, 9953L, 20541L, 20508L}) fuse.write_fuse(n, 0);
  const Zepa1Image image = BuildZepa1Image(rec, fuse);
  EXPECT_EQ(DecodeSignature(image, rec.id), std::string("A\0", 2) + std::string(28, '\xFF'));
  EXPECT_EQ(image.RowBit(0, 40, 248), 0);  // the control-term fuse did reach row 40
}

}  // namespace
}  // namespace zepa::fusemap
