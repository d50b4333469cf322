#include "ui/core/validate_chain.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ui/core/tests/test_support.h"

namespace zepa::ui {
namespace {

using testing::RecordingPrompts;

class ValidateChain : public testing::ScratchDir {
 protected:
  void SetUp() override {
    ScratchDir::SetUp();
    write("design.jed", "x");
    write("old.jed", "x");
    write("up.bin", "x");
    std::filesystem::create_directory(path("folder.jed"));
  }

  // A table whose devices are all known and bypassed, so that only the case's device can fail.
  chain::ChainTable chain(int count) const {
    chain::ChainTable table;
    table.DeviceCount = count;
    for (int n = 1; n <= count; ++n) {
      table[n].part = chain::kPartVtl3064A;
      table[n].IR_len = 2;
      table[n].cmnd = chain::kOpNoOperation;
    }
    return table;
  }
};

const std::string kUploadBin =
    "You need to specified a upload file (.BIN) to save upload data\r"
    "Double click 'Design file name' field to specify a file";
const std::string kUploadJed =
    "You need to specified a upload file (.JED) to save upload data\r"
    "Double click 'Design file name' field to specify a file";

TEST_F(ValidateChain, DeviceChecks) {
  struct Case {
    const char* name;
    int part;
    int ir;
    int cmnd;
    std::string jed;  // relative names are taken from the scratch folder
    bool answer;      // to the overwrite question
    bool ok;
    std::vector<std::string> boxes;
  };
  const std::string no_design = "error: No design file specified or not exist for device #2!";
  const std::string overwrite = "confirm: File already exist, do you want to overwrite?";
  const Case cases[] = {
      {"known and bypassed", chain::kPartVtl3064A, 2, chain::kOpNoOperation, "", true, true, {}},
      {"bypass needs no design file",
       chain::kPartOthers,
       9,
       chain::kOpNoOperation,
       "missing.jed",
       true,
       true,
       {}},
      {"unknown part",
       chain::kPartUnknown,
       2,
       chain::kOpBulkErase,
       "",
       true,
       false,
       {"error: No Device Name or IR_length specified for device #2!"}},
      {"unknown IR length",
       chain::kPartVtl3064A,
       chain::kIrUnknown,
       chain::kOpBulkErase,
       "",
       true,
       false,
       {"error: No Device Name or IR_length specified for device #2!"}},
      {"program with its design", chain::kPartVtl3064A, 2, chain::kOpProgram, "design.jed", true, true, {}},
      {"program without a design", chain::kPartVtl3064A, 2, chain::kOpProgram, "", true, false, {no_design}},
      {"verify with a missing design",
       chain::kPartVtl3064A,
       2,
       chain::kOpVerify,
       "missing.jed",
       true,
       false,
       {no_design}},
      {"prog & verify with a folder",
       chain::kPartVtl3064A,
       2,
       chain::kOpProgramVerify,
       "folder.jed",
       true,
       false,
       {no_design}},
      {"both problems are shown",
       chain::kPartUnknown,
       2,
       chain::kOpProgram,
       "",
       true,
       false,
       {"error: No Device Name or IR_length specified for device #2!", no_design}},
      {"ZEPA1 upload into .BIN", chain::kPartVtl5128C, 2, chain::kOpUpload, "new.BIN", true, true, {}},
      {"ZEPA1 upload, overwrite accepted",
       chain::kPartVtl3032A,
       2,
       chain::kOpUpload,
       "up.bin",
       true,
       true,
       {overwrite}},
      {"ZEPA1 upload, overwrite refused",
       chain::kPartVtl5128C,
       2,
       chain::kOpUpload,
       "up.bin",
       false,
       false,
       {overwrite}},
      {"ZEPA1 upload into .jed",
       chain::kPartVtl3032A,
       2,
       chain::kOpUpload,
       "up.jed",
       true,
       false,
       {"error: No upload file specified for device #2!\r" + kUploadBin}},
      {"ZEPA1 upload without a file",
       chain::kPartVtl3032A,
       2,
       chain::kOpUpload,
       "",
       true,
       false,
       {"error: No upload file specified for device #2!\r" + kUploadBin}},
      {"ZEPA3 upload into .bin",
       chain::kPartVtl3384XL,
       2,
       chain::kOpUpload,
       "up.bin",
       true,
       false,
       {"error: No upload file specified for device #2!\r" + kUploadJed}},
      {"ZEPA3 upload into a new .JED", chain::kPartVtl3032XL, 2, chain::kOpUpload, "new.JED", true, true, {}},
      {"ZEPA3 upload, overwrite accepted",
       chain::kPartVtl3032XL,
       2,
       chain::kOpUpload,
       "old.jed",
       true,
       true,
       {overwrite}},
      {"ZEPA3 upload, overwrite refused",
       chain::kPartVtl3032XL,
       2,
       chain::kOpUpload,
       "old.jed",
       false,
       false,
       {overwrite}},
      {"ZEPA2 upload has no file rule", chain::kPartVtl3960, 2, chain::kOpUpload, "", true, true, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    chain::ChainTable table = chain(3);
    table[2].part = c.part;
    table[2].IR_len = c.ir;
    table[2].cmnd = c.cmnd;
    table[2].jed = c.jed.empty() ? "" : path(c.jed);
    RecordingPrompts prompts;
    prompts.answer = c.answer;
    EXPECT_EQ(validate_chain(table, prompts), c.ok);
    EXPECT_EQ(prompts.boxes, c.boxes);
  }
}

// A design path longer than the field holds is refused as such: the part of it that was kept may name
// another file, even an existing one, which must never be programmed, verified or overwritten instead.
TEST_F(ValidateChain, DesignPathsLongerThanTheFieldAreRefused) {
  const std::size_t capacity = chain::ChainDevice().jed.capacity;
  // A file whose path is exactly as long as the field: the longer paths below start with it.
  const std::string kept = path(std::string(capacity - path("").size(), 'd'));
  ASSERT_EQ(kept.size(), capacity);
  write(kept.substr(path("").size()), "x");
  const std::string too_long = "error: The design file path of device #2 is longer than 250 characters!";
  struct Case {
    const char* name;
    int part;
    int cmnd;
    std::string jed;
    bool ok;
    std::vector<std::string> boxes;
  };
  const Case cases[] = {
      {"program, the kept part names a file",
       chain::kPartVtl3064A,
       chain::kOpProgram,
       kept + ".jed",
       false,
       {too_long}},
      {"verify, the kept part names no file",
       chain::kPartVtl3064A,
       chain::kOpVerify,
       kept + "/x/y.jed",
       false,
       {too_long}},
      {"ZEPA1 upload", chain::kPartVtl3032A, chain::kOpUpload, kept + ".bin", false, {too_long}},
      {"a path of exactly the field's length", chain::kPartVtl3064A, chain::kOpProgram, kept, true, {}},
      {"bypass uses no design file", chain::kPartVtl3064A, chain::kOpNoOperation, kept + ".jed", true, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    chain::ChainTable table = chain(3);
    table[2].part = c.part;
    table[2].cmnd = c.cmnd;
    table[2].jed = c.jed;
    RecordingPrompts prompts;
    EXPECT_EQ(validate_chain(table, prompts), c.ok);
    EXPECT_EQ(prompts.boxes, c.boxes);
  }
}

// A chain file's operation word that names no operation is refused with that word; a chain that gives none
// at all says so.
TEST_F(ValidateChain, OperationChecks) {
  struct Case {
    int cmnd;
    const char* word;  // as the chain file spelt it
    std::vector<std::string> boxes;
  };
  const Case cases[] = {
      {chain::kOpBulkErase, "", {}},
      {chain::kOpRs, "", {}},
      {chain::kOpUnknown, "XX", {"error: Unknown operation \"XX\" for device #2!"}},
      {chain::kOpUnknown, "SC", {"error: Unknown operation \"SC\" for device #2!"}},
      {chain::kOpUnknown, "", {"error: No operation specified for device #2!"}},
      {42, "", {"error: No operation specified for device #2!"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.cmnd);
    chain::ChainTable table = chain(3);
    table[2].cmnd = c.cmnd;
    table[2].cmnd_word = c.word;
    RecordingPrompts prompts;
    EXPECT_EQ(validate_chain(table, prompts), c.boxes.empty());
    EXPECT_EQ(prompts.boxes, c.boxes);
  }
}

TEST_F(ValidateChain, EmptyChain) {
  chain::ChainTable table = chain(0);
  RecordingPrompts prompts;
  EXPECT_FALSE(validate_chain(table, prompts));
  EXPECT_EQ(prompts.boxes, std::vector<std::string>{"error: No device found!"});
}

TEST_F(ValidateChain, EveryDeviceIsCheckedAndOnlyDevicesInTheChain) {
  chain::ChainTable table = chain(3);
  table[1].part = chain::kPartUnknown;
  table[3].cmnd = chain::kOpProgram;
  table[4].part = chain::kPartUnknown;  // beyond DeviceCount
  RecordingPrompts prompts;
  EXPECT_FALSE(validate_chain(table, prompts));
  EXPECT_EQ(prompts.boxes, (std::vector<std::string>{
                               "error: No Device Name or IR_length specified for device #1!",
                               "error: No design file specified or not exist for device #3!",
                           }));
}

}  // namespace
}  // namespace zepa::ui
