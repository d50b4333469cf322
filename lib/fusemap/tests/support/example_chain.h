// The example chain of examples/: three ZEPA1 devices (32, 64 and 128 macrocells), each with a small design
// made by the JEDEC generator, and the chain file in the programmer's own layout.
#pragma once

#include <string>
#include <vector>

namespace zepa::fusemap::testing {

struct ExampleFile {
  std::string name;   // file name inside examples/
  std::string bytes;  // exact contents
};

std::vector<ExampleFile> ExampleChainFiles();

}  // namespace zepa::fusemap::testing
