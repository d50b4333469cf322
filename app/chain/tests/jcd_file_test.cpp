#include "chain/jcd_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "chain/tests/recording_prompts.h"
#include "testsupport/scratch_dir.h"

namespace zepa::chain {
namespace {

using testing::RecordingPrompts;
using zepa::testing::crlf;

ChainDevice device(int part, int ir, int cmnd, std::string_view jed = "", std::string_view ues = "") {
  ChainDevice dev;
  dev.part = part;
  dev.IR_len = ir;
  dev.cmnd = cmnd;
  dev.jed = jed;
  dev.ues = ues;
  return dev;
}

// ---- Writing ----

TEST(JcdWrite, EmptyChainHoldsOnlyTheFixedLines) {
  ChainTable table;
  EXPECT_EQ(format_jcd(table), crlf({
                                   "#Corvane PLD device JTAG chain description",
                                   "TOTAL_DEVICE 0",
                                   "#device location    Part      IR length    Operation  Jedec file",
                                   "#---------------   --------   ---------    ---------  ---------------",
                                   "",
                                   "#User Electronic Signature",
                                   "#------------------------------------------------------------",
                               }));
}

TEST(JcdWrite, DeviceLines) {
  struct Case {
    int n;
    ChainDevice dev;
    std::string line;
  };
  const Case cases[] = {
      {1, device(kPartVtl3064A, 2, kOpProgram), "DEVICE 1           VTL3064A         4         PR  "},
      // A path with blanks (or TABs) goes in double quotes, which fusebuild's reader needs; others as given.
      {2, device(kPartVtl5128C, 9, kOpProgramVerify, "C:\\my designs\\top.jed"),
       "DEVICE 2           VTL5128C         16         PV      \"C:\\my designs\\top.jed\""},
      {5, device(kPartVtl3064A, 2, kOpVerify, "my\tdesign.jed"),
       "DEVICE 5           VTL3064A         4         VE      \"my\tdesign.jed\""},
      {6, device(kPartVtl3064A, 2, kOpVerify, "/home/ann/designs/top.jed"),
       "DEVICE 6           VTL3064A         4         VE      /home/ann/designs/top.jed"},
      {60, device(kPartVtl3384XL, 8, kOpScan), "DEVICE 60           VTL3384XL       10         SC  "},
      // Unknown part, IR length and operation: "???", an empty length, "???".
      {3, device(kPartUnknown, kIrUnknown, kOpUnknown), "DEVICE 3           ???                       ???  "},
      // A line break inside a stored name would start a line of its own: the name ends there.
      {4, device(kPartOthers, 0, kOpNoOperation, "a.jed\r\nDEVICE 9 VTL3032A 4 ER"),
       "DEVICE 4           Others           2         NO      a.jed"},
  };
  for (const auto& c : cases) EXPECT_EQ(jcd_device_line(c.n, c.dev), c.line) << c.n;
}

TEST(JcdWrite, SignatureLineForEveryDeviceEvenWhenEmpty) {
  ChainTable table;
  table.DeviceCount = 2;
  table[1] = device(kPartVtl3032A, 2, kOpProgramUes, "", " lead blank");
  table[2] = device(kPartOthers, 0, kOpNoOperation);
  const std::string text = format_jcd(table);
  EXPECT_NE(text.find("TOTAL_DEVICE 2\r\n"), std::string::npos);
  EXPECT_TRUE(text.ends_with("\r\nUES 1 $ lead blank\r\nUES 2 $\r\n")) << text;
}

class JcdFile : public zepa::testing::ScratchDir {};

TEST_F(JcdFile, WriteReplacesTheFileAndBecomesTheCurrentChainFile) {
  const std::string path = write("chain.jcd", "old contents that are longer than nothing");
  ChainTable table;
  write_jcd(table, path);
  EXPECT_EQ(read("chain.jcd"), format_jcd(table));
  EXPECT_EQ(table.JcdPath, path);
  EXPECT_EQ(files(), std::vector<std::string>{"chain.jcd"}) << "no temporary file is left behind";
}

TEST_F(JcdFile, WriteFailureNamesTheFileAndLeavesNothingBehind) {
  ChainTable table;
  table.JcdPath = "before.jcd";
  std::filesystem::create_directory(path("taken"));  // a folder where the file should go
  for (const std::string& target : {path("taken"), path("missing/chain.jcd")}) {
    try {
      write_jcd(table, target);
      ADD_FAILURE() << "no error for " << target;
    } catch (const std::runtime_error& e) {
      EXPECT_NE(std::string(e.what()).find(dir_.string()), std::string::npos) << e.what();
    }
  }
  EXPECT_EQ(table.JcdPath, "before.jcd");
  EXPECT_EQ(files(), std::vector<std::string>{"taken"});
}

TEST_F(JcdFile, WrittenTableReadsBackUnchanged) {
  ChainTable written;
  written.DeviceCount = 20;
  const int ops[] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 13};
  for (int n = 1; n <= 20; ++n) {
    ChainDevice& dev = written[n];
    dev.loc = n;
    dev.part = (n - 1) % kPartCount;
    dev.IR_len = (n - 1) % 10;
    dev.cmnd = ops[(n - 1) % 12];
    if (n % 3 != 0) dev.jed = "designs/dev " + std::to_string(n) + " final.jed  ";
    if (n % 4 != 0) dev.ues = "  Board " + std::to_string(n) + " $ rev A";
  }
  write_jcd(written, path("chain.jcd"));

