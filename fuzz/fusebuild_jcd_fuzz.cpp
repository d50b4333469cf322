// fusebuild's chain-file reader: any text, with the limits it promises on what it keeps.
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>

#include "fusebuild/fusebuild.h"
#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace zepa;
  std::istringstream in{std::string(fuzzing::AsText(data, size))};
  try {
    const fusebuild::Chain chain = fusebuild::load_jcd_struct(in, "fuzz.jcd");
    if (chain.devices.size() > static_cast<std::size_t>(fusemap::kMaxChainDevices)) fuzzing::Broken();
    for (std::size_t i = 0; i < chain.devices.size(); ++i) {
      const fusemap::jcd_type& dev = chain.devices[i];
      if (dev.loc != static_cast<int>(i) + 1) fuzzing::Broken();
      if (dev.part.size() >= fusemap::kPartCapacity || dev.jed.size() >= fusemap::kJedCapacity ||
          dev.ues.size() >= fusemap::kUesCapacity)
        fuzzing::Broken();
    }
  } catch (const fusemap::FatalError& e) {
    if (e.code() != fusemap::kErrTooManyDevices && e.code() != fusemap::kErrPartNameLength &&
        e.code() != fusemap::kErrDesignPathLength)
      fuzzing::Broken();
  }
  return 0;
}
