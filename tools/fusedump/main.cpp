#include <iostream>
#include <string>
#include <vector>

#include "fusedump/fusedump.h"

int main(int argc, char** argv) {
  const std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
  const zepa::fusedump::SystemClock clock;
  zepa::fusedump::Environment env{std::cout, std::cerr, clock};
  return zepa::fusedump::Run(args, env);
}
