#include "fusemap/zepa1_image.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "fusemap/part_table.h"
#include "fusemap/zepa1_map.h"

namespace zepa::fusemap {
namespace {

jcd_type Part(const char* name) {
  jcd_type rec;
  get_part(rec, name);
  return rec;
}

struct RowBit {
  int side, row, pos;
  bool operator==(const RowBit&) const = default;
};

std::vector<RowBit> ZeroBits(const Zepa1Image& image) {
  std::vector<RowBit> zeros;
  for (int side = 0; side < 2; ++side) {
    for (int row = 0; row < kZepa1Rows; ++row) {
      for (int j = 0; j < image.row_length(); ++j) {
        if (image.RowBit(side, row, j) == 0) zeros.push_back({side, row, j});
      }
    }
  }
  return zeros;
}

TEST(Zepa1ImageTest, AllOnesDesignGivesOnesAfterThePartCode) {
  struct Case {
    const char* part;
    char code;
    std::size_t size;
    unsigned char last;
  };
  const std::vector<Case> cases = {
      {"VTL3032C", '3', 2743, 0xC0},  {"VTL5064C", 'U', 5505, 0xFF},  {"VTL3128", 'w', 11052, 0xFF},
      {"VTL5128C", 'x', 11052, 0xFF}, {"VTL3128A", 'y', 11052, 0xFF},
  };
  for (const Case& c : cases) {
    const jcd_type rec = Part(c.part);
    const std::string bytes =
        BuildZepa1Image(rec, FuseArray(rec.jed_fuse, FuseArray::Fill::kOnes)).FileBytes();
    ASSERT_EQ(bytes.size(), c.size) << c.part;
    EXPECT_EQ(bytes.front(), c.code) << c.part;
    EXPECT_EQ(static_cast<unsigned char>(bytes.back()), c.last) << c.part;
    EXPECT_EQ(bytes.find_first_not_of('\xFF', 1), c.last == 0xFF ? std::string::npos : c.size - 1) << c.part;
  }
}

TEST(Zepa1MapTest, EveryFuseOfThePartHasExactlyOneRowBit) {
  for (const char* name : {"VTL3032C", "VTL5064C", "VTL3128", "VTL5128C", "VTL3128A"}) {
    const jcd_type rec = Part(name);
    const std::vector<std::int32_t> map = Zepa1StreamMap(rec.id);
    ASSERT_EQ(static_cast<long>(map.size()), rec.stream_len) << name;
    std::vector<int> uses(static_cast<std::size_t>(rec.jed_fuse), 0);
    long constants = 0;
    for (std::int32_t source : map) {
      if (source < 0) {
        ++constants;
      } else {
        ASSERT_LT(source, rec.jed_fuse) << name;
        ++uses[static_cast<std::size_t>(source)];
      }
    }
    for (long n = 0; n < rec.jed_fuse; ++n)
      ASSERT_EQ(uses[static_cast<std::size_t>(n)], 1) << name << " fuse " << n;
    EXPECT_EQ(constants, rec.stream_len - rec.jed_fuse) << name;
  }
  EXPECT_THROW(Zepa1StreamMap(kVtl3320), std::invalid_argument);
}

struct FuseCase {
  const char* part;
  long fuse;
  RowBit at;
  const char* what;
};

TEST(Zepa1ImageTest, AProgrammedFuseClearsExactlyItsRowBit) {
  constexpr int L = 0, R = 1;
  const std::vector<FuseCase> cases = {
      {"VTL3128A", 67701, {L, 0, 0}, "block G, map 1, term 79: first of the pair"},
      {"VTL3128A", 67700, {L, 0, 1}, "block G, map 1, term 79: second of the pair"},
      {"VTL3128A", 70355, {L, 0, 14}, "block G, sum-term row 0, column 15"},
      {"VTL3128A", 10150, {L, 0, 1027}, "block B, map 0, term 0, pair 0"},
      {"VTL3128A", 10151, {L, 0, 1026}, "its partner"},
      {"VTL3128A", 10160, {L, 5, 1027}, "pair 5 in row 5"},
      {"VTL3128A", 70387, {L, 3, 14}, "pattern 1: row 3 carries sum-term row 2"},
      {"VTL3128A", 70851, {L, 39, 14}, "pattern 1: row 39 carries sum-term row 31"},
      {"VTL3128A", 82567, {L, 7, 120}, "block G, map 4 group 4, row 7"},
      {"VTL3128A", 71048, {L, 40, 0}, "odd macrocell 15 starts with bit 10"},
      {"VTL3128A", 82913, {L, 40, 12}, "odd macrocell 15 ends with its extra fuse"},
      {"VTL3128A", 82912, {L, 40, 17}, "even macrocell 14 starts with its extra fuse"},
      {"VTL3128A", 71026, {L, 40, 18}, "even macrocell 14, then bit 0"},
      {"VTL3128A", 70857, {L, 40, 245}, "control term 5 of block G"},
      {"VTL3128A", 82801, {R, 40, 768}, "first special fuse, block D"},
      {"VTL3128A", 82800, {R, 40, 769}, "second special fuse"},
      {"VTL3128", 82801, {R, 40, 768}, "first special fuse of the 82802-fuse part"},
      {"VTL5128C", 82801, {R, 40, 511}, "first special fuse, block E"},
      {"VTL5128C", 82800, {R, 40, 512}, "second special fuse"},
      {"VTL5128C", 70419, {L, 6, 14}, "pattern 2: row 6 carries sum-term row 4"},
      {"VTL5128C", 70403, {L, 3, 14}, "pattern 2: row 3 carries sum-term row 3"},
      {"VTL5064C", 27101, {L, 0, 0}, "block C, first tables: map 1, term 79"},
      {"VTL5064C", 27100, {L, 0, 1}, "its partner"},
      {"VTL5064C", 801, {R, 0, 256}, "block A, second tables: map 1, term 4"},
      {"VTL5064C", 800, {R, 0, 257}, "its partner"},
      {"VTL5064C", 9504, {R, 6, 270}, "block A, pattern 2: row 6 carries sum-term row 4"},
      {"VTL5064C", 41305, {R, 40, 509}, "first special fuse, block A"},
      {"VTL5064C", 41240, {R, 40, 510}, "second special fuse"},
      {"VTL5064C", 9968, {R, 40, 256}, "block A macrocell 0 counts as odd"},
      {"VTL5064C", 41241, {R, 40, 268}, "and ends with its extra fuse"},
      {"VTL5064C", 20118, {L, 40, 256}, "block B macrocell 0 counts as odd"},
      {"VTL5064C", 30448, {L, 40, 0}, "block C macrocell 15 is odd"},
      {"VTL5064C", 41288, {L, 40, 12}, "and ends with its extra fuse"},
      {"VTL3032C", 0, {L, 0, 254}, "block A, map 0, term 0, pair 0"},
      {"VTL3032C", 1, {L, 0, 253}, "its partner"},
      {"VTL3032C", 10134, {R, 0, 254}, "block B, map 0, term 0, pair 0"},
      {"VTL3032C", 20357, {L, 9, 120}, "block A, map 4 group 2, row 9"},
      {"VTL3032C", 10132, {L, 40, 0}, "odd macrocell 15, 11 fuses apart"},
      {"VTL3032C", 20524, {L, 40, 11}, "and its extra fuse"},
      {"VTL3032C", 20523, {L, 40, 18}, "even macrocell 14 starts with its extra fuse"},
      {"VTL3032C", 10112, {L, 40, 19}, "then bit 0"},
      {"VTL3032C", 20541, {R, 40, 252}, "first special fuse, block B"},
      {"VTL3032C", 20508, {R, 40, 253}, "second special fuse"},
  };
  for (const FuseCase& c : cases) {
    const jcd_type rec = Part(c.part);
    FuseArray fuse(rec.jed_fuse, FuseArray::Fill::kOnes);
    fuse.write_fuse(c.fuse, 0);
    const std::vector<RowBit> zeros = ZeroBits(BuildZepa1Image(rec, fuse));
    ASSERT_EQ(zeros.size(), 1u) << c.part << " fuse " << c.fuse << " (" << c.what << ")";
    EXPECT_EQ(zeros[0], c.at) << c.part << " fuse " << c.fuse << " (" << c.what << ") landed at side "
                              << zeros[0].side << " row " << zeros[0].row << " bit " << zeros[0].pos;
  }
}

TEST(Zepa1ImageTest, ConstantBitsStayOnesWhenEveryFuseIsProgrammed) {
  struct Case {
    const char* part;
    RowBit at;
    int value;
    const char* what;
  };
  const std::vector<Case> cases = {
      {"VTL3128A", {0, 2, 14}, 1, "pattern 1 gap row 2"},
      {"VTL3128A", {0, 2, 3 * 257 + 15}, 1, "pattern 1 gap row 2, last slot"},
      {"VTL3128A", {1, 33, 14}, 1, "pattern 1 gap row 33"},
      {"VTL3128A", {0, 4, 14}, 0, "row 4 is no gap in pattern 1"},
      {"VTL3032C", {0, 13, 14}, 1, "pattern 1 gap row 13"},
      {"VTL5128C", {0, 4, 14}, 1, "pattern 2 gap row 4"},
      {"VTL5128C", {0, 35, 15}, 1, "pattern 2 gap row 35"},
      {"VTL5128C", {0, 2, 14}, 0, "row 2 is no gap in pattern 2"},
      {"VTL5064C", {0, 19, 14}, 1, "pattern 2 gap row 19, first tables"},
      {"VTL5064C", {0, 29, 256 + 14}, 1, "pattern 2 gap row 29, second tables"},
      {"VTL3128A", {1, 40, 770}, 1, "the constant after the special fuses"},
      {"VTL3128A", {0, 40, 13}, 1, "constant bits between macrocells"},
      {"VTL3128A", {1, 41, 500}, 1, "signature row without a signature"},
      {"VTL3032C", {1, 42, 254}, 1, "row 42"},
  };
  for (const Case& c : cases) {
    const jcd_type rec = Part(c.part);
    const Zepa1Image image = BuildZepa1Image(rec, FuseArray(rec.jed_fuse, FuseArray::Fill::kZeros));
    EXPECT_EQ(image.RowBit(c.at.side, c.at.row, c.at.pos), c.value) << c.part << ": " << c.what;
  }
}

TEST(Zepa1ImageTest, ThePlain128PartShiftsOnesForTheExtraMacrocellFuses) {
  // The 82802-fuse part has no extra macrocell fuses: whatever an array holds past fuse 82801 is not read.
  const jcd_type plain = Part("VTL3128");
  const jcd_type with_extra = Part("VTL3128A");
  const FuseArray zeros(82930, FuseArray::Fill::kZeros);
  const Zepa1Image image = BuildZepa1Image(plain, zeros);
  const std::vector<std::int32_t> map = Zepa1StreamMap(with_extra.id);
  int extra_bits = 0;
  for (std::size_t b = 0; b < map.size(); ++b) {
    if (map[b] >= 82802) {
      ++extra_bits;
      EXPECT_EQ(image.StreamBit(static_cast<long>(b)), 1) << "stream bit " << b;
    }
  }
  EXPECT_EQ(extra_bits, 128);
}

TEST(Zepa1ListingTest, ListsFuseNumbersAndRowWords) {
  const jcd_type big = Part("VTL3128A");
  const FuseArray ones(big.jed_fuse, FuseArray::Fill::kOnes);
  const std::string sr = SRfuseListing(big, Zepa1StreamMap(big.id), ones);
  EXPECT_EQ(sr.rfind("\n<<SIDE L>>\n\n     << ROW 00>>\n\n          << BLOCK G>>\n67701  67700  ", 0), 0u);
  EXPECT_NE(sr.find("82801  82800  -SEC-  "), std::string::npos);
  EXPECT_NE(sr.find("\n<<SIDE R>>\n"), std::string::npos);

  const jcd_type small = Part("VTL3032C");
  FuseArray fuse(small.jed_fuse, FuseArray::Fill::kOnes);
  fuse.write_fuse(6800, 0);
  const std::string sr32 = SRfuseListing(small, Zepa1StreamMap(small.id), fuse);
  EXPECT_EQ(
      sr32.rfind("\nqd3032-isp Jedec/SR Cell mapping table\n\n\n<< BLOCK A, ROW  0, SR bit #254->#0 >>\n"
                 " 6801[1]   6800[0]  ",
                 0),
      0u);

  const std::string hex = StreamHexListing(BuildZepa1Image(big, ones));
  std::string row;
  for (int w = 0; w < 64; ++w) row += "ffff ";
  EXPECT_EQ(hex.rfind("//Side_L, Address_0\n  SR bit #1027 --> #0\n" + row + "f000\n", 0), 0u);
  const std::string hex32 = StreamHexListing(BuildZepa1Image(small, fuse));
  EXPECT_EQ(
      hex32.rfind("\n//Side_L, Address_0\nSR bit #254 <-- #0 (last bit in each line pad with a '0')\n", 0),
      0u);
  EXPECT_NE(hex32.find("\nbfff ffff"), std::string::npos);  // fuse 6800 is the second bit of row 0
}

}  // namespace
}  // namespace zepa::fusemap
