// ZEPA2 slave-serial configuration: the readers of BIT and MCS files, and the load on a simulated part
// wired to the cable's pins (DONE, the boxes, and nothing sent for a file that is refused).
#include "ui/core/slave_serial.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "chain/tests/recording_prompts.h"
#include "engine/clock.h"
#include "engine/messages.h"
#include "engine/process.h"
#include "fusemap/tests/support/jedec_gen.h"
#include "fusemap/zepa2_writer.h"
#include "sim/board.h"
#include "testsupport/files.h"
#include "ui/core/session.h"
#include "ui/core/tests/example_board_session.h"
#include "ui/core/tests/test_support.h"

namespace zepa::ui {
namespace {

namespace fs = std::filesystem;
namespace z2 = fusemap::zepa2;
using testing::SessionRig;

SerialBits Bits(const std::string& text) {
  SerialBits bits;
  for (char c : text) bits.push_back(c == '1' ? 1 : 0);
  return bits;
}

TEST(ConfigFileKind, ByExtensionInAnyCase) {
  EXPECT_EQ(config_file_kind("a/b.MCS"), ConfigFileKind::kMcs);
  EXPECT_EQ(config_file_kind("C:\\x\\design.Bit"), ConfigFileKind::kBit);
  EXPECT_EQ(config_file_kind("design.jed"), std::nullopt);
  EXPECT_EQ(config_file_kind("bit"), std::nullopt);
  EXPECT_EQ(config_file_kind("a.bit/design"), std::nullopt);
}

TEST(ReadBitStream, EveryCharacterIsABitAndLineEndsSendNothing) {
  EXPECT_EQ(read_bit_stream("1101\n0 1\r\n\t1\r10", "f.bit"), Bits("1101"
                                                                   "001"
                                                                   "01"
                                                                   "10"));
  // Lines are read whole, however long.
  const std::string long_line(5000, '1');
  EXPECT_EQ(read_bit_stream(long_line + "\n0", "f.bit").size(), 5001u);
}

TEST(ReadBitStream, OtherCharactersAreRefusedWithLineAndColumn) {
  try {
    read_bit_stream("0101\n01x1\n", "d/f.bit");
    FAIL() << "accepted";
  } catch (const ConfigFileError& e) {
    EXPECT_STREQ(e.what(), "d/f.bit line 2: 'x' in column 3 is not a bit (0 or 1)");
    EXPECT_FALSE(e.non_hex());
  }
}

TEST(ReadMcsStream, DataRecordsBackToBackEachByteLeastSignificantBitFirst) {
  const std::string text =
      ":020000020000FC\n"    // extended segment address: passed over
      ":0200000081C0BD\n"    // 81h, C0h
      ":020000041000EA\r\n"  // extended linear address: passed over
      "not a record\n"
      "\n"
      ":0100020001FC\n"  // 01h
      ":00000001FF\n";
  EXPECT_EQ(read_mcs_stream(text, "f.mcs"), Bits("10000001"
                                                 "00000011"
                                                 "10000000"));
}

TEST(ReadMcsStream, LongRecordsAreReadWhole) {
  std::string record = ":20000000";
  int sum = 0x20;
  for (int i = 0; i < 32; ++i) {
    record += "FF";
    sum += 0xFF;
  }
  char check[3];
  std::snprintf(check, sizeof check, "%02X", (256 - sum % 256) % 256);
  EXPECT_EQ(read_mcs_stream(record + check + "\n", "f.mcs").size(), 256u);
}

TEST(ReadMcsStream, BrokenRecordsAreRefusedNamingFileAndLine) {
  struct Case {
    const char* text;
    const char* message;
    bool non_hex;
  };
  const Case cases[] = {
      {":02000000810GBD\n", "f.mcs line 1: 'G' in column 13 is not a hexadecimal digit", true},
      {":0200000081C0BE\n", "f.mcs line 1: wrong checksum BE (the record's bytes need BD)", false},
      {":00000001FF\n:020000020000FD\n", "f.mcs line 2: wrong checksum FD (the record's bytes need FC)",
       false},
      {":0200000081C0\n", "f.mcs line 1: the record has 13 characters; its byte count 2 needs 15", false},
      {":0200000081C0BD00\n", "f.mcs line 1: the record has 17 characters; its byte count 2 needs 15", false},
      {":0X00000081C0BD\n",
       "f.mcs line 1: 'X' in the record's byte count, address or type is not a hexadecimal "
       "digit",
       false},
      {":02000\n", "f.mcs line 1: a record of 6 characters is too short (at least 11)", false},
      {":0200000081C0B?\n", "f.mcs line 1: '?' in column 15 is not a hexadecimal digit", false},
  };
  for (const Case& c : cases) {
    try {
      read_mcs_stream(c.text, "f.mcs");
      ADD_FAILURE() << c.text << " accepted";
    } catch (const ConfigFileError& e) {
      EXPECT_STREQ(e.what(), c.message);
      EXPECT_EQ(e.non_hex(), c.non_hex) << c.text;
    }
  }
}

// A session on a simulated board whose one part is wired for slave-serial configuration, with a design's
// files written by fusebuild's writer.
class SlaveSerialLoad : public testing::ScratchDir {
 protected:
  void Open(const std::string& part = "VTL3960", const std::string& cable = "corvane") {
    rig_ = std::make_unique<SessionRig>(dir_.string(),
                                        "cable " + cable + "\ndevice " + part + " slave-serial\n");
    settings().port.port_index = 1;  // 378h
    settings().port.cable =
        cable == "relay" ? engine::CableKind::RelayCable : engine::CableKind::CorvaneParallelCable;
  }
  RunSettings& settings() { return rig_->programmer().settings; }

