#include "codes/type_codes.h"

#include <gtest/gtest.h>

namespace zepa::codes {
namespace {

TEST(TypeCodes, EachCodeFallsInOneFamilyByItsRange) {
  struct Case {
    int id;
    bool zepa1, zepa2, zepa3;
  };
  const Case cases[] = {
      {-1, false, false, false},       {kUnknownPart, false, false, false}, {1, true, false, false},
      {kZepa1_32, true, false, false}, {kZepa1_128A, true, false, false},   {127, true, false, false},
      {128, false, true, false},       {kVtl3320, false, true, false},      {kVtl3960, false, true, false},
      {143, false, true, false},       {kVtl3032XL, false, false, true},    {kVtl3384XL, false, false, true},
      {INT_MAX, false, false, true},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(IsZepa1Type(c.id), c.zepa1) << c.id;
    EXPECT_EQ(IsZepa2Type(c.id), c.zepa2) << c.id;
    EXPECT_EQ(IsZepa3Type(c.id), c.zepa3) << c.id;
  }
}

}  // namespace
}  // namespace zepa::codes
