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

# One run's wall time in microseconds, measured with the shell's own clock (no extra process per run).
run_us() {
  local dir="$1" start end
  shift
  start=$EPOCHREALTIME
  (cd "$dir" && exec "$@" >/dev/null 2>&1)
  end=$EPOCHREALTIME
  echo $((${end/./} - ${start/./}))
}

median() { sort -n | sed -n "$((runs / 2 + 1))p"; }

# Runs the converter and `cat` of its input in turns, `runs` times each (so both see the same load on
# the machine), and prints the medians and their ratio.
compare() { # name, folder, input file, converter command...
  local name="$1" dir="$2" input="$3" i conv=() copy=()
  shift 3
  (cd "$dir" && "$@" >/dev/null 2>&1 && cat "$input" >/dev/null) # warm the page cache
  for ((i = 0; i < runs; i++)); do
    conv+=("$(run_us "$dir" "$@")")
    copy+=("$(run_us "$dir" cat "$input")")
  done
  awk -v n="$name" -v c="$(printf '%s\n' "${conv[@]}" | median)" -v k="$(printf '%s\n' "${copy[@]}" | median)" \
    'BEGIN { printf "%-34s %9.2f ms %9.2f ms %7.2fx\n", n, c / 1000, k / 1000, c / k }'
}

echo "runs per figure: $runs (median wall time, converter and cat in turns)"
printf '%-34s %12s %12s %8s\n' "conversion" "converter" "cat input" "ratio"
compare "fusebuild VTL3960 (520476 fuses)" "$work" design3960.jed "$bin/fusebuild" chain.jcd 1
compare "fusebuild VTL3384XL (189969 fuses)" "$work" design3384.jed "$bin/fusebuild" chain.jcd 2
compare "fusedump VTL3384XL readback" "$work" chip.rd "$bin/fusedump" chip.rd VTL3384XL 1
compare "fusebuild 128-macrocell example" "$work/ex" design128.jed "$bin/fusebuild" chain.jcd 3
