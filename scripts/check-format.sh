#!/usr/bin/env bash
# Fails when a C++ file is not formatted as .clang-format says. Pass --fix to format in place.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
mapfile -t files < <(git ls-files '*.cpp' '*.h' '*.hpp' '*.c')
((${#files[@]})) || exit 0
if [ "${1:-}" = "--fix" ]; then
  clang-format -i "${files[@]}"
  exit 0
fi
if ! clang-format --dry-run --Werror "${files[@]}"; then
  echo "format check failed: run scripts/check-format.sh --fix" >&2
  exit 1
fi
echo "format check passed (${#files[@]} files)"
