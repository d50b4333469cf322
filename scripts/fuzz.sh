#!/usr/bin/env bash
# Builds the libFuzzer harnesses (fuzz/) with clang in build-fuzz and runs each for SECONDS (default 60),
# one after the other, from its seed corpus and dictionary. What a run finds beyond the seeds is kept in
# build-fuzz/corpus/<name>, crash inputs in build-fuzz/artifacts. Fails when a harness crashes; prints the
# executions of each target.
# Usage: scripts/fuzz.sh [SECONDS [TARGET...]]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
seconds=${1:-60}
shift || true
build=${ZEPA_FUZZ_BUILD:-$root/build-fuzz}
mkdir -p "$build"
build=$(cd "$build" && pwd)  # the harnesses run in folders of their own

targets=("$@")
if ((${#targets[@]} == 0)); then
  for source in fuzz/*_fuzz.cpp; do
    name=$(basename "$source" .cpp)
    targets+=("${name%_fuzz}")
  done
fi

launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja -DZEPA_FUZZ=ON -DZEPA_TESTS=OFF \
  -DZEPA_BENCHMARKS=OFF -DZEPA_GUI=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo "${launcher[@]}" >/dev/null
cmake --build "$build" --target "${targets[@]/%/_fuzz}"

mkdir -p "$build/artifacts"
# Harnesses that read a path write their input to a file per run: a memory-backed temporary folder keeps
# that from dominating the run.
if [ -z "${TMPDIR:-}" ] && [ -d /dev/shm ] && [ -w /dev/shm ]; then export TMPDIR=/dev/shm; fi
failed=()
summary=()
for name in "${targets[@]}"; do
  corpus="$build/corpus/$name"
  log="$build/artifacts/$name.log"
  mkdir -p "$corpus"
  dict=()
  [ -f "$root/fuzz/dict/$name.dict" ] && dict=(-dict="$root/fuzz/dict/$name.dict")
  # Each runs in a folder of its own: a reader may look for (or remove) a file in the current folder.
  run="$build/run/$name"
  mkdir -p "$run"
  echo "fuzz: $name for ${seconds}s"
  # The first folder collects new inputs; the seeds in the tree are only read. Leaks count as crashes.
  if (cd "$run" && "$build/fuzz/${name}_fuzz" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
    -print_final_stats=1 -artifact_prefix="$build/artifacts/$name-" "${dict[@]}" \
    "$corpus" "$root/fuzz/corpus/$name") >"$log" 2>&1; then
    status=ok
  else
    status=CRASH
    failed+=("$name")
    grep -E '==[0-9]+== ?ERROR|^SUMMARY|Test unit written' "$log" | head -n 5 || true
  fi
  execs=$(sed -nE 's/^stat::number_of_executed_units: *([0-9]+)/\1/p' "$log" | tail -n 1)
  summary+=("$(printf '%-16s %8s  %12s executions in %ss' "$name" "$status" "${execs:-?}" "$seconds")")
done

printf '%s\n' "${summary[@]}"
if ((${#failed[@]})); then
  echo "fuzz: crashes in ${failed[*]} (inputs and logs in $build/artifacts)"
  exit 1
fi
echo "fuzz: no crashes in ${#targets[@]} targets"
