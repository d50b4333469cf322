#include "svf/svf_output.h"

#include <ctime>

#include "chain/chain_names.h"
#include "codes/type_codes.h"
#include "engine/records.h"
#include "svf/zepa1_svf.h"
#include "svf/zepa3_svf.h"
#include "util/local_time.h"

namespace zepa::svf {

std::string LocalTimeOfDay() {
  const std::tm local = util::LocalTimeNow();
  char text[16];
  std::strftime(text, sizeof text, "%H:%M:%S", &local);
  return text;
}

void SvfOutput::Generate(engine::EngineContext& context, int op, int position, const std::string& file,
                         const std::string& svf_file) {
  const engine::JcdRec& rec = context.chain().Rec(position);
  if (codes::IsZepa2Type(rec.id)) {
    context.host.prompts.show(engine::BoxIcon::kWarning, "Warning",
                              "This program does not support VTL3320/VTL3960 SVF output");
    return;
  }
  const bool zepa3 = codes::IsZepa3Type(rec.id);
  if (op == chain::kOpUpload) {
    if (zepa3) {
      context.messages().add_message("SVF output is not available for ZEPA3 family at this time!");
      context.messages().add_message("");
    } else {
      context.messages().add_message("SVF not available for UPLOAD command.");
    }
    return;
  }
  if (!chain::IsGridOperation(op)) return;

  SvfText out(svf_file, position);
  if (op == chain::kOpNoOperation) {
    context.messages().add_message("SVF Bypass... (Device #" + std::to_string(position) + ")");
    if (position == 1) out.Line(lines::kTrst);
    out.Commit();
    return;
  }
  SvfJob job{.context = context, .device = position, .svf_file = svf_file, .time = time_of_day_()};
  if (!zepa3 && chain::IsSignatureOperation(op)) context.jtag.LoadImageFile(file);
  try {
    // Every ZEPA3 part, VTL3384XL included, gets the ZEPA3 statements; ZEPA1 statements never reach one.
    if (zepa3) {
      Zepa3Svf(job, out, op, file);
    } else {
      Zepa1Svf(job, out, op);
    }
  } catch (...) {
    // What was written before the failure stays in the file.
    if (!out.text().empty()) out.Commit();
    throw;
  }
  out.Commit();
}

}  // namespace zepa::svf
