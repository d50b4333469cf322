// The device table printed after a run: one line per device, with what a read-back brought.
#include "ui/cli/report.h"

#include <gtest/gtest.h>

#include "ui/core/idcode.h"

namespace zepa::cli {
namespace {

TEST(ReportTest, DeviceTableShowsResultsAndWhatWasReadBack) {
  chain::ChainTable table;
  table.DeviceCount = 4;
  auto set = [&table](int n, int op, int part, int result) {
    table[n].cmnd = op;
    table[n].part = part;
    table[n].result = result;
  };
  set(1, chain::kOpProgramVerify, chain::kPartVtl3032C, chain::kResultPass);
  table[1].jed = "boards/design32.jed";
  set(2, chain::kOpReadId, chain::kPartVtl5128C, chain::kResultPass);
  table[2].secure = '0';
  table[2].idcode = "10101010000100000100100000000001";
  ui::decode_idcode(table, 2, table[2].idcode);
  set(3, chain::kOpReadId, chain::kPartVtl5064C, chain::kResultFail);
  set(4, chain::kOpReadUes, chain::kPartOthers, chain::kResultNone);
  table[4].ues = "board 7";
  table[5].result = chain::kResultFail;  // past the chain: not shown, not counted

  const ui::IdcodeFields f = ui::decode_idcode(std::string(table[2].idcode));
  EXPECT_EQ(DeviceTable(table),
            "Device  Part        Operation         Result  Design file\n"
            "     1  VTL3032C    Prog & Verify     pass    boards/design32.jed\n"
            "     2  VTL5128C    Read device ID    pass\n"
            "        IDCODE 0x80120855  " +
                f.version + ", ZEPA1, " + f.macrocells + ", " + f.technology + ", " + f.voltage + ", " +
                f.package + ", mft " + f.manufacturer +
                ", secured\n"
                "     3  VTL5064C    Read device ID    fail\n"
                "        IDCODE (not read), security unknown\n"
                "     4  Others      Read UES          -\n"
                "        UES \"board 7\"\n");
  EXPECT_TRUE(AnyDeviceFailed(table));
  table[3].result = chain::kResultNone;
  EXPECT_FALSE(AnyDeviceFailed(table));
}

TEST(ReportTest, IdcodeTextReadsBitZeroFirst) {
  struct Case {
    const char* text;
    std::optional<std::uint32_t> value;
    const char* hex;
  };
  const Case cases[] = {
      {"10000000000000000000000000000000", 0x00000001u, "0x00000001"},
      {"00000000000000000000000000000001", 0x80000000u, "0x80000000"},
      {"10101010000100000100100000000001", 0x80120855u, "0x80120855"},
      {"11111111111111111111111111111111xx", 0xFFFFFFFFu, "0xFFFFFFFF"},  // past bit 31 is not read
      {"1010101000010000010010000000000", std::nullopt, ""},              // 31 bits
      {"1010101000010000010010000000000x", std::nullopt, ""},
      {"", std::nullopt, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(IdcodeValue(c.text), c.value);
    if (c.value) {
      EXPECT_EQ(HexIdcode(*c.value), c.hex);
    }
  }
}

TEST(ReportTest, VerdictNamesTheFailedDevices) {
  chain::ChainTable table;
  table.DeviceCount = 6;
  for (int n = 1; n <= 6; ++n) table[n].result = chain::kResultPass;
  table[4].result = chain::kResultNone;  // not run: neither passes nor fails the verdict
  table[7].result = chain::kResultFail;  // past the chain
  EXPECT_EQ(Verdict(table, false), "PASS");
  EXPECT_EQ(Verdict(table, true), "FAIL");
  table[5].result = chain::kResultFail;
  EXPECT_EQ(Verdict(table, false), "FAIL (devices 5)");
  table[2].result = chain::kResultFail;
  EXPECT_EQ(Verdict(table, true), "FAIL (devices 2, 5)");
}

}  // namespace
}  // namespace zepa::cli
