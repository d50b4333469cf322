#!/usr/bin/env bash
# Wall time of the converters against `cat` copying the same input (median of N runs each):
#   fusebuild on a VTL3960 and a VTL3384XL JEDEC design (goal: within 5x of cat),
#   fusedump on a VTL3384XL readback, fusebuild on the example chain's 128-macrocell device.
# Usage: scripts/bench-converters.sh [build-dir] [runs]     (build with -DCMAKE_BUILD_TYPE=Release)
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
build="$(cd "${1:-$root/build}" && pwd)"
runs="${2:-51}"
bin="$build/bin"

cmake --build "$build" --target fusebuild fusedump zepa_make_bench_designs zepa_make_examples >/dev/null

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
"$bin/zepa_make_bench_designs" "$work" >/dev/null
"$bin/zepa_make_examples" "$work/ex" >/dev/null
(cd "$work" && "$bin/fusebuild" chain.jcd 2 && cp design3384.isp chip.rd)

# Median wall time in microseconds of `runs` runs of the command, measured with the shell's own clock
# (no extra process per run). Output goes to /dev/null.
median_us() {
  local dir="$1"
  shift
  local times=() i start end
  (cd "$dir" && "$@" >/dev/null 2>&1) # warm the page cache
  for ((i = 0; i < runs; i++)); do
    start=$EPOCHREALTIME
    (cd "$dir" && exec "$@" >/dev/null 2>&1)
    end=$EPOCHREALTIME
    times+=($((${end/./} - ${start/./})))
  done
  printf '%s\n' "${times[@]}" | sort -n | sed -n "$((runs / 2 + 1))p"
}

line() { # name, converter us, cat us
  awk -v n="$1" -v c="$2" -v k="$3" 'BEGIN { printf "%-34s %9.2f ms %9.2f ms %7.2fx\n", n, c / 1000, k / 1000, c / k }'
}

echo "runs per figure: $runs (median wall time)"
printf '%-34s %12s %12s %8s\n' "conversion" "converter" "cat input" "ratio"
line "fusebuild VTL3960 (520476 fuses)" "$(median_us "$work" "$bin/fusebuild" chain.jcd 1)" \
  "$(median_us "$work" cat design3960.jed)"
line "fusebuild VTL3384XL (189969 fuses)" "$(median_us "$work" "$bin/fusebuild" chain.jcd 2)" \
  "$(median_us "$work" cat design3384.jed)"
line "fusedump VTL3384XL readback" "$(median_us "$work" "$bin/fusedump" chip.rd VTL3384XL 1)" \
  "$(median_us "$work" cat chip.rd)"
line "fusebuild 128-macrocell example" "$(median_us "$work/ex" "$bin/fusebuild" chain.jcd 3)" \
  "$(median_us "$work/ex" cat design128.jed)"
