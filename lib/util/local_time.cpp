#include "util/local_time.h"

namespace zepa::util {

std::tm LocalTime(std::time_t t) {
  std::tm local{};
#if defined(_WIN32)
  if (localtime_s(&local, &t) != 0) return std::tm{};
#else
  if (localtime_r(&t, &local) == nullptr) return std::tm{};
#endif
  return local;
}

}  // namespace zepa::util
