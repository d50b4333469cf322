// zepaisp-cli: the programmer without a window. See --help.
#include <iostream>
#include <string>
#include <vector>

#include "ui/cli/cli_app.h"

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + 1, argv + argc);
  return zepa::cli::CliMain(argc > 0 ? argv[0] : "", args, std::cout, std::cerr);
}
