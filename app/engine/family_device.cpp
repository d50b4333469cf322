#include "engine/family_device.h"

#include "engine/cable.h"
#include "engine/records.h"
#include "engine/workdir.h"

namespace zepa::engine {

void FamilyDevice::Run(int op, const std::string& file) {
  switch (op) {
    case 0:
      BulkErase(false);
      break;
    case 1:
      BlankCheck();
      break;
    case 2:
      Program(file);
      break;
    case 3:
      Verify(file);
      break;
    case 4:
      ProgramAndVerify(file);
      break;
    case 5:
      ReadDeviceId();
      break;
    case 6:
      Secure();
      break;
    case 7:
      ProgramSignature(file);
      break;
    case 8:
      ReadSignature();
      break;
    case 9:
      Upload();
      break;
    case 10:
      Bypass();
      break;
    case 11:
    case 12:
    case 13:
      SecurityTest();
      break;
    case 14:
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
  ReplaceFile(id_file, read.bits + "\n");
  const bool skip_comparison = c_.cable().OffLine || (c_.cable().IspOptions & kOptBif);
  if (!skip_comparison) {
    if (auto problem = IdentityProblem(rec_, pos_, read)) {
      RemoveFile(id_file);
      RemoveFile(sec_file);
      Abort(*problem);
    }
  }
  return read;
}

int FamilyDevice::RecordSecurityBit() {
  Skip();
  j_.TapStep(ShiftDr);
  const int not_secured = c_.cable().ReadTdo();
  ReplaceFile(ResultFile(".sec"), not_secured ? "1\n" : "0\n");
  return not_secured;
}

}  // namespace zepa::engine
