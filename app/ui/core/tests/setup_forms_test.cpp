// The small dialogs' rules: the port setup's device-count box and port choice, the debug options' ticks,
// the device ID panel and the review list.
#include "ui/core/setup_forms.h"

#include <gtest/gtest.h>

#include <climits>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/isp_options.h"
#include "ui/core/idcode.h"
#include "ui/core/tests/example_board_session.h"
#include "ui/core/tests/test_support.h"

namespace zepa::ui {
namespace {

using namespace zepa::chain;

TEST(SetupFormsTest, DeviceCountBox) {
  struct Case {
    const char* text;
    std::optional<int> count;
  };
  const Case cases[] = {
      {"0", 0},
      {"3", 3},
      {" 7 ", 7},
      {"60", 60},
      {"61", 61},
      {"007", 7},
      {"", std::nullopt},
      {"  ", std::nullopt},
      {"abc", std::nullopt},
      {"-3", std::nullopt},
      {"+3", std::nullopt},
      {"1.5", std::nullopt},
      {"3x", std::nullopt},
      {"3 4", std::nullopt},
      {"99999999999999", INT_MAX},
  };
  for (const Case& c : cases) EXPECT_EQ(parse_device_count(c.text), c.count) << "'" << c.text << "'";
}

class PortSetupForm : public testing::ScratchDir {
 protected:
  void SetUp() override {
    ScratchDir::SetUp();
    rig_ = std::make_unique<testing::SessionRig>(dir_.string());
    rig_->table().DeviceCount = 3;
    rig_->programmer().settings.port = {
        .port_index = 1, .cable = engine::CableKind::RelayCable, .device_count_box = 3};
  }
  void TearDown() override {
    rig_.reset();
    ScratchDir::TearDown();
  }
  const PortSetup form{.port_index = 2, .cable = engine::CableKind::AlteraByteBlaster, .device_count_box = 0};
  std::unique_ptr<testing::SessionRig> rig_;
};

TEST_F(PortSetupForm, AWholeNumberSetsTheCountAndTheCable) {
  EXPECT_TRUE(apply_port_setup_form(rig_->programmer(), form, " 5", rig_->prompts));
  const PortSetup& port = rig_->programmer().settings.port;
  EXPECT_EQ(port.port_index, 2);
  EXPECT_EQ(port.cable, engine::CableKind::AlteraByteBlaster);
  EXPECT_EQ(port.device_count_box, 5);
  EXPECT_EQ(rig_->table().DeviceCount, 5);
  EXPECT_TRUE(rig_->prompts.boxes.empty());
}

TEST_F(PortSetupForm, RefusedCountsKeepTheChain) {
  struct Case {
    const char* text;
    const char* box;
  };
  const Case cases[] = {
      {"61", "warning: Max 60 devices allowed!"},
      {"99999999999999", "warning: Max 60 devices allowed!"},
      {"abc", "error: 'abc' is not a valid whole number."},
      {"-1", "error: '-1' is not a valid whole number."},
      {"", "error: '' is not a valid whole number."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    rig_->prompts.boxes.clear();
    EXPECT_FALSE(apply_port_setup_form(rig_->programmer(), form, c.text, rig_->prompts));
    EXPECT_EQ(rig_->prompts.boxes, std::vector<std::string>{c.box});
    EXPECT_EQ(rig_->table().DeviceCount, 3);
    EXPECT_EQ(rig_->programmer().settings.port.device_count_box, 3);
  }
}

TEST(SetupFormsTest, PortChoiceProblems) {
  const std::string board = std::string(ZEPA_SOURCE_DIR) + "/examples/board.sim";
  using Kind = PortChoice::Kind;
  struct Case {
    PortChoice choice;
    bool fine;
  };
  const Case cases[] = {
      {{Kind::kSim, "", board}, true},
      {{Kind::kSim, "", ""}, false},
      {{Kind::kSim, "", board + ".missing"}, false},
      {{Kind::kBackend, "direct", ""}, true},
      {{Kind::kBackend, "ppdev", ""}, true},
      {{Kind::kBackend, "ppdev", "/dev/parport0"}, true},
      {{Kind::kBackend, "ppdev", "378=/dev/parport0"}, true},
      {{Kind::kBackend, "ppdev", "123=/dev/parport0"}, false},
      {{Kind::kBackend, "remote", "127.0.0.1:3335"}, true},
      {{Kind::kBackend, "remote", "lab-board:4444"}, true},
      {{Kind::kBackend, "remote", ""}, false},
      {{Kind::kBackend, "remote", "lab-board"}, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(port_choice_problem(c.choice).empty(), c.fine) << c.choice.backend << " " << c.choice.argument;
  }
  EXPECT_EQ(port_choice_problem({Kind::kSim, "", "/no/such/board.sim"}), "Can not find: /no/such/board.sim");
  EXPECT_EQ(port_choice_problem({Kind::kBackend, "remote", "lab-board"}),
            "Name the remote_bitbang server as HOST:PORT (\"lab-board\" given).");
}

TEST(SetupFormsTest, DebugTicksSetTheirOptionBits) {
  struct Case {
    const char* name;
    DebugTicks ticks;
    int bits;
    bool off_line, active_io;
  };
  const Case cases[] = {
      {"none", {}, 0, false, false},
      {"verify log", {.verify_log = true}, engine::kOptVerifyLog, false, false},
      {"standard frame", {.standard_frame = true}, engine::kOptStandardFrame, false, false},
      {"off-line", {.off_line = true}, engine::kOptOffLine, true, false},
      {"reserved has no effect", {.reserved = true}, 0, false, false},
      {"active I/O verify", {.active_io_verify = true}, 0, false, true},
      {"fuse listing", {.fuse_listing = true}, engine::kOptFuseListing, false, false},
      {"all",
       {true, true, true, true, true, true},
       engine::kOptVerifyLog | engine::kOptStandardFrame | engine::kOptOffLine | engine::kOptFuseListing,
       true,
       true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    // Start from the opposite of every tick, with the menus' SVF and vector-file bits set.
    constexpr int kDialogBits =
        engine::kOptFuseListing | engine::kOptOffLine | engine::kOptVerifyLog | engine::kOptStandardFrame;
    constexpr int kMenuBits = engine::kOptSvf | engine::kOptBif;
    RunSettings settings;
    settings.IspOptions = (~c.bits & kDialogBits) | kMenuBits;
    settings.OffLine = !c.off_line;
    settings.ActiveIoVerify = !c.active_io;
    apply_debug_ticks(settings, c.ticks);
    EXPECT_EQ(settings.IspOptions & kDialogBits, c.bits);
    EXPECT_EQ(settings.IspOptions & kMenuBits, kMenuBits) << "the menus' bits were lost";
    EXPECT_EQ(settings.OffLine, c.off_line);
    EXPECT_EQ(settings.ActiveIoVerify, c.active_io);

    const DebugTicks shown = debug_ticks(settings);
    EXPECT_EQ(shown.verify_log, c.ticks.verify_log);
    EXPECT_EQ(shown.standard_frame, c.ticks.standard_frame);
    EXPECT_EQ(shown.off_line, c.ticks.off_line);
    EXPECT_EQ(shown.active_io_verify, c.ticks.active_io_verify);
    EXPECT_EQ(shown.fuse_listing, c.ticks.fuse_listing);
  }
}

// A ZEPA1 VTL3064A-like IDCODE: version 2, ZEPA1, 0.5u, 64 MC, 3.3 volt, package 2, manufacturer 0x049.
constexpr std::uint32_t kIdcode =
    (2u << 28) | (0u << 25) | (0u << 22) | (0b000100u << 16) | (1u << 15) | (2u << 12) | (0x049u << 1) | 1u;

TEST(SetupFormsTest, DeviceIdPanelShowsTheRecord) {
  ChainTable table;
  table.DeviceCount = 2;
  table[2].idcode = idcode_text(kIdcode);
  decode_idcode(table, 2, table[2].idcode.str());
  table[2].secure = '1';

  const DeviceIdTexts texts = device_id_texts(table, 2);
  EXPECT_EQ(texts.device, "2");
  EXPECT_EQ(texts.state, "not secured");
  EXPECT_EQ(texts.idcode, idcode_text(kIdcode) + " (lsb..msb)");
  EXPECT_EQ(texts.version, "Version 2");
  EXPECT_EQ(texts.architecture, "ZEPA1");
  EXPECT_EQ(texts.technology, "0.5u EECMOS");
  EXPECT_EQ(texts.macrocells, "64 MC");
  EXPECT_EQ(texts.voltage, "3.3 volt");
  EXPECT_EQ(texts.package, "VQ 44");
  EXPECT_EQ(texts.manufacturer, "00001001001");
  EXPECT_EQ(texts.bit0, "1 ");

  struct Case {
    char secure;
    const char* state;
  };
  for (const Case& c : {Case{'0', "secured"}, Case{'1', "not secured"}, Case{'2', ""}, Case{'x', ""}}) {
    table[1].secure = c.secure;
    EXPECT_EQ(device_id_texts(table, 1).state, c.state) << c.secure;
  }
  EXPECT_EQ(device_id_texts(table, 1).idcode, " (lsb..msb)");
}

TEST(SetupFormsTest, DeviceIdNavigation) {
  ChainTable table;
  table.DeviceCount = 4;
  EXPECT_EQ(device_id_start(table, 3), 3) << "no Read device ID device keeps the shown one";
  table[3].cmnd = kOpReadId;
  table[4].cmnd = kOpReadId;
  EXPECT_EQ(device_id_start(table, 1), 3);
  table[5].cmnd = kOpReadId;
  table.DeviceCount = 2;
  EXPECT_EQ(device_id_start(table, 1), 1) << "devices beyond the count do not count";

  table.DeviceCount = 4;
  struct Case {
    int current, step, next;
  };
  for (const Case& c : {Case{1, 1, 2}, Case{3, 1, 4}, Case{4, 1, 4}, Case{4, -1, 3}, Case{1, -1, 1}}) {
    EXPECT_EQ(device_id_step(table, c.current, c.step), c.next) << c.current << " " << c.step;
  }
}

TEST(SetupFormsTest, ReviewLines) {
  ChainTable table;
  table.DeviceCount = 2;
  table[1].jed = "a.jed";
  table[1].secure = '0';
  table[1].ues = "sig";
  table[2].idcode = idcode_text(kIdcode);
  decode_idcode(table, 2, table[2].idcode.str());
  table[2].secure = '1';

  const std::vector<std::string> lines = review_lines(table);
  ASSERT_EQ(lines.size(), 260u);
  const std::vector<std::string> first(lines.begin(), lines.begin() + 13);
  EXPECT_EQ(first, (std::vector<std::string>{
                       std::string(102, '-'), "Device #1", "Design file: a.jed", "Security: Secure",
                       "Version: ", "Architecture: ", "Technology: ", "Macrocell #: ", "Package: ",
                       "Voltage: ", "Manufacture ID: ", "Mft bit (IEEE 1149.1 Mandatory=1) : ", "UES:sig"}));
  EXPECT_EQ(lines[14], "Device #2");
  EXPECT_EQ(lines[16], "Security: Not secure");
  EXPECT_EQ(lines[17], "Version: Version 2");
  EXPECT_EQ(lines[20], "Macrocell #: 64 MC");
  EXPECT_EQ(lines[21], "Package: VQ 44");
  for (std::size_t i = 26; i < lines.size(); ++i) EXPECT_TRUE(lines[i].empty()) << i;

  table[1].secure = '7';
  EXPECT_EQ(review_lines(table)[3], "Security:");

  table.DeviceCount = 25;  // longer than the 20 devices the list starts with: all are listed
  const std::vector<std::string> long_chain = review_lines(table);
  ASSERT_EQ(long_chain.size(), 25u * 13u);
  EXPECT_EQ(long_chain[24 * 13 + 1], "Device #25");

  table.DeviceCount = 0;
  const std::vector<std::string> none = review_lines(table);
  EXPECT_EQ(none.size(), 260u);
  EXPECT_TRUE(std::all_of(none.begin(), none.end(), [](const std::string& l) { return l.empty(); }));
}

}  // namespace
}  // namespace zepa::ui
