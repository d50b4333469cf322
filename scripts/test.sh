#!/usr/bin/env bash
# Sets up, builds and runs every test: a Release build (what users and the benchmarks build), then the same tests under AddressSanitizer and
# UndefinedBehaviorSanitizer, then the Windows cross build (the driver, the port client and the console
# programs) and the programs' smoke test under wine64 against the normal build, then the formatting
# check, then each fuzzer for 10 seconds (scripts/fuzz.sh). Ends with one line that counts the tests of
# both runs.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
bash scripts/setup.sh

logs=$(mktemp -d)
trap 'rm -rf "$logs"' EXIT

bash scripts/build.sh build -DZEPA_WERROR=ON -DCMAKE_BUILD_TYPE=Release
(cd build && ctest --output-on-failure -j"$(nproc)") | tee "$logs/normal.txt"

bash scripts/build.sh build-asan -DZEPA_WERROR=ON -DZEPA_SANITIZE=ON -DZEPA_BENCHMARKS=OFF -DCMAKE_BUILD_TYPE=Debug
(cd build-asan && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --output-on-failure -j"$(nproc)") | tee "$logs/asan.txt"

bash scripts/cross-build-windows.sh build-windows
bash scripts/windows-smoke.sh build build-windows

bash scripts/check-format.sh

# The fuzzers, briefly: enough for a reader that crashes on something near its seeds to show.
bash scripts/fuzz.sh 10

# ctest ends with "N% tests passed, F tests failed out of T" and lists skipped tests as "(Skipped)".
total=0 failed=0 skipped=0
for log in "$logs"/normal.txt "$logs"/asan.txt; do
  line=$(grep -E 'tests passed, [0-9]+ tests? failed out of [0-9]+' "$log" | tail -n 1)
  t=$(sed -E 's/.* out of ([0-9]+).*/\1/' <<<"$line")
  f=$(sed -E 's/.*passed, ([0-9]+) tests? failed.*/\1/' <<<"$line")
  s=$(grep -cE '\(Skipped\)$' "$log" || true)
  total=$((total + t)) failed=$((failed + f)) skipped=$((skipped + s))
done
echo "tests: $((total - failed - skipped)) passed, $failed failed, $skipped skipped"
