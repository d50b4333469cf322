// A two-part board for whole operations: a ZEPA1 part nearest TDO and a ZEPA3 part nearest TDI, so every
// shift passes a bypass bit, with a design for each and the operations run on them one part at a time.
#pragma once

#include <string>

#include "chain/chain_names.h"
#include "engine/records.h"
#include "engine/tests/isp_rig.h"
#include "engine/tests/zepa3_image.h"
#include "engine/zepa3_ops.h"

namespace zepa::engine::testing {

// A ZEPA3 .isp image of `part`.
inline std::string MakeIsp(int part, unsigned seed) {
  return MakeZepa3Isp(RecordForPart(part), seed);
}

// A ZEPA1 part nearest TDO and a ZEPA3 part nearest TDI, so every shift passes a bypass bit.
class TrafficRig : public IspRig {
 public:
  TrafficRig() : IspRig("device VTL3064A\ndevice VTL3032XL\n", RigFamilies::kAll) {
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
inline constexpr OpCase kOps[] = {
    {"zepa1_erase", 1, chain::kOpBulkErase}, {"zepa1_blank", 1, chain::kOpBlankCheck},
    {"zepa1_program", 1, chain::kOpProgram}, {"zepa1_verify", 1, chain::kOpVerify},
    {"zepa3_erase", 2, chain::kOpBulkErase}, {"zepa3_blank", 2, chain::kOpBlankCheck},
    {"zepa3_program", 2, chain::kOpProgram}, {"zepa3_verify", 2, chain::kOpVerify},
};

}  // namespace zepa::engine::testing
