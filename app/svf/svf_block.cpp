#include "svf/svf_block.h"

#include "engine/checks.h"

namespace zepa::svf {

void SvfBlock::Run(int op) {
  switch (op) {
    case 0:
      BulkErase(").     Time:", true);
      break;
    case 1:
      BlankCheck();
      break;
    case 2:
    case 4:
      engine::CheckJedec(job_.context, job_.device, rec_.jed);
      BulkErase(").  Time:", false);
      Program(op == 4);
      if (op == 4) Verify(false);
      break;
    case 3:
      engine::CheckJedec(job_.context, job_.device, rec_.jed);
      Verify(true);
      break;
    case 5:
      ReadIdcode();
      break;
    case 6:
      Secure();
      break;
    case 7:
      ProgramUes();
      break;
    case 8:
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
  out_.Line(statements_.idcode_check(rec_.id));
  LeaveIdcode();
  End("Read IDcode.", 2);
  Message("SVF Read Device IDcode completed!");
}

}  // namespace zepa::svf
