// The reflected Gray code the families' row and frame addresses are built of.
#pragma once

namespace zepa::engine {

constexpr int GrayCode(int value) {
  return value ^ (value >> 1);
}

}  // namespace zepa::engine
