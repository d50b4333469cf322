// fusebuild's chain-file reader: any text, with the limits it promises on what it keeps; then the
// signature-only conversions of the devices without a design, whose signature text comes from the file.
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>

#include "fusebuild/fusebuild.h"
#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace zepa;
  std::istringstream in{std::string(fuzzing::AsText(data, size))};
  fusebuild::Chain chain;
  try {
    chain = fusebuild::load_jcd_struct(in, "fuzz.jcd");
  } catch (const fusemap::FatalError& e) {
    if (e.code() != fusemap::kErrTooManyDevices && e.code() != fusemap::kErrPartNameLength &&
        e.code() != fusemap::kErrDesignPathLength)
      fuzzing::Broken();
    return 0;
  }
  if (chain.devices.size() > static_cast<std::size_t>(fusemap::kMaxChainDevices)) fuzzing::Broken();
  for (std::size_t i = 0; i < chain.devices.size(); ++i) {
    const fusemap::jcd_type& dev = chain.devices[i];
    if (dev.loc != static_cast<int>(i) + 1) fuzzing::Broken();
    if (dev.part.size() >= fusemap::kPartCapacity || dev.jed.size() >= fusemap::kJedCapacity ||
        dev.ues.size() >= fusemap::kUesCapacity)
      fuzzing::Broken();
  }

  // Only devices without a design are converted: a design path from the input could name any file, and
  // the image goes beside it. Signature images go to the scratch folder.
  const std::string folder = fuzzing::ScratchFolder::Get().path().string() + "/";
  std::ostringstream out;
  const fusebuild::RunContext ctx{
      .dbgLevel = 0, .root_path = folder, .work_dir = folder, .ues_dir = folder, .out = &out};
  int converted = 0;
  for (std::size_t i = 0; i < chain.devices.size() && converted < 2; ++i) {
    if (!chain.devices[i].jed.empty()) continue;
    ++converted;
    try {
      fusebuild::jedec_to_bin(chain, static_cast<int>(i) + 1, ctx);
    } catch (const fusemap::FatalError&) {
    }
  }
  return 0;
}
