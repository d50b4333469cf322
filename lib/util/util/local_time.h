// The local time as broken-down fields, on every platform (POSIX localtime_r, Windows localtime_s).
#pragma once

#include <ctime>

namespace zepa::util {

// `t` in the local time zone; all fields zero when the system cannot convert it.
std::tm LocalTime(std::time_t t);

// The local time now.
inline std::tm LocalTimeNow() {
  return LocalTime(std::time(nullptr));
}

}  // namespace zepa::util
