#!/usr/bin/env bash
# Builds the Debian package, installs it with apt-get (which brings its dependencies), runs the
# installed programs once each, checks the desktop entry, MIME types and manual pages that
# came with it, and removes the package again, also when a check fails. Installing needs root;
# as any other user the test is skipped.
set -euo pipefail
cd "$(dirname "$0")/.."

if [ "$(id -u)" -ne 0 ]; then
  echo "package-test: skipped: installing a package needs root (CI runs this as root)"
  exit 0
fi
if dpkg-query -W -f='${Status}' tarnwick 2>/dev/null | grep 'install ok installed' >/dev/null; then
  echo "package-test: skipped: a tarnwick package is installed already and this test would" \
    "remove it (apt-get remove tarnwick, then run again)"
  exit 0
fi

scripts/package.sh
debs=(build/package/tarnwick_*.deb)
deb=${debs[0]}

# The demo image comes from the release build of the test command (built here when missing),
# and so does the Tarnwick whose log the installed one must repeat.
cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release -DTARNWICK_WERROR=ON >/dev/null
cmake --build build/release -j"$(nproc)" --target make_demo_image Tarnwick >/dev/null

work=$(mktemp -d)
remove_package() {
  echo "== Removing the package"
  DEBIAN_FRONTEND=noninteractive apt-get remove -y -qq tarnwick >/dev/null
  rm -rf "$work"
}
fail() {
  echo "package-test: $*" >&2
  exit 1
}

echo "== Installing $deb"
trap remove_package EXIT
DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "./$deb" >"$work/apt.log" 2>&1 ||
  { cat "$work/apt.log"; fail "apt-get install failed"; }
[ "$(command -v Tarnwick)" = /usr/bin/Tarnwick ] || fail "Tarnwick is not /usr/bin/Tarnwick"

echo "== Tarnwick --version"
version=$(sed -n 's/^project(Tarnwick VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
[ "$(Tarnwick --version)" = "Tarnwick $version" ] || fail "Tarnwick --version does not say $version"
echo "Tarnwick $version"

echo "== Tarnwick --image <demo image> --log"
demo=$work/demo.nb0
build/release/tests/make_demo_image "$demo" >/dev/null
status=0
Tarnwick --image "$demo" --log >"$work/log.txt" || status=$?
[ "$status" -eq 0 ] || fail "Tarnwick --log ended with status $status"
grep -a "^; ECEC found @ 00000040" "$work/log.txt" >/dev/null || fail "the log has no ECEC line"
[ "$(grep -c $'\r$' "$work/log.txt")" -eq "$(wc -l <"$work/log.txt")" ] ||
  fail "the log's lines do not all end in CR LF"
build/release/ui/Tarnwick --image "$demo" --log >"$work/log-build.txt"
cmp "$work/log.txt" "$work/log-build.txt" || fail "the installed Tarnwick writes another log"
echo "$(wc -l <"$work/log.txt") lines, the same as build/release/ui/Tarnwick"

echo "== Zumpel without arguments"
status=0
Zumpel >"$work/zumpel.txt" || status=$?
[ "$status" -eq 0 ] || fail "Zumpel's usage ended with status $status"
head -n 1 "$work/zumpel.txt" | grep '^WinCE Compressor/Decompressor' >/dev/null ||
  fail "Zumpel printed no usage text"
head -n 2 "$work/zumpel.txt"

echo "== Hivelore on a registry file of one key and one value"
# Signature, header word; a key record (body 14 bytes, type 1): root 2, a word, "Demo" in
# UTF-16LE; a value record (body 14 bytes, type 2): type 4, a word, data length 4, "N",
# the number 10.
printf '\xB2\x74\x83\x1D\x01\x00\x00\x00' >"$work/demo.fdf"
printf '\x0E\x00\x01\x00\x02\x00\x00\x00D\x00e\x00m\x00o\x00\x00\x00' >>"$work/demo.fdf"
printf '\x0E\x00\x02\x00\x04\x00\x00\x00\x04\x00N\x00\x00\x00\x0A\x00\x00\x00' >>"$work/demo.fdf"
printf 'REGEDIT4\r\n\r\n\r\n[HKEY_LOCAL_MACHINE\\Demo]\r\n"N"=dword:0000000A\r\n' >"$work/expected.reg"
status=0
(cd "$work" && Hivelore demo.fdf) || status=$?
[ "$status" -eq 0 ] || fail "Hivelore ended with status $status"
cmp "$work/recompiled_FDF_File.reg" "$work/expected.reg" ||
  fail "recompiled_FDF_File.reg is not the expected text"
tr -d '\r' <"$work/recompiled_FDF_File.reg"

echo "== What the desktop sees"
desktop-file-validate /usr/share/applications/tarnwick.desktop
grep '^Name=Windows CE ROM Viewer$' /usr/share/applications/tarnwick.desktop >/dev/null ||
  fail "the menu entry is not named Windows CE ROM Viewer"
# shared-mime-info's trigger has rebuilt the MIME database: an *.nb0 name and a *.bin file
# that begins with "B000FF" and a line feed are image types, another *.bin file is not.
printf 'B000FF\n\x00\x00\x00\x80' >"$work/records.bin"
head -c 4096 /dev/zero >"$work/other.bin"
for f in demo.nb0 records.bin other.bin; do
  printf '%s: %s\n' "$f" "$(gio info -a standard::content-type "$work/$f" |
    sed -n 's/.*standard::content-type: //p')"
done >"$work/types.txt"
cat "$work/types.txt"
grep -x 'demo.nb0: application/x-wince-rom-image' "$work/types.txt" >/dev/null &&
  grep -x 'records.bin: application/x-wince-b000ff-image' "$work/types.txt" >/dev/null &&
  grep -x 'other.bin: application/octet-stream' "$work/types.txt" >/dev/null ||
  fail "the MIME types are not known as expected"
for page in Tarnwick Zumpel Hivelore; do
  man -w "$page" | grep "^/usr/share/man/man1/$page.1.gz$" >/dev/null ||
    fail "no manual page $page(1)"
done
echo "manual pages: $(man -w Tarnwick Zumpel Hivelore | tr '\n' ' ')"

trap - EXIT
remove_package
[ ! -e /usr/bin/Tarnwick ] || fail "/usr/bin/Tarnwick is still there after the removal"
echo "package-test: installed, ran Tarnwick, Zumpel and Hivelore, removed: all checks passed"
