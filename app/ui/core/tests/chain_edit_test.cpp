// The configuration grid's rules: what a part, IR-length or operation choice does to a row, which edits are
// ignored, the cell texts, and the design-file and signature cells.
#include "ui/core/chain_edit.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "ui/core/tests/example_board_session.h"
#include "ui/core/tests/test_support.h"

namespace zepa::ui {
namespace {

using namespace zepa::chain;
using testing::RecordingPrompts;

constexpr int kIr4 = 2;  // IR-length codes
constexpr int kIr5 = 3;
constexpr int kIr8 = 6;

ChainTable table_with(int count) {
  ChainTable table;
  table.DeviceCount = count;
  return table;
}

TEST(ChainEditTest, PartChoiceSetsIrAndOperation) {
  struct Case {
    const char* name;
    int part_before, ir_before, cmnd_before;
    int item;
    int part, ir, cmnd;
    bool warns;
  };
  const Case cases[] = {
      {"ZEPA1 keeps the operation", kPartUnknown, kIrUnknown, kOpVerify, kPartVtl3064A, kPartVtl3064A, kIr4,
       kOpVerify, false},
      {"ZEPA1 over a ZEPA3 part sets IR 4", kPartVtl3128XL, kIr5, kOpBlankCheck, kPartVtl5128C, kPartVtl5128C,
       kIr4, kOpBlankCheck, false},
      {"ZEPA3 keeps the operation", kPartVtl3032A, kIr4, kOpReadId, kPartVtl3256XL, kPartVtl3256XL, kIr5,
       kOpReadId, false},
      {"VTL3320 forces Program", kPartVtl3032A, kIr4, kOpVerify, kPartVtl3320, kPartVtl3320, kIr5, kOpProgram,
       true},
      {"VTL3960 forces Program", kPartUnknown, kIrUnknown, kOpUpload, kPartVtl3960, kPartVtl3960, kIr5,
       kOpProgram, true},
      {"Others forces No Operation, keeps IR", kPartVtl3032A, kIr8, kOpProgram, kPartOthers, kPartOthers,
       kIr8, kOpNoOperation, false},
      {"Others leaves an unknown IR unknown", kPartUnknown, kIrUnknown, kOpBulkErase, kPartOthers,
       kPartOthers, kIrUnknown, kOpNoOperation, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ChainTable table = table_with(3);
    table[2].part = c.part_before;
    table[2].IR_len = c.ir_before;
    table[2].cmnd = c.cmnd_before;
    RecordingPrompts prompts;
    EXPECT_TRUE(choose_part(table, 2, c.item, prompts));
    EXPECT_EQ(table[2].part, c.part);
    EXPECT_EQ(table[2].IR_len, c.ir);
    EXPECT_EQ(table[2].cmnd, c.cmnd);
    EXPECT_EQ(prompts.boxes, c.warns ? std::vector<std::string>{"warning: " + std::string(kZepa2OnlyProgram)}
                                     : std::vector<std::string>{});
    EXPECT_EQ(table[1].part, kPartUnknown) << "a neighbour row changed";
    EXPECT_EQ(table[3].part, kPartUnknown) << "a neighbour row changed";
  }
}

TEST(ChainEditTest, IrListOnlyChangesOthersAndUnknownParts) {
  struct Case {
    const char* name;
    int part, ir_before;
    bool changes;
  };
  const Case cases[] = {
      {"Others", kPartOthers, kIrUnknown, true},         {"unknown part", kPartUnknown, kIr5, true},
      {"ZEPA1 keeps its 4", kPartVtl3032C, kIr4, false}, {"ZEPA3 keeps its 5", kPartVtl3384XL, kIr5, false},
      {"ZEPA2 keeps its 5", kPartVtl3960, kIr5, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ChainTable table = table_with(1);
    table[1].part = c.part;
    table[1].IR_len = c.ir_before;
    EXPECT_EQ(choose_ir_length(table, 1, 9), c.changes);
    EXPECT_EQ(table[1].IR_len, c.changes ? 9 : c.ir_before);
  }
}

TEST(ChainEditTest, OperationListFollowsThePart) {
  struct Case {
    const char* name;
    int part, item, cmnd;
  };
  const Case cases[] = {
      {"ZEPA1 takes any item", kPartVtl3128, kOpUpload, kOpUpload},
      {"ZEPA3 takes any item", kPartVtl3064XL, kOpReadUes, kOpReadUes},
      {"ZEPA1 takes No Operation", kPartVtl3032A, kOpNoOperation, kOpNoOperation},
      {"ZEPA2 takes Program", kPartVtl3320, kOpProgram, kOpProgram},
      {"ZEPA2 refuses Verify", kPartVtl3960, kOpVerify, kOpNoOperation},
      {"ZEPA2 refuses Prog & Verify", kPartVtl3320, kOpProgramVerify, kOpNoOperation},
      {"Others stays bypassed", kPartOthers, kOpProgram, kOpNoOperation},
      {"an unknown part stays bypassed", kPartUnknown, kOpBulkErase, kOpNoOperation},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ChainTable table = table_with(2);
    table[2].part = c.part;
    table[2].cmnd = kOpBlankCheck;
    EXPECT_TRUE(choose_operation(table, 2, c.item));
    EXPECT_EQ(table[2].cmnd, c.cmnd);
  }
}

// Every gesture on a row outside 1..DeviceCount, or with an item the list does not have, leaves the table
// as it was.
TEST(ChainEditTest, EditsOutsideTheChainAreIgnored) {
  struct Case {
    const char* name;
    int row;
    int item;
  };
  const Case cases[] = {
      {"header row", 0, 1},        {"row above the count", 3, 1}, {"last row", 60, 1},
      {"beyond the table", 61, 1}, {"negative item", 1, -1},      {"item past the list", 1, 17},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ChainTable table = table_with(2);
    for (int n = 1; n <= 60; ++n) {
      table[n].part = kPartOthers;
      table[n].IR_len = kIr4;
      table[n].cmnd = kOpBlankCheck;
      table[n].jed = "keep.jed";
      table[n].ues = "keep";
    }
    RecordingPrompts prompts;
    const bool any_item_valid = c.item >= 0 && c.item < 17;
    EXPECT_FALSE(choose_part(table, c.row, c.item, prompts));
    EXPECT_FALSE(choose_ir_length(table, c.row, any_item_valid ? 1 : c.item));
    EXPECT_FALSE(choose_operation(table, c.row, any_item_valid ? 1 : c.item));
    if (!row_editable(table, c.row)) {
      EXPECT_FALSE(delete_design_file(table, c.row));
      EXPECT_FALSE(set_signature(table, c.row, "changed"));
      EXPECT_EQ(cell_action(table, c.row, kColPart), CellAction::kNone);
    }
    for (int n = 1; n <= 60; ++n) {
      EXPECT_EQ(table[n].part, kPartOthers) << n;
      EXPECT_EQ(table[n].IR_len, kIr4) << n;
      EXPECT_EQ(table[n].cmnd, kOpBlankCheck) << n;
      EXPECT_EQ(table[n].jed, "keep.jed") << n;
      EXPECT_EQ(table[n].ues, "keep") << n;
    }
    EXPECT_TRUE(prompts.boxes.empty());
  }
}

TEST(ChainEditTest, DoubleClickOpensTheColumnsList) {
  const ChainTable table = table_with(2);
  const std::vector<CellAction> row_actions = {CellAction::kNone,       CellAction::kPartList,
                                               CellAction::kIrList,     CellAction::kOperationList,
                                               CellAction::kDesignFile, CellAction::kNone};
  for (int column = 0; column < kGridColumns; ++column) {
    EXPECT_EQ(cell_action(table, 2, column), row_actions[static_cast<std::size_t>(column)]) << column;
    EXPECT_EQ(cell_action(table, 3, column), CellAction::kNone) << column;
  }
  const ChainTable empty = table_with(0);
  for (int column = 0; column < kGridColumns; ++column) {
    EXPECT_EQ(cell_action(empty, 1, column), CellAction::kNone) << "with no devices no list opens";
  }
}

TEST(ChainEditTest, GridRowTexts) {
  ChainTable table = table_with(3);
  table[1].part = kPartVtl3064XL;
  table[1].IR_len = 9;
  table[1].cmnd = kOpProgramVerify;
  table[1].jed = "C:/Work/Design.JED";
  table[1].result = kResultPass;
  table[2].result = kResultFail;
  table[2].cmnd = kOpUnknown;
  table[4].part = kPartVtl3032A;  // beyond the count: never shown

  using Row = std::array<std::string, kGridColumns>;
  EXPECT_EQ(grid_row_texts(table, 1),
            (Row{"1", "VTL3064XL", "16", "Prog & Verify", "C:/Work/Design.JED", "pass"}));
  EXPECT_EQ(grid_row_texts(table, 2), (Row{"2", "", "", "", "", "fail"}));
  EXPECT_EQ(grid_row_texts(table, 3), (Row{"3", "", "", "No Operation", "", ""}));
  EXPECT_EQ(grid_row_texts(table, 4), Row{});
  EXPECT_EQ(grid_row_texts(table, 0), Row{});
  EXPECT_EQ(grid_row_texts(table_with(0), 1), Row{});
}

TEST(ChainEditTest, DesignFileBrowseKind) {
  struct Case {
    int part, cmnd;
    bool upload;
    const char* preset;
  };
  const Case cases[] = {
      {kPartVtl3128XL, kOpUpload, true, "*.jed"}, {kPartVtl3032XL, kOpUpload, true, "*.jed"},
      {kPartVtl5128C, kOpUpload, true, "*.bin"},  {kPartVtl3320, kOpUpload, true, "*.bin"},
      {kPartUnknown, kOpUpload, true, "*.bin"},   {kPartVtl3128XL, kOpProgram, false, ""},
      {kPartVtl3032A, kOpVerify, false, ""},
  };
  for (const Case& c : cases) {
    ChainDevice dev;
    dev.part = c.part;
    dev.cmnd = c.cmnd;
    const DesignFileBrowse browse = design_file_browse(dev);
    EXPECT_EQ(browse.upload, c.upload) << c.part << " " << c.cmnd;
    EXPECT_EQ(browse.preset, c.preset) << c.part << " " << c.cmnd;
  }
}

class DesignFileCell : public testing::ScratchDir {
 protected:
  void SetUp() override {
    ScratchDir::SetUp();
    cwd_ = std::filesystem::current_path();
    rig_ = std::make_unique<testing::SessionRig>(dir_.string());
    rig_->table().DeviceCount = 2;
    rig_->table()[1].part = kPartVtl3064A;
    rig_->table()[1].cmnd = kOpProgram;
    rig_->table()[1].jed = "old.jed";
  }
  void TearDown() override {
    rig_.reset();
    std::filesystem::current_path(cwd_);  // choosing a file moves the current folder
    ScratchDir::TearDown();
  }
  bool choose(int row, const std::string& file) {
    return choose_design_file(rig_->table(), rig_->programmer(), row, file, rig_->prompts);
  }

  std::filesystem::path cwd_;
  std::unique_ptr<testing::SessionRig> rig_;
};

TEST_F(DesignFileCell, AnExistingJedecFileKeepsItsCase) {
  const std::string file = write("Sub_Design.JED", "x");
  EXPECT_TRUE(choose(1, file));
  EXPECT_EQ(rig_->table()[1].jed, file);
  EXPECT_EQ(rig_->programmer().LastFile, file);
  EXPECT_EQ(std::filesystem::current_path(), std::filesystem::canonical(dir_));
  EXPECT_TRUE(rig_->prompts.boxes.empty());
}

TEST_F(DesignFileCell, AMissingJedecFileIsRefused) {
  const std::string file = path("missing.jed");
  EXPECT_FALSE(choose(1, file));
  EXPECT_EQ(rig_->prompts.boxes, std::vector<std::string>{"error: Can not find: " + file});
  EXPECT_EQ(rig_->table()[1].jed, "old.jed");
  EXPECT_EQ(rig_->programmer().LastFile, file);
}

TEST_F(DesignFileCell, AnUploadTargetNeedNotExist) {
  rig_->table()[1].cmnd = kOpUpload;
  const std::string file = path("Readback.BIN");
  EXPECT_TRUE(choose(1, file));
  EXPECT_EQ(rig_->table()[1].jed, file);
  EXPECT_TRUE(rig_->prompts.boxes.empty());
}

TEST_F(DesignFileCell, ANameTooLongToKeepIsRefusedNotCut) {
  rig_->table()[1].cmnd = kOpUpload;
  const std::string file = path(std::string(260, 'a') + ".bin");
  EXPECT_FALSE(choose(1, file));
  EXPECT_EQ(rig_->table()[1].jed, "old.jed");
  ASSERT_EQ(rig_->prompts.boxes.size(), 1u);
  EXPECT_EQ(rig_->prompts.boxes[0].rfind("error: ", 0), 0u);
}

TEST_F(DesignFileCell, RowsAboveTheCountAreIgnored) {
  const std::string file = write("design.jed", "x");
  EXPECT_FALSE(choose(3, file));
  EXPECT_TRUE(rig_->table()[3].jed.empty());
  EXPECT_TRUE(rig_->programmer().LastFile.empty());
}

TEST(ChainEditTest, DeleteAndSignature) {
  ChainTable table = table_with(2);
  table[2].jed = "design.jed";
  EXPECT_TRUE(delete_design_file(table, 2));
  EXPECT_TRUE(table[2].jed.empty());

  EXPECT_TRUE(set_signature(table, 1, std::string(130, 's')));
  EXPECT_EQ(table[1].ues, std::string(120, 's'));
  EXPECT_TRUE(set_signature(table, 1, ""));
  EXPECT_TRUE(table[1].ues.empty());
}

}  // namespace
}  // namespace zepa::ui
