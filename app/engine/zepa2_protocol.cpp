#include "engine/zepa2_protocol.h"

#include "engine/gray_code.h"

namespace zepa::engine {
namespace {

constexpr Zepa2Geometry kGeometries[] = {
    {.name = "VTL3320",
     .short_name = "Q320",
     .blocks = 2,
     .last = 335,
     .preamble = "01011101100",
     .frame_mode = 3,
     .isp_bytes = 47712},
    {.name = "VTL3960",
     .short_name = "Q960",
     .blocks = 6,
     .last = 1007,
     .preamble = "01011101111",
     .frame_mode = 1,
     .isp_bytes = 143136},
};

}  // namespace

const Zepa2Geometry* Zepa2GeometryOf(int type_code) {
  if (type_code == codes::kVtl3320) return &kGeometries[0];
  if (type_code == codes::kVtl3960) return &kGeometries[1];
  return nullptr;
}

std::string Zepa2FrameAddress(int frame) {
  const int block = frame / kZepa2FramesPerBlock;
  const int group = frame % kZepa2FramesPerBlock / kZepa2FramesPerGroup;
  const int index = frame % kZepa2FramesPerGroup;
  std::string address;
  const auto put = [&address](int value, int bits) {
    for (int b = 0; b < bits; ++b) address += (GrayCode(value) >> b) & 1 ? '1' : '0';
  };
  put(index, 6);
  put(group, 2);
  put(block, 3);
  return address;
}

}  // namespace zepa::engine
