// Writes the example chain (chain.jcd and its JEDEC designs) into a folder.
#include <filesystem>
#include <iostream>
#include <string>

#include "fusemap/tests/support/example_chain.h"
#include "fusemap/tests/support/jedec_gen.h"

int main(int argc, char** argv) {
  // A folder name never starts with '-': an option word is either the help or a mistake, never a folder.
  if (argc >= 2 && argv[1][0] == '-') {
    const std::string option = argv[1];
    if (option == "--help" || option == "-h") {
      std::cout << "Usage: zepa_make_examples <folder>\n";
      return 0;
    }
    std::cerr << argv[0] << ": unknown option " << option << "\n"
              << "Usage: zepa_make_examples <folder>\n";
    return 2;
  }
  if (argc != 2) {
    std::cerr << "Usage: zepa_make_examples <folder>\n";
    return 1;
  }
  try {
    std::filesystem::create_directories(argv[1]);
    for (const auto& file : zepa::fusemap::testing::ExampleChainFiles()) {
      const std::filesystem::path path = std::filesystem::path(argv[1]) / file.name;
      zepa::fusemap::testing::WriteFile(path.string(), file.bytes);
      std::cout << path.string() << " (" << file.bytes.size() << " bytes)\n";
    }
  } catch (const std::exception& e) {
    std::cerr << "zepa_make_examples: " << e.what() << "\n";
    return 1;
  }
  return 0;
}
