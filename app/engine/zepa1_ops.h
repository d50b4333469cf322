// The operations of the chain grid on one ZEPA1 part (VTLx032, VTLx064, VTLx128): bulk erase, blank check,
// program, verify (with the optional .vrf report), program and verify, read IDCODE, secure, program and
// read the user signature, upload and bypass. Each is a fixed sequence of the JTAG primitives on the part's
// two sides of 43 rows, addressed by Gray-coded 7-bit row addresses.
#pragma once

#include <string>
#include <vector>

#include "engine/context.h"
#include "engine/runner.h"

namespace zepa::engine {

class Zepa1Operations final : public FamilyOperations {
 public:
  // `file` is the image (.bin) the runner loaded into the image buffer for program, verify, program and
  // verify and the user signature; the other operations ignore it.
  void Run(EngineContext& context, int op, int position, const std::string& file) override;
};

// The .vrf report of a verify: compares rows 0..40 and 43..83 of the image and readback buffers and
// returns the report's lines and the count of differing bits.
struct VerifyReport {
  std::vector<std::string> lines;
  long failures = 0;
};
VerifyReport BuildVerifyReport(const Jtag& jtag, int dr_len, const std::string& timestamp);

// The signature text decoded from the signature rows in the readback buffer (cut at the first byte below
// 32 and at 30 x lb bytes).
std::string DecodeSignature(const Jtag& jtag, const JcdRec& rec);

}  // namespace zepa::engine
