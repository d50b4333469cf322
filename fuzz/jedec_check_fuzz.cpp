// The programmer's own JEDEC reader: the legality test, the fuses and the stated checksum of a design file.
#include <cstddef>
#include <cstdint>
#include <memory>

#include "engine/checks.h"
#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace zepa;
  const std::string file = fuzzing::ScratchFolder::Get().Write("design.jed", fuzzing::AsText(data, size));
  const std::unique_ptr<engine::JedecContents> jedec = engine::ReadJedecForCheck(file);
  // A file that is not legal carries nothing else.
  if (!jedec->legal && jedec->stated_checksum) fuzzing::Broken();
  return 0;
}
