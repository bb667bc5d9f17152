#!/usr/bin/env bash
# Builds Zumpel, Hivelore and Tarnwick-console for 32-bit and 64-bit Windows
# (scripts/windows-build.sh), checks that each carries the version, and runs them under Wine
# beside the Linux build's programs: every file they write and every line they print must be
# the Linux one's (tests/windows/compare_with_linux.sh says what is run and compared).
#
# The 64-bit programs run under Debian's wine64. The 32-bit ones need Wine's 32-bit part
# (wine32:i386) and a kernel that runs 32-bit programs; where either is missing they are
# built and checked but not run, and the reason is printed. One Wine prefix serves the whole
# run: build/wine-prefix, made on the first run (Wine's first start takes several seconds).
#
#   scripts/windows-check.sh [LINUX_BUILD]      (default build/release, built first by the caller)
set -euo pipefail
cd "$(dirname "$0")/.."
linux_build=${1:-build/release}

scripts/windows-build.sh

version=$(sed -n 's/^project(Tarnwick VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
for bits in 32 64; do
  for exe in build/windows-$bits/tools/zumpel/Zumpel.exe \
             build/windows-$bits/tools/hivelore/Hivelore.exe \
             build/windows-$bits/ui/Tarnwick-console.exe; do
    # The version resource holds its texts in UTF-16LE.
    strings -el "$exe" | grep -x "$version" >/dev/null ||
      { echo "windows-check: $exe has no version $version in its resources" >&2; exit 1; }
  done
done
echo "windows-check: 32-bit and 64-bit Zumpel.exe, Hivelore.exe and Tarnwick-console.exe built," \
  "static, version $version"

wine64=/usr/lib/wine/wine64
wine32=/usr/lib/wine/wine
if [ ! -x "$wine64" ]; then
  echo "windows-check: Wine not run: $wine64 is missing (package wine64, which" \
    "scripts/install-deps.sh installs)"
  exit 0
fi
for program in ui/Tarnwick tools/zumpel/Zumpel tools/hivelore/Hivelore tests/make_demo_image \
               tests/fuzz/make_fuzz_seeds; do
  [ -x "$linux_build/$program" ] ||
    { echo "windows-check: $linux_build/$program is missing: build it first" >&2; exit 1; }
done

start=$SECONDS
export WINEPREFIX=$PWD/build/wine-prefix
export WINEDEBUG=-all
# No offer to install Wine's .NET and browser engines, which nothing here needs.
export WINEDLLOVERRIDES="mscoree,mshtml="
wineserver=$(dirname "$wine64")/wineserver64
[ -x "$wineserver" ] || wineserver=wineserver
# One server for the whole run, with the prefix's services started once; ended at the end.
mkdir -p "$WINEPREFIX"
"$wineserver" -p
trap '"$wineserver" -k 2>/dev/null || true' EXIT
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "== Making the Wine prefix $WINEPREFIX"
  "$wine64" wineboot --init >build/wine-prefix.log 2>&1 ||
    { cat build/wine-prefix.log; echo "windows-check: wineboot failed" >&2; exit 1; }
fi

echo "== 64-bit programs under Wine"
tests/windows/compare_with_linux.sh "$wine64" 64 build/windows-64 "$linux_build" \
  build/wine-compare-64

# The 32-bit programs: where the kernel runs 32-bit programs and Wine's 32-bit part is there.
kernel_runs_32bit() {
  local probe=build/windows-32/ia32-probe
  printf '.globl _start\n_start:\n movl $1, %%eax\n xorl %%ebx, %%ebx\n int $0x80\n' |
    as --32 -o "$probe.o" - 2>/dev/null && ld -m elf_i386 -o "$probe" "$probe.o" 2>/dev/null &&
    "$probe" 2>/dev/null
}
reason=""
if ! kernel_runs_32bit; then
  reason="this kernel does not run 32-bit programs"
elif [ ! -x "$wine32" ]; then
  reason="Wine's 32-bit part is not installed (as root: dpkg --add-architecture i386 &&"
  reason+=" apt-get update && apt-get install wine32:i386)"
fi
if [ -z "$reason" ]; then
  echo "== 32-bit programs under Wine"
  # A prefix made before Wine's 32-bit part was installed lacks its 32-bit system folder.
  if [ ! -e "$WINEPREFIX/drive_c/windows/syswow64/kernel32.dll" ]; then
    "$wine32" wineboot --update >>build/wine-prefix.log 2>&1 ||
      { cat build/wine-prefix.log; echo "windows-check: wineboot --update failed" >&2; exit 1; }
  fi
  tests/windows/compare_with_linux.sh "$wine32" 32 build/windows-32 "$linux_build" \
    build/wine-compare-32
else
  echo "windows-check: 32-bit programs built but not run: $reason"
fi
echo "windows-check: the Wine runs took $((SECONDS - start)) s"
