#!/usr/bin/env bash
# The main job: set up, build, and program and verify the example chain (three ZEPA1 parts) on the
# simulated board with zepaisp-cli, printing the message lines and the result table.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
bash scripts/setup.sh
bash scripts/build.sh build
work=$(mktemp -d)
cp -r examples/. "$work/"
cd "$work"
echo "\$ zepaisp-cli --io sim:board.sim chain.jcd      (in $work)"
"$root/build/bin/zepaisp-cli" --io sim:board.sim chain.jcd
echo
echo "Device images fusebuild wrote and the board's state, in $work:"
ls -l "$work"/*.bin "$work"/board.sim.state
