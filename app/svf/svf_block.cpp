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

}  // namespace zepa::svf
