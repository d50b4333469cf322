// The committed example chain must be exactly what the generator makes (regenerate it with
// zepa_make_examples examples).
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

#include "fusemap/tests/support/example_chain.h"
#include "util/files.h"

namespace zepa::fusemap::testing {
namespace {

TEST(ExampleChainTest, CommittedFilesAreTheGeneratorsOutput) {
  for (const ExampleFile& file : ExampleChainFiles()) {
    const std::optional<std::string> committed =
        util::ReadFile(std::string(ZEPA_SOURCE_DIR) + "/examples/" + file.name);
    ASSERT_TRUE(committed) << "examples/" << file.name << " is missing";
    EXPECT_TRUE(*committed == file.bytes)
        << "examples/" << file.name << " differs from the generator; run zepa_make_examples examples";
  }
}

}  // namespace
}  // namespace zepa::fusemap::testing
