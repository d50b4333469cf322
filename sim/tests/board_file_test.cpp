#include "sim/board_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "sim/parts.h"

namespace zepa::sim {
namespace {

TEST(BoardFile, ReadsTheDocumentedShape) {
  const BoardSpec spec = ParseBoardText(
      "# a three-device board on the port at 378h with the maker's cable\n"
      "port 378\n"
      "cable relay                      # relay | corvane | byteblaster | none\n"
      "device VTL3064A                  # chain order\n"
      "device VTL3256XL secured\n"
      "device Others irlen=7 idcode=0x1234567F\n",
      "board.txt");
  EXPECT_EQ(spec.port, 0x378);
  EXPECT_EQ(spec.cable, CableType::kRelay);
  ASSERT_EQ(spec.devices.size(), 3u);
  EXPECT_STREQ(spec.devices[0].part->name, "VTL3064A");
  EXPECT_EQ(spec.devices[0].ir_length, 4);
  EXPECT_EQ(spec.devices[0].idcode, DefaultIdcode(*FindPart("VTL3064A")));
  EXPECT_FALSE(spec.devices[0].secured);
  EXPECT_EQ(spec.devices[1].ir_length, 5);
  EXPECT_TRUE(spec.devices[1].secured);
  EXPECT_EQ(spec.devices[1].line, 5);
  EXPECT_EQ(spec.devices[2].ir_length, 7);
  EXPECT_EQ(spec.devices[2].idcode, 0x1234567Fu);
}

TEST(BoardFile, DefaultsCaseAndLineEndings) {
  struct Case {
    const char* text;
    std::uint16_t port;
    CableType cable;
    std::size_t devices;
  };
  const std::vector<Case> cases = {
      {"device VTL3032XL\n", 0x378, CableType::kRelay, 1},
      {"PORT 3bch\r\nCable ByteBlaster\r\nDEVICE vtl3960\r\n", 0x3BC, CableType::kByteBlaster, 1},
      {"port 278\ncable corvane\n\n   # only a comment\n", 0x278, CableType::kCorvane, 0},
      {"cable none\ndevice VTL3320\ndevice VTL5128C idcode=none irlen=8", 0x378, CableType::kNone, 2},
  };
  for (const auto& c : cases) {
    const BoardSpec spec = ParseBoardText(c.text, "b");
    EXPECT_EQ(spec.port, c.port) << c.text;
    EXPECT_EQ(spec.cable, c.cable) << c.text;
    EXPECT_EQ(spec.devices.size(), c.devices) << c.text;
  }
  EXPECT_EQ(ParseBoardText("device VTL3032XL\n", "b").min_half_clock_ns, 0) << "any pace by default";
  EXPECT_EQ(ParseBoardText("tck 500ns\n", "b").min_half_clock_ns, 500);
  EXPECT_EQ(ParseBoardText("TCK 2500\n", "b").min_half_clock_ns, 2500);
  const BoardSpec spec = ParseBoardText("device VTL5128C idcode=none irlen=8", "b");
  EXPECT_FALSE(spec.devices[0].idcode.has_value());
  EXPECT_EQ(spec.devices[0].ir_length, 8);
  EXPECT_FALSE(spec.devices[0].ir_capture.has_value());
  // Another capture than ...0001: what a part with status bits above its "01" loads.
  const BoardSpec status = ParseBoardText("device Others irlen=6 idcode=none IRCAPTURE=0x2D", "b");
  EXPECT_EQ(status.devices[0].ir_capture, 0x2Du);
  EXPECT_EQ(status.devices[0].Canonical(), "Others irlen=6 idcode=none ircapture=0x2D");
  EXPECT_EQ(spec.devices[0].Canonical(), "VTL5128C irlen=8 idcode=none");  // unchanged without it
}

TEST(BoardFile, EveryMistakeNamesTheFileAndLine) {
  struct Case {
    const char* text;
    const char* message;
  };
  const std::vector<Case> cases = {
      {"prot 378\n", "b.txt:1: unknown word 'prot'"},
      {"port 378\nport 278\n", "b.txt:2: a second port line"},
      {"port 379\n", "b.txt:1: port '379' is not 278, 378 or 3BC"},
      {"port\n", "b.txt:1: a port line gives one address"},
      {"cable\n", "b.txt:1: a cable line names one cable"},
      {"cable usb\n", "b.txt:1: unknown cable 'usb'"},
      {"cable relay\n\ncable relay\n", "b.txt:3: a second cable line"},
      {"device\n", "b.txt:1: a device line names a part"},
      {"tck\n", "b.txt:1: a tck line gives the shortest half clock in nanoseconds"},
      {"tck 500\ntck 600\n", "b.txt:2: a second tck line"},
      {"tck 0\n", "b.txt:1: tck '0' is not a half clock of 1 to 1000000000 nanoseconds"},
      {"tck 5us\n", "b.txt:1: tck '5us' is not a half clock"},
      {"tck -5\n", "b.txt:1: tck '-5' is not a half clock"},
      {"device VTL9999\n", "b.txt:1: unknown part 'VTL9999'"},
      {"device VTL3064A locked\n", "b.txt:1: unknown device word 'locked'"},
      {"device VTL3064A secured secured\n", "b.txt:1: 'secured' given twice"},
      {"device Others\n", "b.txt:1: part 'Others' needs irlen=N"},
      {"device Others irlen=1\n", "b.txt:1: irlen=1 is outside 2..32"},
      {"device Others irlen=33\n", "b.txt:1: irlen=33 is outside 2..32"},
      {"device Others irlen=4x\n", "b.txt:1: irlen '4x' is not a number"},
      {"device Others irlen=4 irlen=5\n", "b.txt:1: irlen given twice"},
      {"device VTL3064A idcode=1234\n", "is not 0x and 1 to 8 hexadecimal digits"},
      {"device VTL3064A idcode=0x123456789\n", "is not 0x and 1 to 8 hexadecimal digits"},
      {"device VTL3064A idcode=0xGG\n", "b.txt:1: idcode 'gg' is not a number"},
      {"device Others irlen=4 ircapture=0x2\n", "b.txt:1: ircapture '0x2' does not end in binary 01"},
      {"device Others irlen=4 ircapture=0x3\n", "does not end in binary 01"},
      {"device Others irlen=4 ircapture=0x11\n", "b.txt:1: ircapture does not fit irlen=4"},
      {"device Others irlen=4 ircapture=5\n", "is not 0x and 1 to 8 hexadecimal digits"},
      {"device Others irlen=4 ircapture=0x1 ircapture=0x5\n", "ircapture given twice"},
  };
  for (const auto& c : cases) {
    try {
      ParseBoardText(c.text, "b.txt");
      ADD_FAILURE() << "accepted: " << c.text;
    } catch (const BoardFileError& e) {
      EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos) << e.what();
    }
  }
}

TEST(BoardFile, RefusesMoreDevicesThanItSimulatesAndMissingFiles) {
  std::string text;
  for (std::size_t i = 0; i <= kMaxBoardDevices; ++i) text += "device VTL3032A\n";
  EXPECT_THROW(ParseBoardText(text, "b"), BoardFileError);
  try {
    ReadBoardFile("/nonexistent/board.txt");
    ADD_FAILURE();
  } catch (const BoardFileError& e) {
    EXPECT_STREQ(e.what(), "/nonexistent/board.txt: cannot open the board file");
  }
}

// The engine's identification, written out independently: fields read from the IDCODE bits in order.
int IdentifiedTypeCode(std::uint32_t idcode) {
  auto field = [idcode](int from, int to) {
    std::string s;
    for (int b = from; b <= to; ++b) s += ((idcode >> b) & 1) ? '1' : '0';
    return s;
  };
  const std::string maker = field(1, 11), part = field(16, 21), family = field(25, 27);
  if ((idcode & 1) == 0 || (maker != "10101000000" && maker != "10010010000")) return -1;
  const bool flag = (idcode >> 15) & 1;
  if (family == "000") {
    if (part == "100000" || part == "000000") return 51;
    if (part == "101000" || part == "001000") return 85;
    if (part == "000100") return 119;
    if (part == "100100") return flag ? 121 : 120;
  } else if (family == "001") {
    if (part == "000010") return 130;
    if (part == "100101") return 132;
  } else if (family == "010") {
    if (part == "100000" || part == "000000") return 144;
    if (part == "001000") return 145;
    if (part == "000100" || part == "000110") return 146;
    if (part == "001010") return 148;
    if (part == "101010") return 149;
  }
  return 0;
}

TEST(Parts, DefaultIdcodesIdentifyAsTheirPart) {
  for (const PartInfo& part : Parts()) {
    if (part.family == Family::kOther) {
      EXPECT_EQ(DefaultIdcode(part), 0u);
      continue;
    }
    EXPECT_EQ(IdentifiedTypeCode(DefaultIdcode(part)), part.type_code) << part.name;
  }
}

}  // namespace
}  // namespace zepa::sim
