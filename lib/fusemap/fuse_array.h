// The design of one device as a fuse array indexed by JEDEC fuse number.
// Fuse n lives in bit (n mod 16) of word (n div 16); only the low 16 bits of a word carry fuses.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <vector>

namespace zepa::fusemap {

class FuseArray {
 public:
  // fusebuild starts from all ones (an unmentioned fuse is erased), fusedump from all zeros.
  enum class Fill { kZeros, kOnes };

  FuseArray(long total_fuse_num, Fill fill)
      : total_(total_fuse_num < 0 ? 0 : total_fuse_num),
        words_(static_cast<std::size_t>(total_ / 16 + 2), fill == Fill::kOnes ? 0xFFFFu : 0u) {}

  long TotalFuseNum() const { return total_; }
  bool Contains(long n) const { return n >= 0 && n < total_; }

  int read_fuse(long n) const { return static_cast<int>((words_[Word(n)] >> (n % 16)) & 1u); }
  void write_fuse(long n, int value) {
    std::uint32_t& word = words_[Word(n)];  // checks n before it is used as a shift count
    const std::uint32_t mask = 1u << (n % 16);
    if (value) {
      word |= mask;
    } else {
      word &= ~mask;
    }
  }

  // Sets the 16 fuses of word `w` at once: bit k of `fuses` becomes fuse 16 * w + k.
  void write_word(std::size_t w, std::uint16_t fuses) { words_.at(w) = fuses; }

  // JEDEC fuse checksum of fuses 0 .. count-1: fuse i adds its value shifted left by (i mod 8), modulo 65536.
  std::uint16_t Checksum(long count) const {
    std::uint32_t sum = 0;
    for (long i = 0; i < count; ++i) sum += static_cast<std::uint32_t>(read_fuse(i)) << (i % 8);
    return static_cast<std::uint16_t>(sum & 0xFFFFu);
  }
  std::uint16_t Checksum() const { return Checksum(total_); }

  const std::vector<std::uint32_t>& words() const { return words_; }

 private:
  // The array has two spare words past the last fuse (as the converters always allocated it); an index
  // outside the whole array is a caller's bug and throws rather than touching memory it does not own.
  std::size_t Word(long n) const {
    const auto w = static_cast<std::size_t>(n / 16);
    if (n < 0 || w >= words_.size()) throw std::out_of_range("fuse number outside the fuse array");
    return w;
  }

  long total_;
  std::vector<std::uint32_t> words_;
};

}  // namespace zepa::fusemap
