#!/usr/bin/env bash
# Builds and runs the whole test suite twice: an optimised build, and one with
# AddressSanitizer and UndefinedBehaviorSanitizer. Then the Windows programs are built and run
# under Wine against the optimised build, the fuzz targets run briefly, and the Debian package
# is built, installed and tried.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
jobs=$(nproc)

echo "== Release build"
cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release -DTARNWICK_WERROR=ON >/dev/null
cmake --build build/release -j"$jobs"
(cd build/release && ctest --output-on-failure -j"$jobs")

echo "== Sanitizer build (AddressSanitizer + UndefinedBehaviorSanitizer)"
cmake -S . -B build/asan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTARNWICK_SANITIZE=ON \
  -DTARNWICK_WERROR=ON -DTARNWICK_BENCH=OFF >/dev/null
cmake --build build/asan -j"$jobs"
(cd build/asan && ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
  UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 ctest --output-on-failure -j"$jobs")

echo "== Windows programs: 32-bit and 64-bit builds (MinGW-w64), run under Wine beside Linux's"
scripts/windows-check.sh build/release

echo "== Fuzz targets, a few seconds each (scripts/fuzz.sh 600 runs them for 10 minutes)"
scripts/fuzz.sh 5

echo "== Debian package: build, lintian, install, run the installed programs, remove"
scripts/package-test.sh
