#!/usr/bin/env bash
# Runs the Windows console programs under wine64 and holds them against the Linux build:
#  - fusebuild.exe on the example chain (devices 1, 2, 3, and device 3 with the shift-register listings)
#    and on a generated chain of a ZEPA2 and a ZEPA3 design, and fusedump.exe on the ZEPA3 image read back
#    as it was written: every file they leave, and their exit status and console text, must be the Linux
#    programs' byte for byte (the "Created on:" time stamps excepted);
#  - zepaisp-cli.exe --io sim:board.sim chain.jcd, which starts fusebuild.exe beside itself, programs and
#    verifies the example chain (exit status 0, three "pass" results), its messages and the board's state
#    are the Linux program's; a second run verifies the parts as the first one left them, with the
#    converter's own message (a listing it cannot write) passed through to the programmer's output.
# Wine gets a prefix of its own under BUILD_WINDOWS (made on the first run, no display needed).
# Usage: scripts/windows-smoke.sh BUILD_LINUX BUILD_WINDOWS
#   BUILD_LINUX:   a Linux build tree (fusebuild, fusedump, zepaisp-cli and zepa_make_bench_designs are
#                  built in it if they are missing)
#   BUILD_WINDOWS: the output folder of scripts/cross-build-windows.sh
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
(($# == 2)) || { echo "usage: scripts/windows-smoke.sh BUILD_LINUX BUILD_WINDOWS" >&2; exit 2; }
linux_build=$(cd "$1" && pwd)
windows_build=$(cd "$2" && pwd)
lin="$linux_build/bin"
win="$windows_build/x86_64/bin"
started=$EPOCHREALTIME

# wine64 is /usr/lib/wine/wine64 with Debian's wine64 package alone; the wine package puts it on the PATH.
wine=$(command -v wine64 || true)
[ -n "$wine" ] || wine=/usr/lib/wine/wine64
wineserver=$(command -v wineserver || true)
[ -n "$wineserver" ] || wineserver=$(dirname "$wine")/wineserver
for tool in "$wine" "$wineserver"; do
  [ -x "$tool" ] || { echo "windows-smoke: $tool not found (run scripts/setup.sh)" >&2; exit 1; }
done
for program in fusebuild fusedump zepaisp-cli; do
  [ -f "$win/$program.exe" ] ||
    { echo "windows-smoke: $win/$program.exe not found (run scripts/cross-build-windows.sh)" >&2; exit 1; }
done
cmake --build "$linux_build" --target fusebuild fusedump zepaisp-cli zepa_make_bench_designs >/dev/null

# No display, no Mono or Gecko installers, no debug chatter; console programs need none of them.
export WINEPREFIX="$windows_build/wine-prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY
work="$windows_build/smoke"
rm -rf "$work"
mkdir -p "$work"
seconds_since() { awk -v a="$1" -v b="$EPOCHREALTIME" 'BEGIN { printf "%.1f", b - a }'; }
# A prefix that was not made to its end is made again.
ready="$WINEPREFIX/.zepa-smoke-ready"
[ -f "$ready" ] || rm -rf "$WINEPREFIX"
mkdir -p "$WINEPREFIX"
# One wine server for all the runs below (a program start then takes a fraction of a second instead of
# seconds); it serves this prefix only and ends with the script.
"$wineserver" --persistent 2>/dev/null ||
  echo "windows-smoke: a wine server already runs for $WINEPREFIX; the runs use it"
trap '"$wineserver" --kill 2>/dev/null || true' EXIT
if [ ! -f "$ready" ]; then
  t0=$EPOCHREALTIME
  "$wine" wineboot --init >"$work/wineboot.log" 2>&1 || { cat "$work/wineboot.log" >&2; exit 1; }
  touch "$ready"
  echo "windows-smoke: wine prefix made in $(seconds_since "$t0") s"
fi

checks=0
failures=()
check() { # description, command...
  local what="$1"
  shift
  checks=$((checks + 1))
  if "$@"; then
    echo "  ok    $what"
  else
    echo "  FAIL  $what"
    failures+=("$what")
  fi
}

# Runs a program in a folder: its standard output and error go to NAME.out (the Windows side's CR LF line
# ends made LF), its exit status to NAME.status.
run_in() { # folder, name, program, arguments...
  local dir="$1" name="$2" status=0
  shift 2
  (cd "$dir" && "$@" >"$name.out" 2>&1) || status=$?
  sed -i 's/\r$//' "$dir/$name.out"
  echo "$status" >"$dir/$name.status"
}
run_linux() { run_in "$work/linux/$1" "$2" "$lin/$3" "${@:4}"; }
run_windows() { run_in "$work/windows/$1" "$2" "$wine" "$win/$3.exe" "${@:4}"; }

# The files of two folders are the same, byte for byte; the ctime-form time stamp after "Created on:"
# (JEDEC readback header, ZEPA2 listing) is the only part left out.
stamp='Created on:(Mon|Tue|Wed|Thu|Fri|Sat|Sun) (Jan|Feb|Mar|Apr|May|Jun|Jul|Aug|Sep|Oct|Nov|Dec) ( [1-9]|[12][0-9]|3[01]) [0-2][0-9]:[0-5][0-9]:[0-6][0-9] [0-9]{4}'
same_files() { # folder name under linux/ and windows/
  local a="$work/linux/$1" b="$work/windows/$1" file ok=0
  if ! diff <(cd "$a" && find . -type f | sort) <(cd "$b" && find . -type f | sort); then
    return 1
  fi
  while IFS= read -r file; do
    if LC_ALL=C grep -qa 'Created on:' "$a/$file"; then
      cmp -s <(LC_ALL=C sed -E "s/$stamp/Created on:TIME/" "$a/$file") \
        <(LC_ALL=C sed -E "s/$stamp/Created on:TIME/" "$b/$file") ||
        { echo "        $1/$file differs (time stamps aside)"; ok=1; }
    else
      cmp -s "$a/$file" "$b/$file" || { echo "        $1/$file differs"; ok=1; }
    fi
  done < <(cd "$a" && find . -type f | sort)
  return $ok
}

statuses_are() { # folder, expected status, names...
  local dir="$work/windows/$1" expected="$2" name
  shift 2
  for name in "$@"; do
    [ "$(cat "$dir/$name.status")" = "$expected" ] || { echo "        $1/$name: exit status $(cat "$dir/$name.status")"; return 1; }
  done
}

echo "windows-smoke: the converters on the example chain"
for side in linux windows; do
  mkdir -p "$work/$side"
  cp -r "$root/examples" "$work/$side/examples"
done
for side in linux windows; do
  for device in 1 2 3; do "run_$side" examples "fusebuild-$device" fusebuild chain.jcd "$device"; done
  # Debug level 1: the ZEPA1 shift-register listings SRfuse.doc and stream.hex.
  "run_$side" examples fusebuild-3-listing fusebuild chain.jcd 3 1
done
check "fusebuild.exe devices 1, 2, 3 and the listings end with status 0" \
  statuses_are examples 0 fusebuild-1 fusebuild-2 fusebuild-3 fusebuild-3-listing
check "fusebuild.exe leaves the Linux fusebuild's images and listings" same_files examples

echo "windows-smoke: the converters on a ZEPA2 and a ZEPA3 design"
"$lin/zepa_make_bench_designs" "$work/designs" >/dev/null
for side in linux windows; do
  cp -r "$work/designs" "$work/$side/designs"
  for device in 1 2; do "run_$side" designs "fusebuild-$device" fusebuild chain.jcd "$device"; done
  cp "$work/$side/designs/design3384.isp" "$work/$side/designs/chip.rd"
  "run_$side" designs fusedump-chip fusedump chip.rd VTL3384XL 1
  "run_$side" designs fusedump fusedump chip.rd VTL3384XL 0
done
rm -rf "$work/designs"
check "fusebuild.exe (VTL3960, VTL3384XL) and fusedump.exe (VTL3384XL) end with status 0" \
  statuses_are designs 0 fusebuild-1 fusebuild-2 fusedump-chip fusedump
check "fusebuild.exe and fusedump.exe leave the Linux programs' files" same_files designs

echo "windows-smoke: zepaisp-cli.exe programs and verifies the example chain on the simulated board"
for side in linux windows; do
  cp -r "$root/examples" "$work/$side/cli"
  "run_$side" cli program zepaisp-cli --io sim:board.sim chain.jcd
done
passes() { # folder, name: the three devices of the result table read "pass"
  local count
  count=$(grep -cE '^ +[123] +VTL[0-9A-Z]+ +.* pass +design' "$work/windows/$1/$2.out" || true)
  [ "$count" = 3 ] || { echo "        $1/$2: $count of 3 devices pass"; return 1; }
}
# The lines the two systems print alike: all but the "Executing <chain file> <time> <date>" line.
same_messages() { # folder, name
  cmp -s <(grep -v '^Executing ' "$work/linux/$1/$2.out") <(grep -v '^Executing ' "$work/windows/$1/$2.out") ||
    { diff <(grep -v '^Executing ' "$work/linux/$1/$2.out") <(grep -v '^Executing ' "$work/windows/$1/$2.out") |
      head -n 20 | sed 's/^/        /'; return 1; }
}
check "zepaisp-cli.exe ends with status 0" statuses_are cli 0 program
check "zepaisp-cli.exe: three devices pass" passes cli program
check "zepaisp-cli.exe prints the Linux program's messages" same_messages cli program
check "the simulated board holds what the Linux program put into it" \
  cmp -s "$work/linux/cli/board.sim.state" "$work/windows/cli/board.sim.state"

# The second run finds the board's state file of the first and replaces it. Its listings cannot be
# written (a folder stands where SRfuse.doc goes), which fusebuild says on its own output.
for side in linux windows; do
  sed -i 's/ PV / VE /' "$work/$side/cli/chain.jcd"
  mkdir -p "$work/$side/cli/SRfuse.doc/taken"
  "run_$side" cli verify zepaisp-cli --io sim:board.sim --listing chain.jcd
done
converter_says() { # folder, name
  local count
  count=$(grep -c 'SRfuse.doc: File open failed\.' "$work/windows/$1/$2.out" || true)
  [ "$count" = 3 ] || { echo "        $1/$2: fusebuild's message seen $count times of 3"; return 1; }
}
verified() { statuses_are cli 0 verify && passes cli verify; }
check "a second zepaisp-cli.exe run verifies the parts as the first left them" verified
check "fusebuild.exe's messages reach zepaisp-cli.exe's output" converter_says cli verify
check "the second run prints the Linux program's messages" same_messages cli verify

elapsed=$(seconds_since "$started")
if ((${#failures[@]} == 0)); then
  echo "windows-smoke: PASS ($checks checks, ${elapsed} s)"
else
  echo "windows-smoke: FAIL (${#failures[@]} of $checks checks failed; ${elapsed} s; files in $work)"
  exit 1
fi
