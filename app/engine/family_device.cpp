#include "engine/family_device.h"

#include "chain/chain_names.h"
#include "engine/cable.h"
#include "engine/chain_scan.h"
#include "engine/records.h"
#include "engine/workdir.h"
#include "util/files.h"

namespace zepa::engine {

void FamilyDevice::Run(int op, const std::string& file) {
  if (chain::IsSecurityTest(op)) {
    SecurityTest();
    return;
  }
  switch (op) {
    case chain::kOpBulkErase:
      BulkErase(false);
      break;
    case chain::kOpBlankCheck:
      BlankCheck();
      break;
    case chain::kOpProgram:
      Program(file);
      break;
    case chain::kOpVerify:
      Verify(file);
      break;
    case chain::kOpProgramVerify:
      ProgramAndVerify(file);
      break;
    case chain::kOpReadId:
      ReadDeviceId();
      break;
    case chain::kOpSecure:
      Secure();
      break;
    case chain::kOpProgramUes:
      ProgramSignature(file);
      break;
    case chain::kOpReadUes:
      ReadSignature();
      break;
    case chain::kOpUpload:
      Upload();
      break;
    case chain::kOpNoOperation:
      Bypass();
      break;
    case chain::kOpScan:
      ScanChain(j_);
      break;
    default:
      break;
  }
}

void FamilyDevice::Bypass() {
  OperationLine("Bypass... (Device #");
  Line("");
  Mark(true);
}

IdcodeRead FamilyDevice::RecordIdcode(const std::string& id_file, const std::string& sec_file) {
  const IdcodeRead read = ReadIdcode(j_);
  util::ReplaceFile(id_file, read.bits + "\n");
  // The comparison holds off-line and while pin vectors are recorded too: what such a read gives (all
  // ones when nothing answers) is no identity, and must not pass as one.
  if (auto problem = IdentityProblem(rec_, pos_, read)) {
    util::RemoveFile(id_file);
    util::RemoveFile(sec_file);
    Abort(*problem);
  }
  return read;
}

int FamilyDevice::RecordSecurityBit() {
  Skip();
  j_.TapStep(ShiftDr);
  const int not_secured = c_.cable().ReadTdo();
  util::ReplaceFile(ResultFile(".sec"), not_secured ? "1\n" : "0\n");
  return not_secured;
}

}  // namespace zepa::engine
