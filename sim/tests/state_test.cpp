#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>

#include "sim/board.h"
#include "testsupport/files.h"

namespace zepa::sim {
namespace {

using zepa::testing::TempDir;

Bits Pattern(std::size_t n, unsigned seed) {
  Bits bits(n);
  for (std::size_t i = 0; i < n; ++i) bits[i] = ((i * 7 + seed) % 3) == 0;
  return bits;
}

TEST(BoardState, WhatDevicesKeepSurvivesARestart) {
  TempDir dir;
  const std::string file =
      dir.Write("board.txt", "device VTL3064A\ndevice VTL3256XL secured\ndevice VTL3032XL\n");
  {
    auto board = Board::Open(file);
    EXPECT_TRUE(board->device(2).memory().secured) << "the board line's initial state";
    board->device(1).memory().secured = true;
    board->device(1).memory().rows[0] = Pattern(512, 1);
    board->device(1).memory().rows[85] = Pattern(13, 2);  // not a multiple of four bits
    board->device(1).memory().rows[7] = Bits();
    board->device(2).memory().Erase();
    board->SaveState(Board::StatePath(file));
  }
  for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
    EXPECT_NE(entry.path().extension(), ".tmp") << "no temporary file is left: " << entry.path();
  auto again = Board::Open(file);
  EXPECT_TRUE(again->device(1).memory().secured);
  EXPECT_EQ(again->device(1).memory().rows.size(), 3u);
  EXPECT_EQ(again->device(1).memory().rows.at(0), Pattern(512, 1));
  EXPECT_EQ(again->device(1).memory().rows.at(85), Pattern(13, 2));
  EXPECT_TRUE(again->device(1).memory().rows.at(7).empty());
  EXPECT_FALSE(again->device(2).memory().secured) << "erased in the last run, the board line notwithstanding";
  EXPECT_EQ(again->device(3).memory(), DeviceMemory{});
}

TEST(BoardState, ADeviceWhoseLineChangedStartsAfresh) {
  TempDir dir;
  const std::string file = dir.Write("board.txt", "device VTL3064A\ndevice VTL3064A\n");
  {
    auto board = Board::Open(file);
    for (std::size_t d : {1u, 2u}) board->device(d).memory().rows[3] = Pattern(512, 3);
    board->SaveState(Board::StatePath(file));
  }
  dir.Write("board.txt", "device VTL3064A\ndevice VTL3064A secured\n");
  auto board = Board::Open(file);
  EXPECT_EQ(board->device(1).memory().rows.size(), 1u);
  EXPECT_TRUE(board->device(2).memory().rows.empty());
  EXPECT_TRUE(board->device(2).memory().secured);
}

TEST(BoardState, MalformedStateFilesNameTheLine) {
  struct Case {
    const char* text;
    const char* message;
  };
  const std::vector<Case> cases = {
      {"secured\n", ":1: 'secured' before any device line"},
      {"device x VTL3064A\n", ":1: a device line starts with its position"},
      {"device 1 VTL3064A irlen=4 idcode=0x0004902B\nrow 1 8\n", ":2: a row line is: row ADDRESS BITS HEX"},
      {"device 1 VTL3064A irlen=4 idcode=0x0004902B\nrow 1 8 FFF\n", ":2: the row's hexadecimal digits"},
      {"device 1 VTL3064A irlen=4 idcode=0x0004902B\nrow 1 8 FG\n", ":2: the row's hexadecimal digits"},
      {"# ok\nflash 1\n", ":2: unknown word 'flash'"},
      {"erased\n", ":1: 'erased' before any device line"},
      {"blank 3\n", ":1: a blank row before any device line"},
      {"device 1 VTL3064A irlen=4 idcode=0x0004902B\nblank x\n", ":2: a blank row line is: blank ADDRESS"},
  };
  TempDir dir;
  const std::string file = dir.Write("board.txt", "device VTL3064A\n");
  for (const auto& c : cases) {
    dir.Write("board.txt.state", c.text);
    try {
      Board::Open(file);
      ADD_FAILURE() << "accepted: " << c.text;
    } catch (const std::runtime_error& e) {
      EXPECT_NE(std::string(e.what()).find(Board::StatePath(file) + c.message), std::string::npos)
          << e.what();
    }
  }
}

// What a running board appends to its saved state: a device line again continues the device, "erased"
// empties it, "blank" drops a row, a later row line replaces the row; a last line without its line end (a
// write cut short) is not read.
TEST(BoardState, ChangesAppendedWhileRunningAreReadOverTheSavedState) {
  const std::string dev = "device 1 VTL3064A irlen=4 idcode=0x0004902B\n";
  const std::string saved = dev + "secured\nrow 1 8 00\nrow 2 8 00\n";
  struct Case {
    const char* name;
    std::string text;
    bool secured;
    std::map<int, Bits> rows;
  };
  const Bits zeros(8, false);
  const Bits low_ones = {false, false, false, false, true, true, true, true};
  const std::vector<Case> cases = {
      {"saved only", saved, true, {{1, zeros}, {2, zeros}}},
      {"a row programmed", saved + dev + "row 3 8 0F\n", true, {{1, zeros}, {2, zeros}, {3, low_ones}}},
      {"a row replaced", saved + dev + "row 2 8 0F\n", true, {{1, zeros}, {2, low_ones}}},
      {"erased, then a row", saved + dev + "erased\n" + dev + "row 3 8 0F\n", false, {{3, low_ones}}},
      {"a row blank again", saved + dev + "blank 1\n", true, {{2, zeros}}},
      {"an append cut short", saved + dev + "row 3 8 0", true, {{1, zeros}, {2, zeros}}},
      {"cut short in the device line", saved + "device 1 VTL30", true, {{1, zeros}, {2, zeros}}},
  };
  TempDir dir;
  const std::string file = dir.Write("board.txt", "device VTL3064A\n");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    dir.Write("board.txt.state", c.text);
    auto board = Board::Open(file);
    EXPECT_EQ(board->device(1).memory().secured, c.secured);
    EXPECT_EQ(board->device(1).memory().rows, c.rows);
  }
}

// One program at a time has a board open: a second one is refused with the board file named, until the
// first lets go.
TEST(BoardState, ABoardOpenInOneProgramIsRefusedToAnother) {
  TempDir dir;
  const std::string file = dir.Write("board.txt", "device VTL3064A\n");
  auto first = Board::Open(file);
  try {
    Board::Open(file);
    ADD_FAILURE() << "opened twice";
  } catch (const std::runtime_error& e) {
    EXPECT_EQ(std::string(e.what()), file +
                                         ": the simulated board is in use by another program (zepaisp-cli, "
                                         "zepaisp or zepa-sim holds " +
                                         Board::LockPath(file) + ")");
  }
  first.reset();
  EXPECT_NO_THROW(Board::Open(file));
}

}  // namespace
}  // namespace zepa::sim
