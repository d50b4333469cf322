// What the port carries for whole operations: the pin-vector (.bif) files and the message lines of erase,
// blank check, program and verify of a ZEPA1 and a ZEPA3 part behind each other, against files kept
// beside this test. ZEPA_WRITE_GOLDEN=1 in the environment writes those files instead of comparing.
#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "chain/chain_names.h"
#include "engine/records.h"
#include "engine/tests/isp_rig.h"
#include "engine/zepa3_ops.h"
#include "util/files.h"

namespace zepa::engine {
namespace {

using testing::IspRig;
using testing::MakeZepa1Image;

const std::string kGoldenDir = std::string(ZEPA_SOURCE_DIR) + "/app/engine/tests/golden/port_traffic/";

bool WritingGolden() {
  const char* value = std::getenv("ZEPA_WRITE_GOLDEN");
  return value != nullptr && std::string(value) == "1";
}

// Compares `actual` with the kept file `name` (or writes it).
void ExpectGolden(const std::string& name, const std::string& actual) {
  const std::string path = kGoldenDir + name;
  if (WritingGolden()) {
    util::ReplaceFile(path, actual);
    return;
  }
  ASSERT_TRUE(util::FileExists(path)) << path;
  const std::string kept = util::ReadFileOrThrow(path);
  EXPECT_EQ(kept.size(), actual.size()) << name;
  EXPECT_TRUE(kept == actual) << name << " differs from the kept file";
}

// A ZEPA3 .isp image: random rows, signature and upper ISP rows all ones.
std::string MakeIsp(int part, unsigned seed) {
  const JcdRec rec = RecordForPart(part);
  std::mt19937 random(seed);
  std::string text;
  for (int r = 0; r < 2 * rec.side_rows + 4; ++r) {
    std::string bits(static_cast<std::size_t>(rec.DR_len), '1');
    if (r != rec.side_rows + 1 && r < 2 * rec.side_rows + 2) {
      for (char& b : bits) b = random() % 4 == 0 ? '0' : '1';
    }
    text += Zepa3RowText(bits) + "\n";
  }
  return text;
}

// A ZEPA1 part nearest TDO and a ZEPA3 part nearest TDI, so every shift passes a bypass bit.
class TrafficRig : public IspRig {
 public:
  TrafficRig() : IspRig("device VTL3064A\ndevice VTL3032XL\n", testing::RigFamilies::kAll) {
    bin = File("z1.bin", MakeZepa1Image(chain::kPartVtl3064A, 3));
    isp = File("z3.isp", MakeIsp(chain::kPartVtl3032XL, 4));
  }
  // Runs `op` on position `target` (the other one idle) with `options`.
  void RunOn(int target, int op, int options) {
    Device(1, chain::kPartVtl3064A, target == 1 ? op : chain::kOpNoOperation, bin);
    Set(2, chain::kPartVtl3032XL, 3, target == 2 ? op : chain::kOpNoOperation, isp);
    Run(options);
  }
  // The message lines so far, with the working folder written as "<dir>".
  std::string Transcript() const {
    const std::string folder = dir.path().string();
    std::string text;
    for (std::string line : lines()) {
      for (std::size_t at; (at = line.find(folder)) != std::string::npos;)
        line.replace(at, folder.size(), "<dir>");
      text += line + "\n";
    }
    return text;
  }
  std::string bin;
  std::string isp;
};

struct OpCase {
  const char* name;
  int target;
  int op;
};
constexpr OpCase kOps[] = {
    {"zepa1_erase", 1, chain::kOpBulkErase}, {"zepa1_blank", 1, chain::kOpBlankCheck},
    {"zepa1_program", 1, chain::kOpProgram}, {"zepa1_verify", 1, chain::kOpVerify},
    {"zepa3_erase", 2, chain::kOpBulkErase}, {"zepa3_blank", 2, chain::kOpBlankCheck},
    {"zepa3_program", 2, chain::kOpProgram}, {"zepa3_verify", 2, chain::kOpVerify},
};

// Pin vectors of every operation, and the lines of the whole sequence, as they have always been.
TEST(PortTraffic, RecordedVectorsAndLinesAsKept) {
  TrafficRig rig;
  for (const OpCase& c : kOps) {
    SCOPED_TRACE(c.name);
    rig.RunOn(c.target, c.op, kOptBif);
    ExpectGolden(std::string(c.name) + ".bif", rig.Read("chain.bif"));
  }
  ExpectGolden("bif_runs.txt", rig.Transcript());
}

TEST(PortTraffic, LinesOnTheBoardAsKept) {
  TrafficRig rig;
  for (const OpCase& c : kOps) rig.RunOn(c.target, c.op, 0);
  ExpectGolden("board_runs.txt", rig.Transcript());
}

}  // namespace
}  // namespace zepa::engine
