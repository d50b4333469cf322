#!/usr/bin/env bash
# Cross-builds the Windows side with Debian's 32-bit MinGW-w64 toolchain:
#  - KPORTIO1, the port I/O driver, as an NT kernel-mode image (kportio1.sys: native subsystem, entry
#    DriverEntry, no C runtime, imports from ntoskrnl.exe only);
#  - the port layer as the programmer uses it on Windows (driver client included), as a static library.
# Usage: scripts/cross-build-windows.sh [OUTPUT_DIR]   (default: build-windows)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=${1:-$root/build-windows}
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
for src in app/port/tvicport.cpp app/port/driver_client.cpp app/port/port_backends.cpp app/port/win_driver_port.cpp; do
  obj="$out/port/$(basename "${src%.cpp}").o"
  "$cxx" "${common[@]}" -c "$root/$src" -o "$obj"
  objs+=("$obj")
done
rm -f "$out/libzepa_port.a"
"$ar" rcs "$out/libzepa_port.a" "${objs[@]}"

echo "cross-build: $out/kportio1.sys (imports ntoskrnl.exe), $out/libzepa_port.a (${#objs[@]} objects)"
