#!/usr/bin/env bash
# Installs every Debian package the project needs. Safe to run again: it only asks apt for what is missing.
set -euo pipefail

packages=(
  g++ cmake ninja-build make                 # toolchain
  libgtest-dev libgmock-dev libbenchmark-dev # tests and benchmarks
  clang-format                               # formatting check
  clang libclang-rt-14-dev                   # libFuzzer and the sanitizers' runtime for scripts/fuzz.sh
  openocd                                    # independent JTAG host / SVF player for the simulated board
  srecord binutils                           # independent Intel HEX readers for MCS checks
  g++-mingw-w64-i686 mingw-w64-i686-dev      # Windows cross build of the port driver and its client
  g++-mingw-w64-x86-64-posix mingw-w64-x86-64-dev # Windows cross build of the console programs
  wine64                                     # runs the Windows console programs in the smoke test
  procps time                                # figures in the benchmark scripts
  qt6-base-dev libgl-dev                     # the desktop programmer (Qt 6 Widgets)
  xvfb xauth                                 # the desktop programmer's screenshots under a virtual display
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if ((${#missing[@]})); then
  echo "setup: installing ${missing[*]}"
  sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $sudo apt-get update -qq
  $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
else
  echo "setup: all packages present"
fi