  ChainTable read_back;
  ASSERT_TRUE(load_jcd(read_back, path("chain.jcd")));
  EXPECT_EQ(read_back.DeviceCount, 20);
  for (int n = 1; n <= 20; ++n) {
    SCOPED_TRACE(n);
    EXPECT_EQ(read_back[n].loc, n);
    EXPECT_EQ(read_back[n].part, written[n].part);
    EXPECT_EQ(read_back[n].IR_len, written[n].IR_len);
    EXPECT_EQ(read_back[n].cmnd, written[n].cmnd);
    EXPECT_EQ(read_back[n].jed, written[n].jed.str());
    EXPECT_EQ(read_back[n].ues, written[n].ues.str());
  }
}

// ---- Reading ----

// What position n holds before a case's text is read; a case that must be ignored leaves it so.
ChainTable preset_table() {
  ChainTable table;
  table.DeviceCount = 7;
  for (int n = 1; n <= 60; ++n) {
    table[n] = device(kPartVtl3128, 4, kOpVerify, "old.jed", "old");
    table[n].loc = n;
    table[n].result = kResultPass;
  }
  return table;
}

struct ReadCase {
  const char* name;
  std::string text;
  int n;  // the position to look at
  int device_count;
  int part;
  int ir;
  int cmnd;
  std::string jed;
  std::string ues;
};

const std::string kHead = crlf({"#Corvane PLD device JTAG chain description", "TOTAL_DEVICE 3"});
const std::string kUesHead = crlf({"", "#User Electronic Signature", "#---"});

std::string long_text(char c, std::size_t n) {
  return std::string(n, c);
}

const ReadCase kReadCases[] = {
    {"plain device line", kHead + crlf({"DEVICE 2           VTL3064A         4         PR      a.jed"}), 2, 3,
     kPartVtl3064A, 2, kOpProgram, "a.jed", "old"},
    {"count digits are concatenated", crlf({"TOTAL_DEVICE 1 2"}), 1, 12, kPartVtl3128, 4, kOpVerify,
     "old.jed", "old"},
    {"the character after the last E is passed over", crlf({"TOTAL_DEVICE12"}), 1, 2, kPartVtl3128, 4,
     kOpVerify, "old.jed", "old"},
    {"count without digits is zero", crlf({"TOTAL_DEVICE"}), 1, 0, kPartVtl3128, 4, kOpVerify, "old.jed",
     "old"},
    {"IR length 16 is code 9", kHead + crlf({"DEVICE 1 VTL3032A 16 ER"}), 1, 3, kPartVtl3032A, 9,
     kOpBulkErase, "", "old"},
    {"IR length 10 is code 8", kHead + crlf({"DEVICE 1 VTL3032A 10 ER"}), 1, 3, kPartVtl3032A, 8,
     kOpBulkErase, "", "old"},
    {"SC reads back unknown", kHead + crlf({"DEVICE 1 VTL3032XL 5 SC"}), 1, 3, kPartVtl3032XL, 3, kOpUnknown,
     "", "old"},
    {"command words are read without regard to case", kHead + crlf({"DEVICE 1 Others 2 no"}), 1, 3,
     kPartOthers, 0, kOpNoOperation, "", "old"},
    {"Non names another device", kHead + crlf({"DEVICE 1 NonVeltrin 2 NO"}), 1, 3, kPartOthers, 0,
     kOpNoOperation, "", "old"},
    {"device line before TOTAL_DEVICE is ignored", crlf({"DEVICE 1 VTL3032A 4 PR a.jed", "TOTAL_DEVICE 1"}),
     1, 1, kPartVtl3128, 4, kOpVerify, "old.jed", "old"},
    {"device line in the signature section is ignored", kHead + kUesHead + crlf({"DEVICE 1 VTL3032A 4 PR"}),
     1, 3, kPartVtl3128, 4, kOpVerify, "old.jed", "old"},
    {"signature line among the devices is ignored", kHead + crlf({"UES 1 $new"}) + kUesHead, 1, 3,
     kPartVtl3128, 4, kOpVerify, "old.jed", "old"},
    {"signature line before TOTAL_DEVICE is read", crlf({"UES 1 $early"}) + kHead, 1, 3, kPartVtl3128, 4,
     kOpVerify, "old.jed", "early"},
    {"nothing after the $ is an empty signature", kHead + kUesHead + crlf({"UES 3 $"}), 3, 3, kPartVtl3128, 4,
     kOpVerify, "old.jed", ""},
    {"a blank after the $ is kept", kHead + kUesHead + crlf({"UES 3 $ x y "}), 3, 3, kPartVtl3128, 4,
     kOpVerify, "old.jed", " x y "},
    {"signature is cut to 120", kHead + kUesHead + "UES 2 $" + long_text('s', 300) + "\r\n", 2, 3,
     kPartVtl3128, 4, kOpVerify, "old.jed", long_text('s', 120)},
    {"design file keeps its blanks and is cut to 250",
     kHead + "DEVICE 1 VTL3032A 4 PR    my file  " + long_text('j', 300) + "\r\n", 1, 3, kPartVtl3032A, 2,
     kOpProgram, "my file  " + long_text('j', 241), "old"},
    {"a quoted design file is read without its quotes",
     kHead + crlf({"DEVICE 1 VTL3032A 4 PR    \"my design.jed\"  "}), 1, 3, kPartVtl3032A, 2, kOpProgram,
     "my design.jed", "old"},
    {"a quoted design file of the field's length",
     kHead + "DEVICE 1 VTL3032A 4 PR \"" + long_text('j', 250) + "\"\r\n", 1, 3, kPartVtl3032A, 2, kOpProgram,
     long_text('j', 250), "old"},
    {"a quote that is not closed is part of the name",
     kHead + crlf({"DEVICE 1 VTL3032A 4 PR \"my design.jed"}), 1, 3, kPartVtl3032A, 2, kOpProgram,
     "\"my design.jed", "old"},
    {"design file starting beyond z keeps its first character",
     kHead + crlf({"DEVICE 1 VTL3032A 4 PR ~/a.jed"}), 1, 3, kPartVtl3032A, 2, kOpProgram, "~/a.jed", "old"},
    {"LF-only line ends read the same",
     "TOTAL_DEVICE 2\nDEVICE 1 VTL3032A 4 PR a.jed\n#User Electronic Signature\nUES 1 $sig\n", 1, 2,
     kPartVtl3032A, 2, kOpProgram, "a.jed", "sig"},
    {"CR-only line ends read the same",
     "TOTAL_DEVICE 2\rDEVICE 1 VTL3032A 4 PR a.jed\r#User Electronic Signature\rUES 1 $sig\r", 1, 2,
     kPartVtl3032A, 2, kOpProgram, "a.jed", "sig"},
    {"last line without line end, CR dropped", kHead + kUesHead + "UES 1 $sig\r", 1, 3, kPartVtl3128, 4,
     kOpVerify, "old.jed", "sig"},
    {"line without IR length or command", kHead + crlf({"DEVICE 1 VTL3032A"}), 1, 3, kPartVtl3032A,
     kIrUnknown, kOpUnknown, "", "old"},
    {"device line without a number is ignored", kHead + crlf({"DEVICE Others NO"}), 1, 3, kPartVtl3128, 4,
     kOpVerify, "old.jed", "old"},
    {"signature line without a number is ignored", kHead + kUesHead + crlf({"UES $x"}), 1, 3, kPartVtl3128, 4,
     kOpVerify, "old.jed", "old"},
};

TEST(JcdRead, Cases) {
  for (const auto& c : kReadCases) {
    SCOPED_TRACE(c.name);
    ChainTable table = preset_table();
    parse_jcd(table, c.text);
    EXPECT_EQ(table.DeviceCount, c.device_count);
    const ChainDevice& dev = table[c.n];
    EXPECT_EQ(dev.loc, c.n);
    EXPECT_EQ(dev.part, c.part);
    EXPECT_EQ(dev.IR_len, c.ir);
    EXPECT_EQ(dev.cmnd, c.cmnd);
    EXPECT_EQ(dev.jed, c.jed);
    EXPECT_EQ(dev.ues, c.ues);
  }
}

// The word of a device line that names no operation is kept for the pre-run check's message; a word that
// names one clears what an earlier load kept.
TEST(JcdRead, KeepsTheWordThatNamesNoOperation) {
  struct Case {
    const char* line;
    int cmnd;
    const char* word;
  };
  const Case cases[] = {{"DEVICE 1 VTL3032A 4 XX a.jed", kOpUnknown, "XX"},
                        {"DEVICE 1 VTL3032A 4 SC", kOpUnknown, "SC"},
                        {"DEVICE 1 VTL3032A 4", kOpUnknown, ""},
                        {"DEVICE 1 VTL3032A 4 pv a.jed", kOpProgramVerify, ""}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.line);
    ChainTable table = preset_table();
    table[1].cmnd_word = "OLD";
    parse_jcd(table, kHead + crlf({c.line}));
    EXPECT_EQ(table[1].cmnd, c.cmnd);
    EXPECT_EQ(table[1].cmnd_word, c.word);
  }
}

