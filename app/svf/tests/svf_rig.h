// Test rig for SVF output: the engine rig on a simulated board with an SvfOutput hooked in, a fixed time
// of day, and helpers to read the SVF file back as lines.
#pragma once

#include <string>
#include <vector>

#include "engine/context.h"
#include "engine/tests/isp_rig.h"
#include "svf/svf_output.h"

namespace zepa::svf::testing {

inline std::vector<std::string> SplitCrLf(const std::string& text) {
  std::vector<std::string> out;
  std::size_t at = 0;
  while (at < text.size()) {
    const std::size_t end = text.find("\r\n", at);
    if (end == std::string::npos) {
      out.push_back(text.substr(at));
      break;
    }
    out.push_back(text.substr(at, end - at));
    at = end + 2;
  }
  return out;
}

class SvfRig : public engine::testing::IspRig {
 public:
  explicit SvfRig(const std::string& board_text) : IspRig(board_text) { engine.set_svf_generator(&svf); }

  // Runs the chain with SVF output (plus `extra` option bits).
  void RunSvf(int extra = 0) { Run(engine::kOptSvf | extra); }
  std::string SvfPath() const { return Path("chain.svf"); }
  std::string SvfText() const { return Read("chain.svf"); }
  std::vector<std::string> SvfLines() const { return SplitCrLf(SvfText()); }

  SvfOutput svf{[] { return std::string("12:34:56"); }};
};

}  // namespace zepa::svf::testing
