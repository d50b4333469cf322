#!/usr/bin/env bash
# Sets up, builds and runs every test: a normal build, then the same tests under AddressSanitizer and
# UndefinedBehaviorSanitizer, then the formatting check.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
bash scripts/setup.sh

bash scripts/build.sh build
(cd build && ctest --output-on-failure -j"$(nproc)")

bash scripts/build.sh build-asan -DZEPA_SANITIZE=ON -DZEPA_BENCHMARKS=OFF -DCMAKE_BUILD_TYPE=Debug
(cd build-asan && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --output-on-failure -j"$(nproc)")
bash scripts/cross-build-windows.sh build-windows

bash scripts/check-format.sh
