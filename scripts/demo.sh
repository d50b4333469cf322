#!/usr/bin/env bash
# The main job: set up, build, and convert the example chain with fusebuild, then list what it wrote.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
bash scripts/setup.sh
bash scripts/build.sh build
work=$(mktemp -d)
cp -r examples/. "$work/"
cd "$work"
for n in 1 2 3; do
  echo "\$ fusebuild chain.jcd $n"
  "$root/build/bin/fusebuild" chain.jcd "$n"
done
echo
echo "Images written in $work:"
ls -l "$work"/*.bin