  // The design's .bit and .mcs files as `name`.bit / `name`.mcs.
  void Design(const std::string& name, int part_code, unsigned seed) {
    const fusemap::FuseArray fuses = fusemap::testing::RandomFuses(part_code == 130 ? 173492 : 520476, seed);
    z2::assemble_std_frame(fuses, part_code, path(name + ".jed"));
  }
  SlaveSerialOutcome Load(const std::string& file) {
    rig_->prompts.boxes.clear();
    return configure_slave_serial(rig_->session->engine(), settings(), path(file));
  }
  // The one box the load showed.
  std::string Box() const {
    const std::vector<std::string>& boxes = rig_->prompts.boxes;
    return boxes.size() == 1 ? boxes[0] : "(boxes: " + std::to_string(boxes.size()) + ")";
  }
  bool Said(const std::string& line) const {
    const auto& lines = rig_->messages.lines();
    return std::find(lines.begin(), lines.end(), line) != lines.end();
  }

  std::unique_ptr<SessionRig> rig_;
};

TEST_F(SlaveSerialLoad, GoodStreamRaisesDoneAndAFlippedBitLeavesItLow) {
  Design("d", 132, 1);
  Open();
  EXPECT_EQ(Load("d.bit"), SlaveSerialOutcome::kDone);
  EXPECT_EQ(Box(), "info: " + std::string(kConfigDone));

  std::string bit = zepa::testing::ReadFile(path("d.bit"));
  bit[40000] = bit[40000] == '1' ? '0' : '1';
  zepa::testing::WriteFile(path("flipped.bit"), bit);
  EXPECT_EQ(Load("flipped.bit"), SlaveSerialOutcome::kNotDone);
  EXPECT_EQ(Box(), "error: " + std::string(kConfigNotDone));
}

TEST_F(SlaveSerialLoad, RefusedFilesSendNothing) {
  Design("d", 130, 2);
  Open("VTL3320");
  ASSERT_EQ(Load("d.bit"), SlaveSerialOutcome::kDone);
  struct Case {
    const char* file;
    const char* content;
    const char* box;
    bool non_hex_line;
  };
  const Case cases[] = {
      {"d.jed", nullptr, "Not a legal configuration file!", false},
      {"nonhex.mcs", ":020000020000FC\n:02000000G1C0BD\n", "line 2: 'G' in column 10", true},
      {"sum.mcs", ":0200000081C0BC\n", "line 1: wrong checksum BC", false},
      {"text.bit", "0101\n0121\n", "line 2: '2' in column 3 is not a bit", false},
      {"empty.mcs", ":00000001FF\n", "empty.mcs: no data record", false},
      {"missing.bit", nullptr, "missing.bit: ", false},
  };
  for (const Case& c : cases) {
    if (c.content != nullptr) zepa::testing::WriteFile(path(c.file), c.content);
    rig_->messages.clear();
    EXPECT_EQ(Load(c.file), SlaveSerialOutcome::kBadFile) << c.file;
    EXPECT_NE(Box().find(c.box), std::string::npos) << Box();
    EXPECT_EQ(Said(std::string(kNonHexLine)), c.non_hex_line) << c.file;
    // Nothing reached the part: no PROG pulse cleared the configuration the good load left.
    ASSERT_NE(rig_->session->board(), nullptr);
    EXPECT_TRUE(rig_->session->board()->slave_serial()->done()) << c.file;
  }
}

TEST_F(SlaveSerialLoad, OffLineReportsSuccessWithoutAPort) {
  Design("d", 130, 3);
  Open("VTL3320");
  settings().OffLine = true;
  EXPECT_EQ(Load("d.mcs"), SlaveSerialOutcome::kDone);
  EXPECT_EQ(Box(), "info: " + std::string(kConfigDone));
  EXPECT_FALSE(rig_->session->board()->slave_serial()->done());  // nothing was sent
}

TEST_F(SlaveSerialLoad, NoCableOnTheLoopBackSendsNothing) {
  Design("d", 130, 4);
  Open("VTL3320", "none");
  EXPECT_EQ(Load("d.bit"), SlaveSerialOutcome::kNoPort);
  EXPECT_TRUE(rig_->prompts.boxes.empty());
  EXPECT_TRUE(Said("*** Warning:Can not find Corvane Parallel Cable/Board or loose connect!"));
}

}  // namespace
}  // namespace zepa::ui
