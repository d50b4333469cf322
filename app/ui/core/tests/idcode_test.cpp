#include "ui/core/idcode.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <string>

#include "sim/parts.h"

namespace zepa::ui {
namespace {

struct Fields {
  unsigned version;  // bits 31..28
  unsigned arch;     // bits 27..25
  unsigned tech;     // bits 24..22
  unsigned mc;       // bits 21..16
  unsigned volt;     // bit 15
  unsigned package;  // bits 14..12
  unsigned mft;      // bits 11..1
  unsigned bit0;
};

std::uint32_t make_idcode(const Fields& f) {
  return f.version << 28 | f.arch << 25 | f.tech << 22 | f.mc << 16 | f.volt << 15 | f.package << 12 |
         f.mft << 1 | f.bit0;
}

TEST(Idcode, TextIsBitZeroFirst) {
  EXPECT_EQ(idcode_text(0x00000001u), "1" + std::string(31, '0'));
  EXPECT_EQ(idcode_text(0x80000000u), std::string(31, '0') + "1");
  EXPECT_EQ(idcode_text(0x0000000Au), "0101" + std::string(28, '0'));
}

TEST(Idcode, Decoding) {
  struct Case {
    const char* name;
    Fields fields;
    IdcodeFields expected;
  };
  const Case cases[] = {
      {"ZEPA1 128 MC",
       {2, 0b000, 0b000, 0b001000, 1, 1, 0b00000100101, 1},
       {"1 ", "00000100101", "3.3 volt", "128 MC", "ZEPA1", "PQ 100", "0.5u EECMOS", "Version 2"}},
      {"ZEPA1 32 MC, Ext counts as 32",
       {1, 0b000, 0b000, 0b000001, 0, 2, 0, 1},
       {"1 ", "00000000000", "5 volt", "32 MC, Ext", "ZEPA1", "VQ 44", "0.5u EECMOS", "Version 1"}},
      {"ZEPA1 128 MC, ES counts as 128",
       {0, 0b000, 0b000, 0b011000, 0, 5, 0, 1},
       {"1 ", "00000000000", "5 volt", "128 MC, ES", "ZEPA1", "PC 84", "0.5u EECMOS", "Version 0"}},
      {"ZEPA1 with a count it has no row for",
       {0, 0b000, 0b000, 0b010010, 0, 1, 0, 1},
       {"1 ", "00000000000", "5 volt", "192 MC", "ZEPA1", "Undefined", "0.5u EECMOS", "Version 0"}},
      {"unknown macrocell code",
       {0, 0b000, 0b000, 0b111111, 0, 1, 0, 1},
       {"1 ", "00000000000", "5 volt", "Future use", "ZEPA1", "Undefined", "0.5u EECMOS", "Version 0"}},
      {"ZEPA3 32 MC shows version 0",
       {9, 0b010, 0b010, 0b000000, 1, 5, 0b11111111111, 1},
       {"1 ", "11111111111", "3.3 volt", "32 MC", "ZEPA3", "PC 44", "0.35u EECMOS", "Version 0"}},
      {"ZEPA3 32 MC, Ext shows version 0 too",
       {3, 0b010, 0b010, 0b000001, 1, 4, 0, 1},
       {"1 ", "00000000000", "3.3 volt", "32 MC, Ext", "ZEPA3", "CS 48", "0.35u EECMOS", "Version 0"}},
      {"ZEPA3 64 MC keeps its version",
       {15, 0b010, 0b010, 0b000100, 1, 0, 0, 1},
       {"1 ", "00000000000", "3.3 volt", "64 MC", "ZEPA3", "CP 56", "0.35u EECMOS", "Version 15"}},
      {"ZEPA3 384 MC",
       {1, 0b010, 0b010, 0b010101, 1, 6, 0, 1},
       {"1 ", "00000000000", "3.3 volt", "384 MC", "ZEPA3", "FG 256", "0.35u EECMOS", "Version 1"}},
      {"ZEPA3 192 MC, package 7",
       {1, 0b010, 0b010, 0b010010, 1, 7, 0, 1},
       {"1 ", "00000000000", "3.3 volt", "192 MC", "ZEPA3", "Undefined", "0.35u EECMOS", "Version 1"}},
      {"ZEPA2 has no package",
       {4, 0b001, 0b001, 0b101000, 1, 3, 0, 1},
       {"1 ", "00000000000", "3.3 volt", "960 MC", "ZEPA2", "", "0.35u SRAM", "Version 4"}},
      {"bit 0 clear still decodes the rest",
       {1, 0b000, 0b000, 0b000100, 0, 3, 0b10000000001, 0},
       {"Error on bit0!", "10000000001", "5 volt", "64 MC", "ZEPA1", "CP 56", "0.5u EECMOS", "Version 1"}},
      {"reserved architecture and future technology",
       {0, 0b011, 0b111, 0b000000, 0, 1, 0, 1},
       {"1 ", "00000000000", "5 volt", "32 MC", "Reserved", "", "Future use", "Version 0"}},
      {"future architecture",
       {0, 0b100, 0b011, 0b000000, 0, 1, 0, 1},
       {"1 ", "00000000000", "5 volt", "32 MC", "Future use", "", "Future use", "Version 0"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const IdcodeFields got = decode_idcode(make_idcode(c.fields));
    EXPECT_EQ(got.bit0, c.expected.bit0);
    EXPECT_EQ(got.manufacturer, c.expected.manufacturer);
    EXPECT_EQ(got.voltage, c.expected.voltage);
    EXPECT_EQ(got.macrocells, c.expected.macrocells);
    EXPECT_EQ(got.architecture, c.expected.architecture);
    EXPECT_EQ(got.package, c.expected.package);
    EXPECT_EQ(got.technology, c.expected.technology);
    EXPECT_EQ(got.version, c.expected.version);
  }
}

TEST(Idcode, TextThatIsNoIdcodeDecodesToNothing) {
  const std::string valid = idcode_text(make_idcode({1, 0b000, 0b000, 0b001000, 0, 1, 0, 1}));
  for (const std::string& text : {std::string(), valid.substr(0, 31), "2" + valid.substr(1),
                                  valid.substr(0, 20) + " " + valid.substr(21)}) {
    const IdcodeFields got = decode_idcode(text);
    EXPECT_EQ(got.bit0 + got.manufacturer + got.voltage + got.macrocells + got.architecture + got.package +
                  got.technology + got.version,
              "")
        << '"' << text << '"';
  }
  EXPECT_EQ(decode_idcode(valid + "\r").macrocells, "128 MC") << "characters after the 32nd are not read";
}

TEST(Idcode, DecodingIntoTheTableCutsEachField) {
  chain::ChainTable table;
  table[4].idcode = "unchanged";
  decode_idcode(table, 4, idcode_text(make_idcode({12, 0b011, 0b010, 0b000000, 1, 2, 0b00001001001, 0})));
  const chain::ChainDevice& dev = table[4];
  EXPECT_EQ(dev.id_ver, "Version 12");
  EXPECT_EQ(dev.id_arch, "Reserv");
  EXPECT_EQ(dev.id_tech, "0.35u EECMOS");
  EXPECT_EQ(dev.id_mc, "32 MC");
  EXPECT_EQ(dev.id_volt, "3.3 volt");
  EXPECT_EQ(dev.id_pkg, "");
  EXPECT_EQ(dev.id_mft, "00001001001");
  EXPECT_EQ(dev.id_bit0, "Error on bit0!");
  EXPECT_EQ(dev.idcode, "unchanged");

  decode_idcode(table, 4, idcode_text(make_idcode({0, 0b111, 0b000, 0b000000, 0, 1, 0, 1})));
  EXPECT_EQ(dev.id_arch, "Future");
  EXPECT_THROW(decode_idcode(table, 61, ""), std::out_of_range);
}

// The simulated parts answer the IDCODEs a real part does; the identification must name each one (and,
// where parts share a type code, the group it is in) with its instruction-register length.
TEST(Idcode, IdentificationNamesEveryPartOfTheSystem) {
  for (const sim::PartInfo& part : sim::Parts()) {
    if (part.family == sim::Family::kOther) continue;
    SCOPED_TRACE(part.name);
    const IdentifiedPart found = identify_part(sim::DefaultIdcode(part));
    EXPECT_EQ(found.type_code, part.type_code);
    EXPECT_NE(std::find(found.names.begin(), found.names.end(), std::string(part.name)), found.names.end());
    EXPECT_EQ(found.ir_length, part.family == sim::Family::kZepa1 ? 4 : 5);
  }
}

TEST(Idcode, IdentificationRefusesOtherMakersAndFamilies) {
  const std::uint32_t vtl3256xl = sim::DefaultIdcode(*sim::FindPart("VTL3256XL"));
  const struct {
    const char* what;
    std::uint32_t idcode;
  } cases[] = {
      {"another maker", (vtl3256xl & ~0xFFEu) | (0x123u << 1)},
      {"a family of no part", (vtl3256xl & ~(7u << 25)) | (7u << 25)},
      {"all ones (no device)", 0xFFFFFFFFu},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const IdentifiedPart found = identify_part(c.idcode);
    EXPECT_EQ(found.type_code, 0);
    EXPECT_TRUE(found.names.empty());
    EXPECT_EQ(found.ir_length, 0);
  }
}

}  // namespace
}  // namespace zepa::ui
