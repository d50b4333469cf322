#include "svf/svf_writer.h"

#include <fstream>
#include <stdexcept>

#include "engine/workdir.h"
#include "util/files.h"

namespace zepa::svf {

std::string HexDigits(const ScanBits& bits) {
  const std::size_t digits = (bits.size() + 3) / 4;
  std::string text(digits, '0');
  for (std::size_t d = 0; d < digits; ++d) {
    int value = 0;
    for (std::size_t b = 0; b < 4; ++b) {
      const std::size_t i = 4 * d + b;
      if (i < bits.size() && bits[i]) value |= 1 << b;
    }
    text[digits - 1 - d] = "0123456789ABCDEF"[value];
  }
  return text;
}

std::string OnesHex(int n) {
  if (n <= 0) return "";
  std::string text;
  if (n % 4 != 0) text.push_back("0137"[n % 4]);
  text.append(static_cast<std::size_t>(n / 4), 'F');
  return text;
}

void WriteOnesTdo(SvfText& out, int n) {
  if (n <= 0) return;
  if (n % 4 != 0) out.Put(std::string(1, "0137"[n % 4]));
  for (int f = 1; f <= n / 4; ++f) {
    out.Put("F");
    if (f % 60 == 0) {
      out.EndLine();
      out.Put("             ");
    }
  }
}

void SvfText::Commit() {
  if (device_ == 1) {
    // A fresh file, renamed into place once complete, so a failed write never leaves a truncated file.
    try {
      util::ReplaceFile(path_, text_);
    } catch (const std::runtime_error&) {
      throw std::runtime_error("cannot write the SVF file " + path_);
    }
  } else {
    // The block goes on the end of what the earlier devices wrote, in one write.
    std::ofstream out(path_, std::ios::binary | std::ios::app);
    if (!out) throw std::runtime_error("cannot open the SVF file " + path_ + " for appending");
    out.write(text_.data(), static_cast<std::streamsize>(text_.size()));
    out.close();
    if (!out) throw std::runtime_error("cannot write the SVF file " + path_);
  }
  text_.clear();
}

void WriteSvfHeader(SvfText& out, const engine::ChainState& chain, int device, bool allow_trst) {
  const int after = chain.DeviceCount - device;  // nearer TDO
  const int before = device - 1;                 // nearer TDI
  if (device == 1 && allow_trst) out.Line(lines::kTrst);
  if (after <= 0) {
    out.Line("HIR 0;                        !0-bit IR header");
    out.Line("HDR 0;                        !0-bit DR header");
  } else {
    int h = 0;
    for (int d = device + 1; d <= chain.DeviceCount; ++d) h += chain.Rec(d).IR_len;
    const std::string hs = std::to_string(h);
    const std::string as = std::to_string(after);
    out.Line("HIR " + hs + " TDI (" + OnesHex(h) + ");                     !" + hs + "-bit IR header");
    out.Line("HDR " + as + " TDI (" + OnesHex(after) + ") TDO (0) MASK(0);       !" + as + "-bit DR header");
  }
  if (before <= 0) {
    out.Line("TIR 0;                        !0-bit IR trailer");
    out.Line("TDR 0;                        !0-bit DR trailer");
  } else {
    int t = 0;
    for (int d = 1; d < device; ++d) t += chain.Rec(d).IR_len;
    const std::string ts = std::to_string(t);
    const std::string bs = std::to_string(before);
    out.Line("TIR " + ts + " TDI (" + OnesHex(t) + ");                     !" + ts + "-bit IR trailer");
    out.Line("TDR " + bs + " TDI (" + OnesHex(before) + ") TDO (0) MASK(0);        !" + bs +
             "-bit DR trailer");
  }
}

}  // namespace zepa::svf
