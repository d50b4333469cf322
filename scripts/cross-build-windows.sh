#!/usr/bin/env bash
# Cross-builds the Windows side with Debian's MinGW-w64 toolchains:
#  - KPORTIO1, the port I/O driver, as a 32-bit NT kernel-mode image (kportio1.sys: native subsystem, entry
#    DriverEntry, no C runtime, imports from ntoskrnl.exe only);
#  - the port layer as the programmer uses it on Windows (driver client included), as a 32-bit static
#    library;
#  - the console programs fusebuild.exe, fusedump.exe and zepaisp-cli.exe for x86-64, through CMake with
#    cmake/mingw-w64-x86_64.cmake, into OUTPUT_DIR/x86_64/bin: linked statically, they need no DLL but
#    the system's (scripts/windows-smoke.sh runs them under wine64).
# Usage: scripts/cross-build-windows.sh [OUTPUT_DIR]   (default: build-windows)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=${1:-$root/build-windows}
mkdir -p "$out"
out=$(cd "$out" && pwd)
cxx=i686-w64-mingw32-g++
ar=i686-w64-mingw32-ar
objdump=i686-w64-mingw32-objdump

command -v "$cxx" >/dev/null || { echo "cross-build: $cxx not found (run scripts/setup.sh)" >&2; exit 1; }
ddk=""
for dir in /usr/i686-w64-mingw32/include/ddk /usr/share/mingw-w64/include/ddk; do
  [ -f "$dir/ntddk.h" ] && { ddk=$dir; break; }
done
[ -n "$ddk" ] || { echo "cross-build: DDK headers (ddk/ntddk.h) not found (package mingw-w64-i686-dev)" >&2; exit 1; }

mkdir -p "$out/driver" "$out/port"
common=(-std=c++20 -O2 -Wall -Wextra -Werror -I"$root" -I"$root/app")

# The driver: no exceptions, no RTTI, no unwind tables, no stack-protector runtime, no FPU/SSE state in
# kernel code.
kernel=(-fno-exceptions -fno-rtti -fno-asynchronous-unwind-tables -fno-stack-protector -mgeneral-regs-only
  -isystem "$ddk")
for src in driver/portio_dispatch.cpp driver/kportio_nt.cpp; do
  "$cxx" "${common[@]}" "${kernel[@]}" -c "$root/$src" -o "$out/driver/$(basename "${src%.cpp}").o"
done
"$cxx" -nostdlib -shared -Wl,--subsystem,native -Wl,--entry,_DriverEntry@8 -Wl,--image-base,0x10000 \
  -Wl,--file-alignment,0x200 -Wl,--section-alignment,0x1000 -Wl,--exclude-all-symbols \
  -o "$out/kportio1.sys" "$out/driver/portio_dispatch.o" "$out/driver/kportio_nt.o" -lntoskrnl -lgcc

# A kernel image must not pull in anything but the kernel.
headers=$("$objdump" -p "$out/kportio1.sys")
imports=$(awk '/DLL Name:/ {print $3}' <<<"$headers" | sort -u | tr '\n' ' ')
[ "$imports" = "ntoskrnl.exe " ] || { echo "cross-build: kportio1.sys imports: $imports" >&2; exit 1; }
grep -q 'Subsystem.*NT native' <<<"$headers" || { echo "cross-build: kportio1.sys is not a native image" >&2; exit 1; }

# The port layer with the Windows driver client (the sources app/port/CMakeLists.txt builds on Windows).
objs=()
for src in app/port/tvicport.cpp app/port/driver_client.cpp app/port/port_backends.cpp app/port/ppdev_port.cpp \
  app/port/win_driver_port.cpp; do
  obj="$out/port/$(basename "${src%.cpp}").o"
  "$cxx" "${common[@]}" -c "$root/$src" -o "$obj"
  objs+=("$obj")
done
rm -f "$out/libzepa_port.a"
"$ar" rcs "$out/libzepa_port.a" "${objs[@]}"

echo "cross-build: $out/kportio1.sys (imports ntoskrnl.exe), $out/libzepa_port.a (${#objs[@]} objects)"

# The console programs, x86-64. No tests or benchmarks in a cross build (ZEPA_TESTS and ZEPA_BENCHMARKS
# are off there); the build type is the Linux build's default.
command -v x86_64-w64-mingw32-g++-posix >/dev/null ||
  { echo "cross-build: x86_64-w64-mingw32-g++-posix not found (run scripts/setup.sh)" >&2; exit 1; }
programs=(fusebuild fusedump zepaisp-cli)
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
cmake -S "$root" -B "$out/x86_64" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZEPA_WERROR=ON "${launcher[@]}" >/dev/null
cmake --build "$out/x86_64" -j"$(nproc)" --target "${programs[@]}"

# Each program must run as it is on a bare Windows: a 64-bit console image that imports system DLLs only
# (not libstdc++-6.dll, libgcc_s_seh-1.dll or libwinpthread-1.dll).
system_dlls=" KERNEL32.dll msvcrt.dll ADVAPI32.dll USER32.dll "
for program in "${programs[@]}"; do
  exe="$out/x86_64/bin/$program.exe"
  headers=$(x86_64-w64-mingw32-objdump -p "$exe")
  grep -q '^Magic.*PE32+' <<<"$headers" || { echo "cross-build: $exe is not a 64-bit image" >&2; exit 1; }
  grep -q 'Subsystem.*Windows CUI' <<<"$headers" || { echo "cross-build: $exe is not a console program" >&2; exit 1; }
  for dll in $(awk '/DLL Name:/ {print $3}' <<<"$headers" | sort -u); do
    [[ "$system_dlls" == *" $dll "* ]] || { echo "cross-build: $exe needs $dll" >&2; exit 1; }
  done
done
echo "cross-build: ${programs[*]/%/.exe} in $out/x86_64/bin (x86-64, system DLLs only)"
