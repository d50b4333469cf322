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
  ChainTable chain(int count) const {
    ChainTable table;
    table.DeviceCount = count;
    for (int n = 1; n <= count; ++n) {
      table[n].part = kPartVtl3064A;
      table[n].IR_len = 2;
      table[n].cmnd = kOpNoOperation;
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
      {"known and bypassed", kPartVtl3064A, 2, kOpNoOperation, "", true, true, {}},
      {"bypass needs no design file", kPartOthers, 9, kOpNoOperation, "missing.jed", true, true, {}},
      {"unknown part",
       kPartUnknown,
       2,
       kOpBulkErase,
       "",
       true,
       false,
       {"error: No Device Name or IR_length specified for device #2!"}},
      {"unknown IR length",
       kPartVtl3064A,
       kIrUnknown,
       kOpBulkErase,
       "",
       true,
       false,
       {"error: No Device Name or IR_length specified for device #2!"}},
      {"program with its design", kPartVtl3064A, 2, kOpProgram, "design.jed", true, true, {}},
      {"program without a design", kPartVtl3064A, 2, kOpProgram, "", true, false, {no_design}},
      {"verify with a missing design", kPartVtl3064A, 2, kOpVerify, "missing.jed", true, false, {no_design}},
      {"prog & verify with a folder",
       kPartVtl3064A,
       2,
       kOpProgramVerify,
       "folder.jed",
       true,
       false,
       {no_design}},
      {"both problems are shown",
       kPartUnknown,
       2,
       kOpProgram,
       "",
       true,
       false,
       {"error: No Device Name or IR_length specified for device #2!", no_design}},
      {"ZEPA1 upload into .BIN", kPartVtl5128C, 2, kOpUpload, "new.BIN", true, true, {}},
      {"ZEPA1 upload may overwrite", kPartVtl3032A, 2, kOpUpload, "up.bin", false, true, {}},
      {"ZEPA1 upload into .jed",
       kPartVtl3032A,
       2,
       kOpUpload,
       "up.jed",
       true,
       false,
       {"error: No upload file specified for device #2!\r" + kUploadBin}},
      {"ZEPA1 upload without a file",
       kPartVtl3032A,
       2,
       kOpUpload,
       "",
       true,
       false,
       {"error: No upload file specified for device #2!\r" + kUploadBin}},
      {"ZEPA3 upload into .bin",
       kPartVtl3384XL,
       2,
       kOpUpload,
       "up.bin",
       true,
       false,
       {"error: No upload file specified for device #2!\r" + kUploadJed}},
      {"ZEPA3 upload into a new .JED", kPartVtl3032XL, 2, kOpUpload, "new.JED", true, true, {}},
      {"ZEPA3 upload, overwrite accepted", kPartVtl3032XL, 2, kOpUpload, "old.jed", true, true, {overwrite}},
      {"ZEPA3 upload, overwrite refused", kPartVtl3032XL, 2, kOpUpload, "old.jed", false, false, {overwrite}},
      {"ZEPA2 upload has no file rule", kPartVtl3960, 2, kOpUpload, "", true, true, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ChainTable table = chain(3);
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

TEST_F(ValidateChain, EmptyChain) {
  ChainTable table = chain(0);
  RecordingPrompts prompts;
  EXPECT_FALSE(validate_chain(table, prompts));
  EXPECT_EQ(prompts.boxes, std::vector<std::string>{"error: No device found!"});
}

TEST_F(ValidateChain, EveryDeviceIsCheckedAndOnlyDevicesInTheChain) {
  ChainTable table = chain(3);
  table[1].part = kPartUnknown;
  table[3].cmnd = kOpProgram;
  table[4].part = kPartUnknown;  // beyond DeviceCount
  RecordingPrompts prompts;
  EXPECT_FALSE(validate_chain(table, prompts));
  EXPECT_EQ(prompts.boxes, (std::vector<std::string>{
                               "error: No Device Name or IR_length specified for device #1!",
                               "error: No design file specified or not exist for device #3!",
                           }));
}

}  // namespace
}  // namespace zepa::ui
