#include "fusemap/fuse_array.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace zepa::fusemap {
namespace {

TEST(FuseArrayTest, FuseNumbersOutsideTheArrayThrowInsteadOfTouchingMemory) {
  // 20 fuses take 20 / 16 + 2 = 3 words: fuse numbers 0 .. 47 have storage, anything else does not.
  FuseArray fuse(20, FuseArray::Fill::kZeros);
  for (long n : {-1L, -17L, 48L, 1000L}) {
    EXPECT_THROW(fuse.write_fuse(n, 1), std::out_of_range) << n;
    EXPECT_THROW(fuse.read_fuse(n), std::out_of_range) << n;
  }
  fuse.write_fuse(47, 1);
  EXPECT_EQ(fuse.read_fuse(47), 1);
  EXPECT_EQ(fuse.words()[2], 0x8000u);
}

}  // namespace
}  // namespace zepa::fusemap
