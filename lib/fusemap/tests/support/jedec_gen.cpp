#include "fusemap/tests/support/jedec_gen.h"

#include <cstdio>
#include <fstream>
#include <random>
#include <stdexcept>

namespace zepa::fusemap::testing {

std::string JedecText(const FuseArray& fuses, const JedecOptions& options) {
  const std::string eol = options.crlf ? "\r\n" : "\n";
  const long count = fuses.TotalFuseNum();
  const int per_line = options.fuses_per_line > 0 ? options.fuses_per_line : 80;
  std::string text = "\x02JEDEC fuse map written by the Zepa test generator*" + eol;
  if (!options.device.empty()) text += "NOTE DEVICE " + options.device + "*" + eol;
  text += "QF" + std::to_string(count) + "*" + eol;
  text += "F0*" + eol;
  char number[32];
  for (long first = 0; first < count; first += per_line) {
    std::snprintf(number, sizeof number, "L%06ld ", first);
    text += number;
    for (long n = first; n < count && n < first + per_line; ++n) text += fuses.read_fuse(n) ? '1' : '0';
    text += "*" + eol;
  }
  std::snprintf(number, sizeof number, "C%04X*", fuses.Checksum());
  text += number + eol;
  text += '\x03';
  unsigned sum = 0;
  for (unsigned char c : text) sum += c;
  std::snprintf(number, sizeof number, "%04X", sum & 0xFFFFu);
  text += number;
  text += eol;
  return text;
}

FuseArray FusesWithZeros(long count, const std::vector<long>& zeros) {
  FuseArray fuses(count, FuseArray::Fill::kOnes);
  for (long n : zeros) {
    if (!fuses.Contains(n)) throw std::out_of_range("fuse " + std::to_string(n) + " beyond the fuse count");
    fuses.write_fuse(n, 0);
  }
  return fuses;
}

FuseArray RandomFuses(long count, unsigned seed) {
  FuseArray fuses(count, FuseArray::Fill::kZeros);
  std::mt19937 rng(seed);
  for (long n = 0; n < count; ++n) fuses.write_fuse(n, static_cast<int>(rng() & 1u));
  return fuses;
}

void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  out.close();
  if (!out) throw std::runtime_error("cannot write " + path);
}

}  // namespace zepa::fusemap::testing
