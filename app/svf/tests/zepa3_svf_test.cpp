// ZEPA3 blocks: rows read from the .isp image, the Gray-coded addresses of both sides, the row layouts
// by part, and the parts whose address width differs from the text's customary 8 bits.
#include "svf/zepa3_svf.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "chain/chain_names.h"
#include "engine/zepa3_ops.h"
#include "svf/tests/images.h"
#include "svf/tests/svf_rig.h"

namespace zepa::svf {
namespace {

using Lines = std::vector<std::string>;
using testing::SvfRig;

using testing::Zepa3Image;

long Find(const Lines& lines, const std::string& line) {
  auto it = std::find(lines.begin(), lines.end(), line);
  return it == lines.end() ? -1 : it - lines.begin();
}
long CountPrefix(const Lines& lines, const std::string& prefix) {
  return std::count_if(lines.begin(), lines.end(),
                       [&](const std::string& l) { return l.rfind(prefix, 0) == 0; });
}

TEST(Zepa3Svf, VTL3256XLRowsAndAddressesOnBothSides) {
  SvfRig rig("device VTL3256XL\n");
  rig.Device(1, chain::kPartVtl3256XL, chain::kOpProgramVerify,
             rig.File("d.isp", Zepa3Image(chain::kPartVtl3256XL, 5)));
  rig.table[1].IR_len = 3;
  rig.RunSvf();
  const Lines lines = rig.SvfLines();
  // Row 0 and the first upper row, 210: address 100h, whose reversed 9-bit scan value is 001.
  EXPECT_GE(Find(lines, "SDR 9 TDI (000) SMASK(1FF);          !Load address 0 (Grey code=0)"), 0);
  EXPECT_GE(Find(lines, "SDR 9 TDI (001) SMASK(1FF);          !Load address 0 (Grey code=256)"), 0);
  EXPECT_EQ(CountPrefix(lines, "SDR 313 TDI ("), 2 * 209)
      << "rows 0..208 of each side, the signature rows skipped";
  EXPECT_EQ(CountPrefix(lines, "SDR 304 TDI(0) TDO ("), 2 * 209);
  // 313 bits: 79 digits, the last 18 on a line of their own after 21 blanks.
  const long first = Find(lines, "!Program-Upper Side");
  ASSERT_GT(first, 0);
  const std::string& row210 = lines[static_cast<std::size_t>(first) + 1];
  EXPECT_EQ(row210.size(), 13u + 61u);
  const std::string& tail = lines[static_cast<std::size_t>(first) + 2];
  EXPECT_EQ(tail.substr(0, 21), std::string(21, ' '));
  EXPECT_EQ(tail.substr(39), ");     !Load PROGRAM data and address 0");
  // Line bit p is value bit p (the line's first digit is shifted first); the address follows, its top bit
  // (the side) first.
  const std::string isp = rig.Read("d.isp");
  ScanBits value;
  for (char bit : engine::Zepa3RowBits(isp.substr(210 * 77, 76), 304)) value.push_back(bit == '1');
  for (int k = 0; k < 9; ++k) value.push_back(k == 0);
  EXPECT_EQ(row210.substr(13) + tail.substr(21, 18), HexDigits(value));

  std::string marks;
  for (int i = 0; i < 26; ++i) marks += " *";
  EXPECT_EQ(rig.Section("SVF Bulk erase... (Device #1)", "SVF Verify completed!"),
            (Lines{"SVF Bulk erase... (Device #1)", "SVF Bulk erase completed.",
                   "SVF Program Device... (Device #1)", "Programming Lower side...", marks,
                   "Programming Upper side...", marks, "SVF Program completed!", "Verifying Lower side...",
                   marks, "Verifying Upper side...", marks, "SVF Verify completed!"}));
}

struct WidthCase {
  int part;
  int op;
  std::vector<std::string> prefixes;  // statements that must appear with the part's own address width
};

TEST(Zepa3Svf, EveryAddressScanUsesThePartsAddressWidth) {
  const std::vector<WidthCase> cases = {
      // VTL3032XL: 7 address bits everywhere: the register is L + 7 bits.
      {chain::kPartVtl3032XL,
       chain::kOpVerify,
       {"SDR 7 TDI (00) SMASK(7F);          !Load address 0 (Grey code=0)"}},
      {chain::kPartVtl3032XL,
       chain::kOpBlankCheck,
       {"SDR 7 TDI (01) SMASK(7F);               !Load address 54 (Grey code=64)"}},
      {chain::kPartVtl3032XL, chain::kOpSecure, {"SDR 121 TDI ("}},
      {chain::kPartVtl3032XL, chain::kOpProgramUes, {"SDR 121 TDI ("}},
      {chain::kPartVtl3032XL, chain::kOpReadUes, {"SDR 7 TDI ("}},
      {chain::kPartVtl3064XL, chain::kOpSecure, {"SDR 131 TDI ("}},
      // VTL3384XL: 507-bit rows and 9 address bits.
      {chain::kPartVtl3384XL, chain::kOpProgramUes, {"SDR 516 TDI ("}},
      {chain::kPartVtl3384XL,
       chain::kOpReadId,
       {"SDR 32 TDI (0) TDO (0495802B) MASK(0FFF8FFF) SMASK(0); !vtl3384xl IDCODE"}},
  };
  for (const WidthCase& c : cases) {
    SvfRig rig("device VTL3032XL\n");
    rig.Device(1, c.part, c.op, rig.File("d.isp", Zepa3Image(c.part, 9)));
    rig.table[1].IR_len = 3;
    rig.RunSvf();
    const Lines lines = rig.SvfLines();
    for (const std::string& prefix : c.prefixes)
      EXPECT_GT(CountPrefix(lines, prefix), 0) << c.part << " " << prefix;
    EXPECT_EQ(CountPrefix(lines, "SDR 8 TDI"), 0) << c.part;
    EXPECT_TRUE(rig.marks.marks.empty()) << c.part;
  }
}

TEST(Zepa3Svf, AMissingImageEndsTheDeviceAndKeepsWhatWasWritten) {
  SvfRig rig("device VTL3064XL\n");
  rig.Device(1, chain::kPartVtl3064XL, chain::kOpProgramUes, rig.Path("missing.isp"));
  rig.table[1].IR_len = 3;
  rig.RunSvf();
  EXPECT_EQ(rig.marks.marks, (std::vector<std::pair<int, bool>>{{1, false}}));
  EXPECT_GE(Find(rig.SvfLines(), "SIR 5 TDI (0B);                      !Load PROGRAM instruction"), 0);
}

}  // namespace
}  // namespace zepa::svf
