// The committed example chain must be exactly what the generator makes (regenerate it with
// zepa_make_examples examples).
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

#include "fusemap/tests/support/example_chain.h"

namespace zepa::fusemap::testing {
namespace {

TEST(ExampleChainTest, CommittedFilesAreTheGeneratorsOutput) {
  for (const ExampleFile& file : ExampleChainFiles()) {
    std::ifstream in(std::string(ZEPA_SOURCE_DIR) + "/examples/" + file.name, std::ios::binary);
    ASSERT_TRUE(in) << "examples/" << file.name << " is missing";
    const std::string committed((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_TRUE(committed == file.bytes)
        << "examples/" << file.name << " differs from the generator; run zepa_make_examples examples";
  }
}

}  // namespace
}  // namespace zepa::fusemap::testing
