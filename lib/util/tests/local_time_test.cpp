#include "util/local_time.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace zepa::util {
namespace {

TEST(LocalTime, ConvertsInTheLocalZone) {
  ::setenv("TZ", "UTC", 1);
  ::tzset();
  const std::tm t = LocalTime(951782400 + 3723);  // 2000-02-29 01:02:03 UTC
  EXPECT_EQ(t.tm_year, 100);
  EXPECT_EQ(t.tm_mon, 1);
  EXPECT_EQ(t.tm_mday, 29);
  EXPECT_EQ(t.tm_hour, 1);
  EXPECT_EQ(t.tm_min, 2);
  EXPECT_EQ(t.tm_sec, 3);
  EXPECT_EQ(t.tm_wday, 2);  // a Tuesday
}

}  // namespace
}  // namespace zepa::util
