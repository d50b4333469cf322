// Operation codes: what a device of the chain is to undergo, as the chain grid, the chain file (its command
// words), the converters, the engine and the SVF output all number it.
#pragma once

namespace zepa::codes {

// 11, 12 and 13 all run the part's security test alone; only 13 has a chain word ("RS").
enum Operation : int {
  kOpNone = -1,  // a device record whose chain code is none the engine runs
  kOpBulkErase = 0,
  kOpBlankCheck = 1,
  kOpProgram = 2,
  kOpVerify = 3,
  kOpProgramVerify = 4,
  kOpReadId = 5,
  kOpSecure = 6,
  kOpProgramUes = 7,
  kOpReadUes = 8,
  kOpUpload = 9,
  kOpNoOperation = 10,  // "No Operation (Bypass)"
  kOpSecurityTest = 11,
  kOpRs = 13,
  kOpScan = 14,
  kOpUnknown = 99,  // a command word the chain reader does not know
};

// The operations of the grid's pop-up list, Bulk Erase .. No Operation (Bypass).
constexpr bool IsGridOperation(int op) {
  return op >= kOpBulkErase && op <= kOpNoOperation;
}
// Program, Verify and Prog & Verify: the operations that write or compare the rows of a design image.
constexpr bool IsProgramOrVerify(int op) {
  return op == kOpProgram || op == kOpVerify || op == kOpProgramVerify;
}
// Program and Read User Signature, whose image fusebuild makes from the signature text.
constexpr bool IsSignatureOperation(int op) {
  return op == kOpProgramUes || op == kOpReadUes;
}
// 11, 12 and RS: the security test alone.
constexpr bool IsSecurityTest(int op) {
  return op >= kOpSecurityTest && op <= kOpRs;
}

}  // namespace zepa::codes
