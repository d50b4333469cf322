#include "chain/chain_table.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "chain/chain_names.h"

namespace zepa::chain {
namespace {

void fill(ChainDevice& dev) {
  dev.loc = 42;
  dev.cmnd = kOpProgram;
  dev.part = kPartVtl5128C;
  dev.IR_len = 2;
  dev.result = kResultPass;
  dev.secure = '0';
  dev.idcode = "10101010101010101010101010101010";
  dev.id_ver = "Version 1";
  dev.id_arch = "ZEPA1";
  dev.id_tech = "0.5u EECMOS";
  dev.id_pkg = "PC 84";
  dev.id_volt = "5 volt";
  dev.id_mc = "128 MC";
  dev.id_bit0 = "1 ";
  dev.id_mft = "00000010010";
  dev.ues = "sig";
  dev.jed = "a.jed";
  dev.box = {1, 2, 3, 4};
}

void expect_reset(const ChainDevice& dev, int n) {
  EXPECT_EQ(dev.loc, n);
  EXPECT_EQ(dev.cmnd, kOpNoOperation);
  EXPECT_EQ(dev.part, kPartUnknown);
  EXPECT_EQ(dev.IR_len, kIrUnknown);
  EXPECT_EQ(dev.result, kResultNone);
  EXPECT_EQ(dev.secure, '2');
  for (std::string_view text :
       {std::string_view(dev.idcode), std::string_view(dev.id_ver), std::string_view(dev.id_arch),
        std::string_view(dev.id_tech), std::string_view(dev.id_pkg), std::string_view(dev.id_volt),
        std::string_view(dev.id_mc), std::string_view(dev.id_bit0), std::string_view(dev.id_mft),
        std::string_view(dev.ues), std::string_view(dev.jed)}) {
    EXPECT_EQ(text, "");
  }
}

TEST(ChainTable, NewTableHasSixtyResetPositionsAndNoDevices) {
  ChainTable table;
  EXPECT_EQ(table.DeviceCount, 0);
  for (int n = 1; n <= ChainTable::MaxDevices; ++n) expect_reset(table[n], n);
}

TEST(ChainTable, ResetStoresResetValuesUpToNAndKeepsDrawingBoxes) {
  ChainTable table;
  for (int n = 1; n <= 60; ++n) fill(table[n]);
  reset_chain_table(table, 3);
  for (int n = 1; n <= 3; ++n) {
    expect_reset(table[n], n);
    EXPECT_EQ(table[n].box, (std::array<int, 4>{1, 2, 3, 4}));
  }
  EXPECT_EQ(table[4].part, kPartVtl5128C) << "positions above n are left alone";
  EXPECT_EQ(table[60].jed, "a.jed");
}

TEST(ChainTable, ResetCountOutsideTheTableIsBounded) {
  ChainTable table;
  fill(table[1]);
  reset_chain_table(table, -5);
  EXPECT_EQ(table[1].part, kPartVtl5128C);
  reset_chain_table(table, 75);
  expect_reset(table[1], 1);
  expect_reset(table[60], 60);
}

TEST(ChainTable, PositionsOutsideOneToSixtyThrow) {
  ChainTable table;
  const ChainTable& ctable = table;
  for (int n : {0, -1, 61, 1000}) {
    EXPECT_THROW(table[n], std::out_of_range) << n;
    EXPECT_THROW(ctable[n], std::out_of_range) << n;
  }
  table.DeviceCount = 75;
  EXPECT_EQ(table.device_count(), 60);
  table.DeviceCount = -2;
  EXPECT_EQ(table.device_count(), 0);
}

TEST(ChainTable, TextFieldsAreCutToTheirCapacity) {
  ChainDevice dev;
  dev.ues = std::string(130, 'u');
  dev.jed = std::string(300, 'j');
  dev.id_arch = "Reserved";
  dev.idcode = std::string(40, '1');
  EXPECT_EQ(dev.ues.size(), 120u);
  EXPECT_EQ(dev.jed.size(), 250u);
  EXPECT_EQ(dev.id_arch, "Reserv");
  EXPECT_EQ(dev.idcode.size(), 32u);
}

TEST(ChainNames, EveryWrittenPartNameReadsBackAsItsCode) {
  for (int part = 0; part < kPartCount; ++part)
    EXPECT_EQ(part_code(part_name(part)), part) << part_name(part);
  EXPECT_EQ(part_name(kPartUnknown), "???");
  EXPECT_EQ(part_code("???"), kPartUnknown);
  EXPECT_EQ(part_name(17), "???");
  EXPECT_EQ(part_name(-1), "???");
}

TEST(ChainNames, PartNameRulesFirstMatchWins) {
  struct Case {
    std::string_view name;
    int part;
  };
  const Case cases[] = {
      {"VTL3032XL", kPartVtl3032XL},  // not 3032A/3032C
      {"qdxx32_cs/as", kPartVtl5032C}, {"VTLx032_C/A", kPartVtl5032C},
      {"VTLx064_C/A", kPartVtl5064C},  {"qdxx64_cs/as", kPartVtl5064C},
      {"qdx128_as", kPartVtl3128A},    {"qdx128_cs", kPartVtl5128C},
      {"X5128A", kPartVtl3128A},       {"qdx320", kPartVtl3320},
      {"qdx960", kPartVtl3960},        {"None", kPartOthers},
      {"Non-Veltrin", kPartOthers},    {"vtl3064a", kPartUnknown},
      {"VTL3064", kPartUnknown},       {"", kPartUnknown},
      {"others", kPartUnknown},
  };
  for (const auto& c : cases) EXPECT_EQ(part_code(c.name), c.part) << c.name;
}

TEST(ChainNames, CommandWords) {
  for (int op : {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 13}) {
    EXPECT_EQ(command_code(command_word(op)), op) << op;
  }
  EXPECT_EQ(command_word(kOpScan), "SC");
  EXPECT_EQ(command_word(kOpUnknown), "???");
  EXPECT_EQ(command_word(11), "???");
  // Words are read without regard to case, as the converters read them.
  struct Case {
    std::string_view word;
    int op;
  };
  const Case cases[] = {
      {"pr", kOpProgram}, {"pv", kOpProgramVerify}, {"Pv", kOpProgramVerify}, {"nO", kOpNoOperation},
      {"rs", kOpRs},      {"SC", kOpUnknown},       {"sc", kOpUnknown},       {"PRX", kOpUnknown},
      {"P", kOpUnknown},  {"", kOpUnknown},         {"???", kOpUnknown}};
  for (const auto& c : cases) EXPECT_EQ(command_code(c.word), c.op) << c.word;
}

TEST(ChainNames, OperationTexts) {
  EXPECT_EQ(operation_text(kOpProgramVerify), "Prog & Verify");
  EXPECT_EQ(operation_list_item(kOpProgramVerify), "Prog_&_Verify");
  EXPECT_EQ(operation_text(kOpNoOperation), "No Operation");
  EXPECT_EQ(operation_list_item(kOpNoOperation), "No Operation (Bypass)");
  EXPECT_EQ(operation_text(kOpUnknown), "Unknown ???");
  EXPECT_EQ(operation_text(kOpScan), "");
  EXPECT_EQ(operation_list_item(kOpUnknown), "");
}

TEST(ChainNames, IrLengths) {
  struct Case {
    long length;
    int code;
    std::string_view text;
  };
  const Case cases[] = {{2, 0, "2"}, {4, 2, "4"}, {10, 8, "10"}, {16, 9, "16"}};
  for (const auto& c : cases) {
    EXPECT_EQ(ir_code_from_length(c.length), c.code) << c.length;
    EXPECT_EQ(ir_length_text(c.code), c.text) << c.code;
  }
  // Lengths the programmer never writes are unknown rather than a neighbouring code (11 is not 16).
  for (long length : {0L, 1L, 11L, 15L, 17L, 100000L}) EXPECT_EQ(ir_code_from_length(length), kIrUnknown);
  for (int code : {kIrUnknown, -1, 10}) EXPECT_EQ(ir_length_text(code), "") << code;
}

}  // namespace
}  // namespace zepa::chain
