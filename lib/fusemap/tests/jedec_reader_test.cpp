#include "fusemap/jedec_reader.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "fusemap/fatal_error.h"
#include "fusemap/part_table.h"
#include "fusemap/tests/support/jedec_gen.h"

namespace zepa::fusemap {
namespace {

struct QfCase {
  const char* line;
  int expected_id;
  int code;
};

TEST(QfPartCodeTest, NamesThePartOfALiteralFuseCount) {
  const std::vector<QfCase> cases = {
      {"QF20542*", 51, kZepa1_32},
      {"QF41306*", 0, kZepa1_64},
      {"QF82802*", 0, kZepa1_128},
      {"QF82930*", kZepa1_128A, kZepa1_128A},
      {"QF82930*", kZepa1_128C, kZepa1_128C},
      {"QF82930*", kZepa1_128, kZepa1_128C},
      {"QF173492*", 0, kVtl3320},
      {"QF520476*", 0, kVtl3960},
      {"QF189969*", 0, kVtl3384XL},
      {"QF115869*", 0, kVtl3256XL},
      {"QF52009*", 0, kVtl3128XL},
      {"QF24481*", 0, kVtl3064XL},
      {"QF11529*", 0, kVtl3032XL},
      {"QF2054*", 51, 0},                     // a prefix of a count is no count
      {"qf20542*", 51, 0},                    // case counts
      {"QP44* QF11529* F0*", 0, kVtl3032XL},  // anywhere on the line
      {"QF205420*", 0, kZepa1_32},            // the test is a literal substring
      {"QF41306 QF20542", 0, kZepa1_32},      // the fixed order decides, not the position
  };
  for (const QfCase& c : cases) {
    EXPECT_EQ(QfPartCode(c.line, c.expected_id), c.code) << c.line << " expecting " << c.expected_id;
  }
}

struct ResultCase {
  const char* name;
  std::string text;
  int expected_id;
  int result;
};

TEST(ReadJedecTest, ResultNamesTheExpectedPartOrWhyNot) {
  const std::vector<ResultCase> cases = {
      {"count on a later line", "\x02header*\nNOTE DEVICE VTL5064C*\nQF41306*\nF0*\n", kZepa1_64, kZepa1_64},
      {"NOTE line quoting a count is skipped", "NOTE QF82802*\nQF20542*\n", kZepa1_32, kZepa1_32},
      {"count only in a NOTE line", "NOTE QF82802 fuses*\nF0*\n", kZepa1_128, kJedecNoLegalDevice},
      {"no count at all", "QP44*\nF0*\nL000000 0*\n", kZepa1_32, kJedecNoLegalDevice},
      {"prefix of a count", "QF2054*\n", kZepa1_32, kJedecNoLegalDevice},
      {"A/C count for the plain 128", "QF82930*\n", kZepa1_128, kJedecOtherPart},
      {"A/C count for the A part", "QF82930*\n", kZepa1_128A, kZepa1_128A},
      {"A/C count for the C part", "QF82930*\n", kZepa1_128C, kZepa1_128C},
      {"count of another family", "QF24481*\n", kZepa1_64, kJedecOtherPart},
      {"first line with a count decides", "QF20542*\nQF41306*\n", kZepa1_64, kJedecOtherPart},
      {"unknown part", "QF20542*\n", kUnknownPart, kJedecOtherPart},
  };
  for (const ResultCase& c : cases) {
    FuseArray fuse(82930, FuseArray::Fill::kOnes);
    std::istringstream in(c.text);
    EXPECT_EQ(read_jedec(in, "t.jed", c.expected_id, fuse), c.result) << c.name;
  }
}

TEST(ReadJedecTest, MismatchLeavesTheFusesUntouched) {
  FuseArray fuse(20542, FuseArray::Fill::kOnes);
  std::istringstream in("QF41306*\nL000000 0000*\n");
  EXPECT_EQ(read_jedec(in, "t.jed", kZepa1_32, fuse), kJedecOtherPart);
  EXPECT_EQ(fuse.read_fuse(0), 1);
}

TEST(ReadJedecTest, EmptyNameReturnsTheExpectedPartWithoutReading) {
  FuseArray fuse(20542, FuseArray::Fill::kOnes);
  EXPECT_EQ(read_jedec("", kZepa1_64, fuse), kZepa1_64);
  EXPECT_EQ(fuse.Checksum(), FuseArray(20542, FuseArray::Fill::kOnes).Checksum());
}

struct FuseCase {
  const char* name;
  std::string body;                         // lines after the QF line of a 32-macrocell file
  std::vector<std::pair<long, int>> fuses;  // fuse, value after reading
};

TEST(ReadJedecTest, LLinesSetTheirFuses) {
  const std::vector<FuseCase> cases = {
      {"x counts as 1", "L000120 10x0*\n", {{119, 1}, {120, 1}, {121, 0}, {122, 1}, {123, 0}, {124, 1}}},
      {"second group ignored",
       "L000120 1100 0011*\n",
       {{120, 1}, {121, 1}, {122, 0}, {123, 0}, {124, 1}, {127, 1}}},
      {"short number, TAB", "L120\t0*\n", {{120, 0}, {121, 1}}},
      {"digits on following lines are not read", "L000000 0000\n0000*\n", {{3, 0}, {4, 1}, {7, 1}}},
      {"unmentioned fuses stay 1", "L000010 0*\n", {{9, 1}, {10, 0}, {11, 1}, {20541, 1}}},
      {"later line wins", "L000005 0*\nL000005 1*\n", {{5, 1}}},
      {"line longer than 249 characters", "L000000 " + std::string(300, '0') + "*\n", {{299, 0}, {300, 1}}},
      {"CR LF line end is no fuse digit", "L020541 0\r\nL000001 0*\r\n", {{20541, 0}, {1, 0}}},
      {"last fuse of the part", "L020540 00*", {{20540, 0}, {20541, 0}}},
      {"not an L line", " L000000 0*\nF0*\nC0000*\n", {{0, 1}}},
  };
  for (const FuseCase& c : cases) {
    FuseArray fuse(20542, FuseArray::Fill::kOnes);
    std::istringstream in("QF20542*\n" + c.body);
    ASSERT_EQ(read_jedec(in, "t.jed", kZepa1_32, fuse), kZepa1_32) << c.name;
    for (const auto& [n, value] : c.fuses) EXPECT_EQ(fuse.read_fuse(n), value) << c.name << ", fuse " << n;
  }
}

// Runs of digits are stored 16 fuses at a time where they cover whole words of the array and their end is
// searched eight characters at a time; every start within a word, every length around a word boundary and
// every separator after the run must give the same fuses as digit-by-digit rules ('0' is 0, any other
// character 1), leave the neighbours alone and ignore what follows the separator.
TEST(ReadJedecTest, LongRunsSetTheSameFusesAsDigitByDigit) {
  const std::string alphabet =
      "0110x0X1\xB0"
      "0\x7F"
      "01/0";  // '0' and characters that count as 1
  struct RunCase {
    long start;
    std::size_t length;
  };
  const std::vector<RunCase> cases = {{0, 16},     {0, 15},     {0, 17},     {1, 16},  {15, 1},
                                      {15, 2},     {15, 33},    {16, 48},    {17, 31}, {7, 100},
                                      {20526, 16}, {20525, 17}, {20480, 62}, {3, 0}};
  for (const auto& [start, length] : cases) {
    SCOPED_TRACE("start " + std::to_string(start) + ", " + std::to_string(length) + " digits");
    const std::vector<std::pair<FuseArray::Fill, std::string>> endings = {
        {FuseArray::Fill::kOnes, "*\n"},
        {FuseArray::Fill::kZeros, "*\n"},
        {FuseArray::Fill::kOnes, " 0101010101010101010*\n"},
        {FuseArray::Fill::kZeros, "\t1010101010101010101\n"},
        {FuseArray::Fill::kZeros, "\n0101010101010101010*\n"},
        {FuseArray::Fill::kOnes, ""},  // the file ends with the digits
    };
    for (const auto& [fill, ending] : endings) {
      SCOPED_TRACE("followed by \"" + ending + "\"");
      if (length == 0 && ending.size() > 2) continue;  // the group after the separator would be the digits
      std::string digits;
      for (std::size_t i = 0; i < length; ++i)
        digits += alphabet[(i * 7 + static_cast<std::size_t>(start)) % alphabet.size()];
      FuseArray expected(20542, fill);
      for (std::size_t i = 0; i < length; ++i)
        expected.write_fuse(start + static_cast<long>(i), digits[i] != '0');

      FuseArray fuse(20542, fill);
      char number[16];
      std::snprintf(number, sizeof number, "L%06ld ", start);
      std::istringstream in("QF20542*\n" + std::string(number) + digits + ending);
      ASSERT_EQ(read_jedec(in, "t.jed", kZepa1_32, fuse), kZepa1_32);
      EXPECT_EQ(fuse.words(), expected.words());
    }
  }
}

// A last line without LF keeps every character: a CR there is a fuse digit like any other non-'0'.
// Lines that end in a lone CR (the last one included) are lines like any other: the part and the fuses are
// found, and the CR is no fuse data.
TEST(ReadJedecTest, LoneCrEndsALine) {
  for (const std::string text :
       {"QF20542*\rL000010 01*\rL000012 1\r", "QF20542*\r\nL000010 01*\nL000012 1\r"}) {
    FuseArray fuse(20542, FuseArray::Fill::kZeros);
    std::istringstream in(text);
    ASSERT_EQ(read_jedec(in, "t.jed", kZepa1_32, fuse), kZepa1_32) << text;
    EXPECT_EQ(fuse.read_fuse(10), 0) << text;
    EXPECT_EQ(fuse.read_fuse(11), 1) << text;
    EXPECT_EQ(fuse.read_fuse(12), 1) << text;
    EXPECT_EQ(fuse.read_fuse(13), 0) << text << ": the CR is no fuse";
  }
}

struct ErrorCase {
  const char* name;
  std::string text;
  int code;
  const char* message;
};

TEST(ReadJedecTest, LFieldsOutsideThePartRejectTheFile) {
  const std::vector<ErrorCase> cases = {
      {"one fuse past the end", "QF20542*\nL020541 00*\n", kErrFuseOutsidePart, "t.jed: line 2 names fuses"},
      {"start past the end", "QF20542*\nF0*\nL020542 0*\n", kErrFuseOutsidePart, "t.jed: line 3 names fuses"},
      {"huge start", "QF20542*\nL99999999999999999999999 0*\n", kErrFuseOutsidePart, "t.jed: line 2"},
      {"negative start", "QF20542*\nL-1 00*\n", kErrFuseOutsidePart, "t.jed: line 2"},
  };
  for (const ErrorCase& c : cases) {
    FuseArray fuse(20542, FuseArray::Fill::kOnes);
    std::istringstream in(c.text);
    try {
      read_jedec(in, "t.jed", kZepa1_32, fuse);
      ADD_FAILURE() << c.name << ": accepted";
    } catch (const FatalError& e) {
      EXPECT_EQ(e.code(), c.code) << c.name;
      EXPECT_EQ(std::string(e.what()).rfind(c.message, 0), 0u) << c.name << ": " << e.what();
    }
  }
}

// A design that cannot be opened is error 200 with the system's reason; a folder is no empty design.
TEST(ReadJedecTest, UnopenableFileIsFatalError200WithItsReason) {
  const std::filesystem::path folder = std::filesystem::temp_directory_path() / "zepa_jedec_folder.jed";
  std::filesystem::create_directories(folder);
  struct Case {
    std::string name;
    std::string message;
  };
  const Case cases[] = {
      {"no/such/design.jed", "no/such/design.jed: File open failed. (No such file or directory)"},
      {folder.string(), folder.string() + ": File open failed. (Is a directory)"},
  };
  for (const auto& c : cases) {
    FuseArray fuse(20542, FuseArray::Fill::kOnes);
    try {
      read_jedec(c.name, kZepa1_32, fuse);
      ADD_FAILURE() << c.name << ": no error";
    } catch (const FatalError& e) {
      EXPECT_EQ(e.code(), kErrJedecOpen);
      EXPECT_EQ(std::string(e.what()), c.message);
    }
  }
  std::filesystem::remove(folder);
}

TEST(JedecGeneratorTest, WritesFieldsAndChecksumsTheReaderAccepts) {
  // 10 fuses, all ones: fuses 0..7 make 0xFF, fuses 8 and 9 make 0x03, so the fuse checksum is 0x0102.
  const std::string text =
      testing::JedecText(testing::FusesWithZeros(10, {}), {.device = "", .fuses_per_line = 4});
  EXPECT_EQ(
      text.substr(text.find("QF")),
      "QF10*\nF0*\nL000000 1111*\nL000004 1111*\nL000008 11*\nC0102*\n\x03" + text.substr(text.size() - 5));
  unsigned sum = 0;
  for (std::size_t i = 0; i + 5 < text.size(); ++i) sum += static_cast<unsigned char>(text[i]);
  char expected[8];
  std::snprintf(expected, sizeof expected, "%04X\n", sum & 0xFFFFu);
  EXPECT_EQ(text.substr(text.size() - 5), expected);

  // A 64-macrocell design with CR LF line ends reads back fuse for fuse.
  const FuseArray design = testing::FusesWithZeros(41306, {0, 17, 9999, 41305});
  std::istringstream in(
      testing::JedecText(design, {.device = "VTL5064C", .fuses_per_line = 80, .crlf = true}));
  FuseArray read(41306, FuseArray::Fill::kOnes);
  ASSERT_EQ(read_jedec(in, "g.jed", kZepa1_64, read), kZepa1_64);
  EXPECT_EQ(read.words(), design.words());
  EXPECT_THROW(testing::FusesWithZeros(10, {10}), std::out_of_range);
}

}  // namespace
}  // namespace zepa::fusemap
