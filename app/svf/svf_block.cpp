#include "svf/svf_block.h"

#include "chain/chain_names.h"
#include "engine/checks.h"

namespace zepa::svf {

std::string IdcodeScan(const FamilyStatements& statements, int id) {
  for (const IdcodeExpectation& part : statements.idcodes) {
    if (part.id != id) continue;
    return "SDR 32 TDI (0) TDO (" + std::string(part.tdo) + ") MASK(" + std::string(part.mask) +
           ") SMASK(0); !" + std::string(part.name) + " IDCODE";
  }
  return "SDR 32 TDI (0) TDO (0) MASK(0) SMASK(0); !" + std::string(statements.unknown_idcode);
}

void SvfBlock::Run(int op) {
  switch (op) {
    case chain::kOpBulkErase:
      BulkErase(").     Time:", true);
      break;
    case chain::kOpBlankCheck:
      BlankCheck();
      break;
    case chain::kOpProgram:
    case chain::kOpProgramVerify:
      engine::CheckJedec(job_.context, job_.device, rec_.jed);
      BulkErase(").  Time:", false);
      Program(op == chain::kOpProgramVerify);
      if (op == chain::kOpProgramVerify) Verify(false);
      break;
    case chain::kOpVerify:
      engine::CheckJedec(job_.context, job_.device, rec_.jed);
      Verify(true);
      break;
    case chain::kOpReadId:
      ReadIdcode();
      break;
    case chain::kOpSecure:
      Secure();
      break;
    case chain::kOpProgramUes:
      ProgramUes();
      break;
    case chain::kOpReadUes:
      ReadUes();
      break;
    default:
      break;
  }
}

void SvfBlock::BulkErase(const char* time_prefix, bool stand_alone) {
  Announce("Bulk erase...");
  Begin("Bulk Erase", time_prefix);
  Header(true);
  Preload();
  Opening();
  EraseAndInit();
  out_.Line(lines::kResetTAP);
  End("Bulk Erase", stand_alone ? 2 : 1);
  if (!stand_alone) Message("SVF Bulk erase completed.");
}

void SvfBlock::ReadIdcode() {
  Announce("Read Device IDcode...");
  Begin("Read IDcode");
  Header(true);
  Opening();
  out_.Line(statements_.idcode);
  out_.Line(lines::kWaitIdcode);
  out_.Line(IdcodeScan(statements_, rec_.id));
  LeaveIdcode();
  End("Read IDcode.", 2);
  Message("SVF Read Device IDcode completed!");
}

}  // namespace zepa::svf
