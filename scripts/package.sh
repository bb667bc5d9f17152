#!/usr/bin/env bash
# Builds the Debian package build/package/tarnwick_<version>_<arch>.deb with CPack and checks
# it with lintian. The three programs are built on their own (no tests, no benchmarks) with
# Debian's hardening flags, stripped, and their dependencies come from the shared libraries
# they link (dpkg-shlibdeps). Fails when lintian reports an error; lintian's full report,
# information tags included, is printed and kept in build/package/lintian.txt.
#
# Then the Windows programs: build/package/tarnwick-<version>-windows.zip holds the 32-bit and
# the 64-bit Zumpel.exe, Hivelore.exe and Tarnwick-console.exe (scripts/windows-build.sh,
# stripped) with the README and the licence.
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

echo "== Windows programs"
scripts/windows-build.sh
version=$(sed -n 's/^project(Tarnwick VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
name=tarnwick-$version-windows
stage=build/package-windows
# The same sources give the same zip: the time of the last commit in the programs' headers and on
# every entry (in UTC), the entries in a fixed order and without extra attributes.
stamp=$(git log -1 --format=%ct 2>/dev/null || echo 0)
rm -rf "$stage"
mkdir -p "$stage/$name/32-bit" "$stage/$name/64-bit"
for bits in 32 64; do
  arch=$([ "$bits" = 32 ] && echo i686 || echo x86_64)
  for exe in tools/zumpel/Zumpel.exe tools/hivelore/Hivelore.exe ui/Tarnwick-console.exe; do
    SOURCE_DATE_EPOCH=$stamp "$arch-w64-mingw32-strip" \
      -o "$stage/$name/$bits-bit/$(basename "$exe")" "build/windows-$bits/$exe"
  done
done
cp README.md "$stage/$name/README.md"
cp LICENSE "$stage/$name/LICENSE.txt"
find "$stage/$name" -exec touch -d "@$stamp" {} +
zip=$PWD/$out/$name.zip
rm -f "$zip"
(cd "$stage" && find "$name" -type f | LC_ALL=C sort | TZ=UTC zip -X -q "$zip" -@)
echo "package: $out/$name.zip ($(stat -c %s "$zip") bytes)"
zip -sf "$zip" | sed -n 's/^  //p'
