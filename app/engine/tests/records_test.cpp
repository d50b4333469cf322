// The device table, type names and the loading of the records from the chain table.
#include "engine/records.h"

#include <gtest/gtest.h>

#include "chain/chain_names.h"
#include "engine/tests/engine_rig.h"
#include "fusemap/part_table.h"

namespace zepa::engine {
namespace {

TEST(DeviceTable, ImageSizesFitTheRowGeometry) {
  for (int part = 0; part <= 8; ++part) {
    const DeviceTableRow& row = DeviceTable()[static_cast<std::size_t>(part)];
    EXPECT_EQ(row.bin_size, 1 + (2 * 43 * row.DR_len + 7) / 8) << row.part;
    EXPECT_EQ(row.part, chain::part_name(part)) << "the table follows the grid's part list";
    // Every signature field (120 bits) lies inside its row.
    EXPECT_LE(row.first_ues_bit + (row.lb - 1) * row.ues_offset + 120, row.DR_len) << row.part;
  }
}

// The name the engine gives a type code in its messages is one the converters' own part-name table takes
// back to the same type code, for every part of the device table; codes of no part have no name.
TEST(DeviceTable, TypeNamesAreNamesTheConvertersKnowForTheSameType) {
  for (const DeviceTableRow& row : DeviceTable()) {
    if (row.id == codes::kUnknownPart) continue;
    const std::string name(TypeName(row.id));
    ASSERT_FALSE(name.empty()) << row.part << " (type " << row.id << ") has no name";
    fusemap::jcd_type rec;
    fusemap::get_part(rec, name);
    EXPECT_EQ(rec.id, row.id) << row.part << " is named " << name;
  }
  EXPECT_EQ(TypeName(codes::kUnknownPart), "unknown");
  for (int code : {-1, 1, 52, 128, 131, 143, 147, 150, 255}) EXPECT_EQ(TypeName(code), "") << code;
}

class LoadRecords : public ::testing::Test {
 protected:
  void Set(int n, int part, int ir_code, int op, const std::string& jed = "") {
    table[n].part = part;
    table[n].IR_len = ir_code;
    table[n].cmnd = op;
    table[n].jed = jed;
  }
  MessageLines messages;
  testing::RecordingPrompter prompts;
  testing::RecordingMarks marks;
  EngineHost host{messages, prompts, marks};
  chain::ChainTable table;
  ChainState chain;
};

TEST_F(LoadRecords, FillsEachPositionFromItsPartLengthAndOperation) {
  struct Case {
    int part;
    int ir_code;
    int op;
    int id;
    int IR_len;
    int cmnd;
    int bypass;
  };
  const Case cases[] = {
      {chain::kPartVtl5128C, 2, chain::kOpProgram, 120, 4, 2, 0},
      {chain::kPartVtl3256XL, 3, chain::kOpNoOperation, 148, 5, 10, 1},
      {chain::kPartOthers, 9, chain::kOpNoOperation, 0, 16, 10, 1},
      {chain::kPartOthers, 8, chain::kOpRs, 0, 10, 13, 0},
      {chain::kPartVtl3320, 0, chain::kOpScan, 130, 2, 14, 0},
      {chain::kPartVtl3032A, chain::kIrUnknown, 11, 51, 4, -1, 0},
      {chain::kPartUnknown, 2, chain::kOpUnknown, 0, 4, -1, 0},
  };
  table.DeviceCount = static_cast<int>(std::size(cases));
  for (std::size_t i = 0; i < std::size(cases); ++i)
    Set(static_cast<int>(i + 1), cases[i].part, cases[i].ir_code, cases[i].op);
  LoadChainRecords(chain, table, host);
  ASSERT_EQ(chain.DeviceCount, table.DeviceCount);
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    const JcdRec& rec = chain.Rec(static_cast<int>(i + 1));
    const Case& c = cases[i];
    EXPECT_EQ(rec.id, c.id) << "position " << i + 1;
    EXPECT_EQ(rec.IR_len, c.IR_len) << "position " << i + 1;
    EXPECT_EQ(rec.cmnd, c.cmnd) << "position " << i + 1;
    EXPECT_EQ(rec.bypass, c.bypass) << "position " << i + 1;
  }
  EXPECT_TRUE(messages.lines().empty());
}

TEST_F(LoadRecords, RecordsAreRebuiltNotMergedWithTheLastRun) {
  table.DeviceCount = 1;
  Set(1, chain::kPartVtl3384XL, 3, chain::kOpProgram, "a.isp");
  table[1].ues = "sig";
  LoadChainRecords(chain, table, host);
  Set(1, chain::kPartVtl3032A, 2, chain::kOpVerify, "");
  table[1].ues = "";
  LoadChainRecords(chain, table, host);
  const JcdRec& rec = chain.Rec(1);
  EXPECT_EQ(rec.side_rows, 0);
  EXPECT_EQ(rec.sec_pos, 0);
  EXPECT_EQ(rec.DR_len, 255);
  EXPECT_EQ(rec.jed, "");
  EXPECT_EQ(rec.ues, "");
}

TEST_F(LoadRecords, AnIllegalDesignFileNameAbortsBeforeAnyDeviceRuns) {
  table.DeviceCount = 3;
  Set(1, chain::kPartVtl3032A, 2, chain::kOpProgram, "one.JED");
  Set(2, chain::kPartVtl3032A, 2, chain::kOpProgram, "dir.jed/two.txt");
  Set(3, chain::kPartVtl3032A, 2, chain::kOpProgram, "three.bin");
  EXPECT_THROW(LoadChainRecords(chain, table, host), EPyk);
  EXPECT_EQ(messages.lines(),
            (std::vector<std::string>{"Illegal file entry: dir.jed/two.txt", "Operation aborted!", ""}));
  EXPECT_EQ(marks.marks, (std::vector<std::pair<int, bool>>{{2, false}}));
}

}  // namespace
}  // namespace zepa::engine
