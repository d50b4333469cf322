#include "fusemap/tests/support/example_chain.h"

#include <algorithm>
#include <random>

#include "fusemap/tests/support/jedec_gen.h"

namespace zepa::fusemap::testing {
namespace {

struct ExampleDevice {
  const char* part;
  const char* design;
  long fuse_count;
  std::vector<long> keep_on;  // ISP and security fuses stay 1 so the designs program and stay readable
  int zeros;
  const char* ues;
};

// A small design: a fixed pseudo-random choice of programmed (0) fuses.
std::vector<long> DesignZeros(const ExampleDevice& d, unsigned seed) {
  std::minstd_rand next(seed);
  std::vector<long> zeros;
  while (static_cast<int>(zeros.size()) < d.zeros) {
    const long n = static_cast<long>(next() % static_cast<unsigned long>(d.fuse_count));
    if (std::find(d.keep_on.begin(), d.keep_on.end(), n) != d.keep_on.end()) continue;
    if (std::find(zeros.begin(), zeros.end(), n) != zeros.end()) continue;
    zeros.push_back(n);
  }
  return zeros;
}

std::string DeviceLine(int n, const std::string& part, const std::string& ir, const std::string& op,
                       const std::string& design) {
  std::string line = "DEVICE " + std::to_string(n) + std::string(11, ' ') + part;
  if (line.size() < 31) line.append(31 - line.size(), ' ');
  line += std::string(5, ' ') + ir + std::string(5, ' ');
  line += std::string(4, ' ') + op + std::string(2, ' ');
  if (!design.empty()) line += std::string(4, ' ') + design;
  return line;
}

}  // namespace

std::vector<ExampleFile> ExampleChainFiles() {
  const std::vector<ExampleDevice> devices = {
      {"VTL3032C", "design32.jed", 20542, {20541, 20508}, 120, ""},
      {"VTL5064C", "design64.jed", 41306, {41305, 41240}, 240, ""},
      {"VTL5128C", "design128.jed", 82930, {82801, 82800}, 480, "Zepa example chain, device 3"},
  };
  std::vector<ExampleFile> files;
  const std::string eol = "\r\n";
  std::string jcd = "#Corvane PLD device JTAG chain description" + eol;
  jcd += "TOTAL_DEVICE " + std::to_string(devices.size()) + eol;
  jcd += "#device location    Part      IR length    Operation  Jedec file" + eol;
  jcd += "#---------------   --------   ---------    ---------  ---------------" + eol;
  for (std::size_t i = 0; i < devices.size(); ++i) {
    const ExampleDevice& d = devices[i];
    JedecOptions options;
    options.device = d.part;
    options.crlf = true;
    files.push_back(
        {d.design,
         JedecText(FusesWithZeros(d.fuse_count, DesignZeros(d, static_cast<unsigned>(i + 1))), options)});
    jcd += DeviceLine(static_cast<int>(i + 1), d.part, "4", "PV", d.design) + eol;
  }
  jcd += eol;
  jcd += "#User Electronic Signature" + eol;
  jcd += "#" + std::string(60, '-') + eol;
  for (std::size_t i = 0; i < devices.size(); ++i) {
    jcd += "UES " + std::to_string(i + 1) + " $" + devices[i].ues + eol;
  }
  files.insert(files.begin(), {"chain.jcd", jcd});
  return files;
}

}  // namespace zepa::fusemap::testing
