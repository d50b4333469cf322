// fusebuild's own reading of chain files (the programmer's reader follows different rules).
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "fusebuild/fusebuild.h"

namespace zepa::fusebuild {
namespace {

struct Device {
  int id;
  int IR_len;
  int cmnd;
  int bypass;
  std::string part;
  std::string jed;
  std::string ues;
};

struct ChainCase {
  const char* what;
  std::string jcd;
  std::vector<Device> devices;
};

TEST(FusebuildJcdTest, ReadsDevicesAndSignatures) {
  const std::string header =
      "#Corvane PLD device JTAG chain description\r\nTOTAL_DEVICE 2\r\n"
      "#device location    Part      IR length    Operation  Jedec file\r\n";
  const std::vector<ChainCase> cases = {
      {"the programmer's layout with CR LF line ends",
       header + "DEVICE 1           VTL3064A            4         PR      a.jed\r\n"
                "DEVICE 2           VTL3256XL           5         NO  \r\n\r\n#User Electronic Signature\r\n"
                "UES 1 $first text\r\nUES 2 $\r\n",
       {{85, 4, 2, 0, "VTL3064A", "a.jed", "first text\n"}, {148, 5, 10, 1, "VTL3256XL", "", "\n"}}},
      {"only the first character makes a comment",
       "#DEVICE 1 VTL3032A 4 PR a.jed\n #DEVICE 1 VTL3032C 4 VE b.jed\n",
       {{51, 4, 3, 0, "VTL3032C", "b.jed", ""}}},
      {"devices are numbered by their order, TOTAL_DEVICE is no device",
       "TOTAL_DEVICE 5\nDEVICE 7 VTL3128 4 pv x.jed\nDEVICE 3 Others 8 no\n",
       {{119, 4, 4, 0, "VTL3128", "x.jed", ""}, {0, 8, 10, 1, "Others", "", ""}}},
      {"TABs separate tokens, later tokens are ignored",
       "DEVICE\t1\tVTL3320\t10\tVE\td.jed\textra\n",
       {{130, 10, 3, 0, "VTL3320", "d.jed", ""}}},
      {"missing tokens leave fields empty",
       "DEVICE 1 VTL5064C\nDEVICE 2\n",
       {{85, 0, 0, 0, "VTL5064C", "", ""}, {0, 0, 0, 0, "", "", ""}}},
      {"every operation word, in any case",
       "DEVICE 1 VTL3128 4 er\nDEVICE 2 VTL3128 4 Ck\nDEVICE 3 VTL3128 4 pR\nDEVICE 4 VTL3128 4 VE\n"
       "DEVICE 5 VTL3128 4 pv\nDEVICE 6 VTL3128 4 id\nDEVICE 7 VTL3128 4 se\nDEVICE 8 VTL3128 4 pu\n"
       "DEVICE 9 VTL3128 4 ru\nDEVICE 10 VTL3128 4 up\nDEVICE 11 VTL3128 4 No\nDEVICE 12 VTL3128 4 rs\n"
       "DEVICE 13 VTL3128 4 sC\nDEVICE 14 VTL3128 4 SCAN\n",
       {{119, 4, 0, 0, "VTL3128", "", ""},
        {119, 4, 1, 0, "VTL3128", "", ""},
        {119, 4, 2, 0, "VTL3128", "", ""},
        {119, 4, 3, 0, "VTL3128", "", ""},
        {119, 4, 4, 0, "VTL3128", "", ""},
        {119, 4, 5, 0, "VTL3128", "", ""},
        {119, 4, 6, 0, "VTL3128", "", ""},
        {119, 4, 7, 0, "VTL3128", "", ""},
        {119, 4, 8, 0, "VTL3128", "", ""},
        {119, 4, 9, 0, "VTL3128", "", ""},
        {119, 4, 10, 1, "VTL3128", "", ""},
        {119, 4, 13, 0, "VTL3128", "", ""},
        {119, 4, 14, 0, "VTL3128", "", ""},
        {119, 4, -1, 0, "VTL3128", "", ""}}},
      {"unknown operation word", "DEVICE 1 VTL5064C 4 XX a.jed\n", {{85, 4, -1, 0, "VTL5064C", "a.jed", ""}}},
      {"128C is a case-sensitive substring",
       "DEVICE 1 my128C 4 PR a.jed\nDEVICE 2 VTL5128c 4 PR b.jed\n",
       {{120, 4, 2, 0, "my128C", "a.jed", ""}, {0, 4, 2, 0, "VTL5128c", "b.jed", ""}}},
      {"signature lines before their device and in any order",
       "UES 2 $second\nUES 1 $one\nDEVICE 1 VTL3032A 4 PU\nDEVICE 2 VTL3032A 4 PU\nUES 1 $again",
       {{51, 4, 7, 0, "VTL3032A", "", "again"}, {51, 4, 7, 0, "VTL3032A", "", "second\n"}}},
      {"text after the first '$', blanks and '$' kept",
       "DEVICE 1 VTL3032A 4 PU\nUES 1 x$ y$z \n",
       {{51, 4, 7, 0, "VTL3032A", "", " y$z \n"}}},
      {"no '$' gives an empty text",
       "DEVICE 1 VTL3032A 4 PU\nUES 1 $old\nUES 1 text\n",
       {{51, 4, 7, 0, "VTL3032A", "", ""}}},
      {"signature cut at 120 characters",
       "DEVICE 1 VTL3128 4 PU\nUES 1 $" + std::string(130, 'u') + "\n",
       {{119, 4, 7, 0, "VTL3128", "", std::string(120, 'u')}}},
      {"119 characters keep their line end",
       "DEVICE 1 VTL3128 4 PU\nUES 1 $" + std::string(119, 'u') + "\r\n",
       {{119, 4, 7, 0, "VTL3128", "", std::string(119, 'u') + "\n"}}},
      {"a device line naming UES is a signature line too",
       "UES 1 $sig\nDEVICE 1 VTL3128 4 PR UES.jed\n",
       {{119, 4, 2, 0, "VTL3128", "UES.jed", ""}}},
      {"a long comment line stays one comment",
       "#" + std::string(300, '-') + " DEVICE 1 VTL3128 4 PR a.jed\n",
       {}},
      {"a long device line keeps its whole design path",
       "DEVICE 1" + std::string(200, ' ') + "VTL3128 4 PR " + std::string(150, 'p') + ".jed\n",
       {{119, 4, 2, 0, "VTL3128", std::string(150, 'p') + ".jed", ""}}},
      {"a design path in double quotes keeps its blanks and TABs, without the quotes",
       "DEVICE 1 VTL3128 4 PR \"my  design\tv2.jed\" extra\nDEVICE 2 VTL3128 4 PR \"plain.jed\"\n",
       {{119, 4, 2, 0, "VTL3128", "my  design\tv2.jed", ""}, {119, 4, 2, 0, "VTL3128", "plain.jed", ""}}},
      {"a quoted path that starts with a blank",
       "DEVICE 1 VTL3128 4 PR \" a.jed\"\n",
       {{119, 4, 2, 0, "VTL3128", " a.jed", ""}}},
      {"a quote that is not closed is part of the first word",
       "DEVICE 1 VTL3128 4 PR \"my design.jed\n",
       {{119, 4, 2, 0, "VTL3128", "\"my", ""}}},
      {"signatures of devices that do not exist are ignored",
       "DEVICE 1 VTL3128 4 PR\nUES 2 $x\nUES 0 $y\nUES 99 $z\n",
       {{119, 4, 2, 0, "VTL3128", "", ""}}},
  };
  for (const ChainCase& c : cases) {
    std::istringstream in(c.jcd);
    const Chain chain = load_jcd_struct(in, "t.jcd");
    ASSERT_EQ(chain.devices.size(), c.devices.size()) << c.what;
    for (std::size_t i = 0; i < c.devices.size(); ++i) {
      const auto& got = chain.devices[i];
      const Device& want = c.devices[i];
      EXPECT_EQ(got.loc, static_cast<int>(i + 1)) << c.what;
      EXPECT_EQ(got.id, want.id) << c.what << ", device " << i + 1;
      EXPECT_EQ(got.IR_len, want.IR_len) << c.what << ", device " << i + 1;
      EXPECT_EQ(got.cmnd, want.cmnd) << c.what << ", device " << i + 1;
      EXPECT_EQ(got.bypass, want.bypass) << c.what << ", device " << i + 1;
      EXPECT_EQ(got.part, want.part) << c.what << ", device " << i + 1;
      EXPECT_EQ(got.jed, want.jed) << c.what << ", device " << i + 1;
      EXPECT_EQ(got.ues, want.ues) << c.what << ", device " << i + 1;
    }
  }
}

// A chain file whose lines end in a lone CR holds its devices one per line, as with any other line end.
TEST(FusebuildJcdTest, ALoneCrEndsALine) {
  std::istringstream in(
      "TOTAL_DEVICE 2\rDEVICE 1 VTL3128 4 PR a.jed\rDEVICE 2 VTL3064A 4 PV b.jed\rUES 2 $x\r");
  const Chain chain = load_jcd_struct(in, "t.jcd");
  ASSERT_EQ(chain.devices.size(), 2u);
  EXPECT_EQ(chain.devices[0].jed, "a.jed");
  EXPECT_EQ(chain.devices[1].jed, "b.jed");
  EXPECT_EQ(chain.devices[1].ues, "x\n") << "a signature keeps the line end it was read with";
}

TEST(FusebuildJcdTest, RejectsWhatTheDeviceRecordCannotHold) {
  std::string sixty_one;
  for (int n = 1; n <= 61; ++n) sixty_one += "DEVICE " + std::to_string(n) + " VTL3128 4 NO\n";
  struct Case {
    const char* what;
    std::string jcd;
    int code;  // 0: accepted
  };
  const std::vector<Case> cases = {
      {"61 devices", sixty_one, fusemap::kErrTooManyDevices},
      {"60 devices", sixty_one.substr(0, sixty_one.rfind("DEVICE 61")), 0},
      {"part name of 20 characters", "DEVICE 1 " + std::string(20, 'P') + " 4 PR a.jed\n",
       fusemap::kErrPartNameLength},
      {"part name of 19 characters", "DEVICE 1 " + std::string(19, 'P') + " 4 PR a.jed\n", 0},
      {"design path of 200 characters", "DEVICE 1 VTL3128 4 PR " + std::string(196, 'd') + ".jed\n",
       fusemap::kErrDesignPathLength},
      {"design path of 199 characters", "DEVICE 1 VTL3128 4 PR " + std::string(195, 'd') + ".jed\n", 0},
      {"quoted design path of 199 characters",
       "DEVICE 1 VTL3128 4 PR \"" + std::string(195, ' ') + ".jed\"\n", 0},
      {"quoted design path of 200 characters",
       "DEVICE 1 VTL3128 4 PR \"" + std::string(196, ' ') + ".jed\"\n", fusemap::kErrDesignPathLength},
  };
  for (const Case& c : cases) {
    std::istringstream in(c.jcd);
    try {
      load_jcd_struct(in, "t.jcd");
      EXPECT_EQ(c.code, 0) << c.what << ": accepted";
    } catch (const FatalError& e) {
      EXPECT_EQ(e.code(), c.code) << c.what << ": " << e.what();
    }
  }
}

TEST(FusebuildJcdTest, DecimalArgumentsReadLikeTheirLeadingNumber) {
  const std::vector<std::pair<const char*, int>> cases = {
      {"2", 2}, {" 12x", 12}, {"-1", -1}, {"+3", 3}, {"abc", 0}, {"", 0}, {"99999999999", 2147483647}};
  for (const auto& [text, value] : cases) EXPECT_EQ(ParseDecimal(text), value) << '"' << text << '"';
}

}  // namespace
}  // namespace zepa::fusebuild