// What the table cannot hold or the programmer cannot run is refused, each fault told with its line, and
// the table is left as it was (results included).
TEST(JcdRead, RefusesWhatCannotRun) {
  struct Case {
    const char* name;
    std::string text;
    std::vector<std::string> faults;
  };
  const std::string sixty_one = [] {
    std::string text = crlf({"TOTAL_DEVICE 60"});
    for (int n = 1; n <= 61; ++n) text += crlf({"DEVICE " + std::to_string(n) + " VTL3032A 4 ER"});
    return text;
  }();
  const Case cases[] = {
      {"count above sixty",
       crlf({"TOTAL_DEVICE 75"}),
       {"line 1: TOTAL_DEVICE 75 is more than the 60 devices a chain can hold"}},
      {"negative count", crlf({"TOTAL_DEVICE -3"}), {"line 1: the device count cannot be negative"}},
      {"sixty-one device lines", sixty_one, {"line 62: DEVICE 61: positions are 1..60"}},
      {"device 0", kHead + crlf({"DEVICE 0 VTL3032A 4 PR"}), {"line 3: DEVICE 0: positions are 1..60"}},
      {"negative device",
       kHead + crlf({"DEVICE -1 VTL3032A 4 PR"}),
       {"line 3: DEVICE -1: positions are 1..60"}},
      {"huge device number",
       kHead + crlf({"DEVICE 99999999999999999999 VTL3032A 4 PR"}),
       {"line 3: DEVICE 99999999999999999999: positions are 1..60"}},
      {"signature 61", kHead + kUesHead + crlf({"UES 61 $x"}), {"line 6: UES 61: positions are 1..60"}},
      {"signature -2", kUesHead + crlf({"UES -2 $x"}), {"line 4: UES -2: positions are 1..60"}},
      {"IR length 0",
       kHead + crlf({"DEVICE 1 VTL3032A 0 ER"}),
       {"line 3: IR length 0 of device #1 is not one of 2..10 or 16"}},
      {"IR length 1",
       kHead + crlf({"DEVICE 1 VTL3032A 1 ER"}),
       {"line 3: IR length 1 of device #1 is not one of 2..10 or 16"}},
      {"IR length 11",
       kHead + crlf({"DEVICE 1 VTL3032A 11 ER"}),
       {"line 3: IR length 11 of device #1 is not one of 2..10 or 16"}},
      {"IR length 1000",
       kHead + crlf({"DEVICE 2 VTL3032A 1000 ER"}),
       {"line 3: IR length 1000 of device #2 is not one of 2..10 or 16"}},
      {"negative IR length",
       kHead + crlf({"DEVICE 1 VTL3032A -4 ER"}),
       {"line 3: IR length -4 of device #1 is not one of 2..10 or 16"}},
      {"every fault is told",
       kHead + crlf({"DEVICE 1 VTL3032A 1 ER", "DEVICE 64 VTL3032A 4 ER"}),
       {"line 3: IR length 1 of device #1 is not one of 2..10 or 16",
        "line 4: DEVICE 64: positions are 1..60"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ChainTable table = preset_table();
    EXPECT_EQ(parse_jcd(table, c.text), c.faults);
    EXPECT_EQ(table.DeviceCount, 7);
    for (int n = 1; n <= 60; ++n) {
      EXPECT_EQ(table[n].part, kPartVtl3128) << n;
      EXPECT_EQ(table[n].IR_len, 4) << n;
      EXPECT_EQ(table[n].result, kResultPass) << n;
    }
  }
}

TEST(JcdRead, LeavesUnmentionedPositionsAndClearsEveryResult) {
  ChainTable table = preset_table();
  table[2].secure = '1';
  table[2].idcode = "1111";
  parse_jcd(table, kHead + crlf({"DEVICE 2 VTL3032A 4 PR"}));
  EXPECT_EQ(table[1].part, kPartVtl3128);
  EXPECT_EQ(table[5].jed, "old.jed");
  EXPECT_EQ(table[2].secure, '1') << "a device line sets only loc, part, cmnd, IR_len and jed";
  EXPECT_EQ(table[2].idcode, "1111");
  for (int n = 1; n <= 60; ++n) EXPECT_EQ(table[n].result, kResultNone) << n;
}

TEST_F(JcdFile, CheckLooksForTheMarkerInAnyLine) {
  struct Case {
    const char* text;
    std::string_view marker;
    bool found;
  };
  const Case cases[] = {
      {"#Corvane PLD device JTAG chain description\r\n", kBatchJcdMarker, true},
      {"TOTAL_DEVICE 1\r\n; made by hand: device JTAG chain description\r\n", kJcdMarker, true},
      {"; made by hand: device JTAG chain description\r\n", kBatchJcdMarker, false},
      {"#Corvane PLD DEVICE JTAG chain description\r\n", kJcdMarker, false},
      {"", kJcdMarker, false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(check_jcd(write("c.jcd", c.text), c.marker), c.found) << c.text << " / " << c.marker;
  }
  EXPECT_FALSE(check_jcd(path("missing.jcd"), kJcdMarker));
  EXPECT_FALSE(check_jcd(dir_.string(), kJcdMarker));
}

TEST_F(JcdFile, LoadOfAMissingFileLeavesTheTable) {
  ChainTable table = preset_table();
  EXPECT_FALSE(load_jcd(table, path("missing.jcd")));
  EXPECT_EQ(table.DeviceCount, 7);
  EXPECT_EQ(table[1].result, kResultPass);
}

// A chain of more devices than the table holds, as both loaders refuse it.
const std::string kTooLongText =
    crlf({"#Corvane PLD device JTAG chain description", "TOTAL_DEVICE 61", "DEVICE 1 VTL3032A 4 PR"});
const std::string kTooLong =
    ": not a usable chain file\rline 2: TOTAL_DEVICE 61 is more than the 60 devices a chain can hold";

TEST_F(JcdFile, MenuLoad) {
  const std::string good = write("good.jcd", kHead + crlf({"DEVICE 1 VTL3032A 4 PR"}));
  const std::string bad = write("bad.jcd", crlf({"TOTAL_DEVICE 5", "DEVICE 1 VTL3032A 4 PR"}));
  const std::string folder = path("folder.jcd");
  std::filesystem::create_directory(folder);
  const std::string too_long = write("long.jcd", kTooLongText);
  struct Case {
    std::string path;
    bool loaded;
    std::vector<std::string> boxes;
    int device_count;
    std::string jcd_path;
  };
  const Case cases[] = {
      {good, true, {}, 3, good},
      {bad, false, {"error: Not a valid JCD file or not allow to access."}, 7, "before.jcd"},
      {path("missing.jcd"), false, {}, 7, "before.jcd"},
      {folder, false, {"error: " + folder + ": Is a directory"}, 7, "before.jcd"},
      {too_long, false, {"error: " + too_long + kTooLong}, 7, "before.jcd"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    ChainTable table = preset_table();
    table.JcdPath = "before.jcd";
    RecordingPrompts prompts;
    EXPECT_EQ(open_jcd(table, c.path, prompts), c.loaded);
    EXPECT_EQ(prompts.boxes, c.boxes);
    EXPECT_EQ(table.DeviceCount, c.device_count);
    EXPECT_EQ(table.JcdPath, c.jcd_path);
    EXPECT_EQ(table[1].part, c.loaded ? kPartVtl3032A : kPartVtl3128);
    EXPECT_EQ(table[1].result, kResultNone) << "results are cleared in every case";
  }
}

TEST_F(JcdFile, BatchLoad) {
  const std::string good = write("good.jcd", kHead + crlf({"DEVICE 1 VTL3032A 4 PR"}));
  // Passes the file menu's check but not the batch editor's.
  const std::string menu_only = write("menu.jcd", crlf({"#device JTAG chain description", "TOTAL_DEVICE 1"}));
  const std::string missing = path("missing.jcd");
  const std::string folder = path("folder.jcd");
  std::filesystem::create_directory(folder);
  const std::string too_long = write("long.jcd", kTooLongText);
  struct Case {
    std::string path;
    bool loaded;
    std::vector<std::string> boxes;
  };
  const Case cases[] = {
      {good, true, {}},
      {menu_only, false, {"error: Not a valid Corvane' JCD file"}},
      {missing, false, {"error: " + missing + "\rfile not found!"}},
      {folder, false, {"error: " + folder + ": Is a directory"}},
      {too_long, false, {"error: " + too_long + kTooLong}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    ChainTable table = preset_table();
    RecordingPrompts prompts;
    EXPECT_EQ(load_batch_jcd(table, c.path, prompts), c.loaded);
    EXPECT_EQ(prompts.boxes, c.boxes);
    EXPECT_EQ(table.DeviceCount, c.loaded ? 3 : 7);
  }
}

}  // namespace
}  // namespace zepa::chain
