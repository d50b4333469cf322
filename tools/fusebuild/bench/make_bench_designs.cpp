// Writes the converters' speed-check designs into a folder: a VTL3960 and a VTL3384XL JEDEC design with
// random fuses (80 fuse digits per L line, LF line ends) and chain.jcd naming them as devices 1 and 2.
//   zepa_make_bench_designs <folder>
#include <filesystem>
#include <iostream>
#include <random>
#include <stdexcept>
#include <string>

#include "fusemap/part_table.h"
#include "fusemap/tests/support/jedec_gen.h"

namespace {

using zepa::fusemap::FuseArray;

FuseArray RandomDesign(long count, unsigned seed) {
  return zepa::fusemap::testing::RandomFuses(count, seed);
}

}  // namespace

int main(int argc, char** argv) {
  // A folder name never starts with '-': an option word is either the help or a mistake, never a folder.
  if (argc >= 2 && argv[1][0] == '-') {
    const std::string option = argv[1];
    if (option == "--help" || option == "-h") {
      std::cout << "Usage: zepa_make_bench_designs <folder>\n";
      return 0;
    }
    std::cerr << argv[0] << ": unknown option " << option << "\n"
              << "Usage: zepa_make_bench_designs <folder>\n";
    return 2;
  }
  if (argc != 2) {
    std::cerr << "Usage: zepa_make_bench_designs <folder>\n";
    return 1;
  }
  namespace fs = std::filesystem;
  namespace t = zepa::fusemap::testing;
  try {
    const fs::path dir = argv[1];
    fs::create_directories(dir);
    struct Design {
      const char* part;
      const char* file;
      int ir_length;
    };
    const Design designs[] = {{"VTL3960", "design3960.jed", 5}, {"VTL3384XL", "design3384.jed", 5}};
    std::string chain = "TOTAL_DEVICE 2\n";
    int position = 0;
    for (const Design& d : designs) {
      zepa::fusemap::jcd_type rec;
      zepa::fusemap::get_part(rec, d.part);
      if (rec.vendor != 1) throw std::runtime_error(std::string("unknown part ") + d.part);
      ++position;
      t::WriteFile(
          (dir / d.file).string(),
          t::JedecText(RandomDesign(rec.jed_fuse, static_cast<unsigned>(position)), {.device = d.part}));
      chain += "DEVICE " + std::to_string(position) + " " + d.part + " " + std::to_string(d.ir_length) +
               " PV " + d.file + "\n";
      std::cout << (dir / d.file).string() << " (" << rec.jed_fuse << " fuses)\n";
    }
    t::WriteFile((dir / "chain.jcd").string(), chain);
  } catch (const std::exception& e) {
    std::cerr << "zepa_make_bench_designs: " << e.what() << "\n";
    return 1;
  }
  return 0;
}
