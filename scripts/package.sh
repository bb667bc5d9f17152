#!/usr/bin/env bash
# Builds the Debian package build/package/tarnwick_<version>_<arch>.deb with CPack and checks
# it with lintian. The three programs are built on their own (no tests, no benchmarks) with
# Debian's hardening flags, stripped, and their dependencies come from the shared libraries
# they link (dpkg-shlibdeps). Fails when lintian reports an error; lintian's full report,
# information tags included, is printed and kept in build/package/lintian.txt.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh

build=build/package-build
out=build/package
jobs=$(nproc)

export DEB_BUILD_MAINT_OPTIONS=hardening=+all
cxxflags="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)"
ldflags=$(dpkg-buildflags --get LDFLAGS)

echo "== Package build ($build)"
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DTARNWICK_TESTS=OFF -DTARNWICK_BENCH=OFF \
  -DCMAKE_CXX_FLAGS="$cxxflags" -DCMAKE_EXE_LINKER_FLAGS="$ldflags" >/dev/null
cmake --build "$build" -j"$jobs"
# The window belongs in the package: refuse a Tarnwick that was built without Qt.
if ! ldd "$build/ui/Tarnwick" | grep 'libQt6Widgets' >/dev/null; then
  echo "package: $build/ui/Tarnwick was built without Qt 6 Widgets; install qt6-base-dev" >&2
  exit 1
fi

mkdir -p "$out"
rm -f "$out"/tarnwick_*.deb
cpack --config "$build/CPackConfig.cmake" -B "$out" >"$out/cpack.log" 2>&1 ||
  { cat "$out/cpack.log"; exit 1; }
debs=("$out"/tarnwick_*.deb)
deb=${debs[0]}
echo "package: $deb ($(stat -c %s "$deb") bytes)"
dpkg-deb --field "$deb" Package Version Architecture Depends Recommends

echo "== lintian"
status=0
lintian --pedantic --display-info --fail-on error "$deb" >"$out/lintian.txt" 2>&1 || status=$?
grep -v '^running with root privileges' "$out/lintian.txt" || true
errors=$(grep -c '^E: ' "$out/lintian.txt" || true)
warnings=$(grep -c '^W: ' "$out/lintian.txt" || true)
echo "lintian: $errors errors, $warnings warnings (exit status $status)"
if [ "$status" -ne 0 ] || [ "$errors" -ne 0 ]; then
  echo "package: lintian reports errors" >&2
  exit 1
fi
