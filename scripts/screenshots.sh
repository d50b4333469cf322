#!/usr/bin/env bash
# Pictures of the desktop programmer: runs zepaisp under a virtual X server on a copy of the example chain and
# board, programs and verifies the chain, reads every device's IDCODE, and writes PNGs of the main window with
# its children (zepaisp-main.png), of the dialogs (dialog-*.png) and of the chain drawing (route-example.png with
# device 2 under the pointer, route-21.png of a 21-device chain) into DIR.
#   bash scripts/screenshots.sh DIR [BUILD_DIR]
set -euo pipefail

if [[ $# -lt 1 ]]; then
  echo "usage: $0 DIR [BUILD_DIR]" >&2
  exit 2
fi
root=$(cd "$(dirname "$0")/.." && pwd)
out=$(mkdir -p "$1" && cd "$1" && pwd)
build=$(cd "${2:-$root/build}" && pwd)  # absolute: the program runs in a temporary folder
program=$build/bin/zepaisp
if [[ ! -x $program ]]; then
  echo "$0: $program not found; build the zepaisp target first" >&2
  exit 1
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$root"/examples/chain.jcd "$root"/examples/board.sim "$root"/examples/*.jed "$work"/
cd "$work"
ZEPA_WORK_DIR="$work" xvfb-run -a -s "-screen 0 1024x768x24" \
  timeout 300 "$program" --io sim:board.sim --screenshots "$out" chain.jcd
ls "$out"/*.png
