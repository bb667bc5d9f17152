#!/usr/bin/env bash
# Builds the three console programs for Windows with Debian's MinGW-w64 cross compilers, through
# the same CMake files as the Linux build (cmake/mingw-w64-*.cmake, TARNWICK_GUI=OFF):
#
#   build/windows-32/  32-bit programs, which bind the platform's CECompress.dll and Compress.dll
#                      where they are there and use the built-in codecs where not
#   build/windows-64/  64-bit programs, built-in codecs only
#
# each with tools/zumpel/Zumpel.exe, tools/hivelore/Hivelore.exe and ui/Tarnwick-console.exe:
# static (no runtime DLLs beside them), the version in their version resource.
#
#   scripts/windows-build.sh [32|64]...      (default: both)
set -euo pipefail
cd "$(dirname "$0")/.."
widths=("$@")
[ ${#widths[@]} -eq 0 ] && widths=(32 64)
jobs=$(nproc)

for bits in "${widths[@]}"; do
  case $bits in
    32) arch=i686 package=g++-mingw-w64-i686-win32 ;;
    64) arch=x86_64 package=g++-mingw-w64-x86-64-win32 ;;
    *) echo "windows-build: $bits: 32 or 64" >&2; exit 2 ;;
  esac
  if ! command -v "$arch-w64-mingw32-g++-win32" >/dev/null; then
    echo "windows-build: $arch-w64-mingw32-g++-win32 is missing: install $package" \
      "(scripts/install-deps.sh does)" >&2
    exit 1
  fi
  build=build/windows-$bits
  echo "== $bits-bit Windows programs ($build)"
  cmake -S . -B "$build" --toolchain "cmake/mingw-w64-$arch.cmake" -DCMAKE_BUILD_TYPE=Release \
    -DTARNWICK_GUI=OFF -DTARNWICK_TESTS=OFF -DTARNWICK_BENCH=OFF -DTARNWICK_WERROR=ON >/dev/null
  cmake --build "$build" -j"$jobs" --target Zumpel Hivelore Tarnwick
  for exe in "$build"/tools/zumpel/Zumpel.exe "$build"/tools/hivelore/Hivelore.exe \
             "$build"/ui/Tarnwick-console.exe; do
    # Static: the programs may import only what every Windows has.
    imports=$("$arch-w64-mingw32-objdump" -p "$exe" | sed -n 's/^\s*DLL Name: //p' | tr '\n' ' ')
    for dll in $imports; do
      case ${dll,,} in
        kernel32.dll | msvcrt.dll) ;;
        *) echo "windows-build: $exe needs $dll" >&2; exit 1 ;;
      esac
    done
  done
done
