#!/usr/bin/env bash
# Runs the Windows programs of one build under Wine and the Linux build's programs on the same
# inputs, then compares every output byte for byte:
#
#   Zumpel    /C3, /C4 of every test vector's original and every file of the demo image, /D3,
#             /D4 and /R of each result, /D4 and /R of the vectors' streams, /D3 and /R of the
#             older coding's streams; and the two ways of forcing the codecs (TARNWICK_COMPRESSION)
#   Hivelore  a precompiled registry file and a hive, both made by the project's builders
#   Tarnwick  --log --map of the demo image, --export-all, and an edit, a replacement, an
#             addition and a deletion saved flat and as B000FF records
#
# Files written must be the same bytes under the same names. Console output must be the same
# bytes, but for what the platform makes of it: Zumpel's and Hivelore's lines and every standard
# error line end in CR LF (the console's text mode), Zumpel repeats its file names in the Windows
# code page, the log names the image by its Windows path (Z:\...), and the Windows programs that
# compress say on standard error first which codecs they use.
#
#   tests/windows/compare_with_linux.sh WINE_LOADER BITS WINDOWS_BUILD LINUX_BUILD WORK
#
# WINEPREFIX must name a prepared prefix; BITS is 32 or 64. Inputs come from the Linux build
# (make_demo_image, make_fuzz_seeds) and the shared test vectors, when they are there
# (TARNWICK_CE_ROM_VECTORS, default ../shared/ce-rom-vectors beside the source tree).
set -euo pipefail

[ $# -eq 5 ] || { echo "usage: $0 WINE_LOADER BITS WINDOWS_BUILD LINUX_BUILD WORK" >&2; exit 2; }
loader=$1
bits=$2
windows_build=$(realpath "$3")
linux_build=$(realpath "$4")
work=$5
source_dir=$(realpath "$(dirname "$0")/../..")
vectors=${TARNWICK_CE_ROM_VECTORS:-$source_dir/../shared/ce-rom-vectors}

# Wine reads the command line and the environment in the terminal's encoding: UTF-8, whatever the
# caller's locale; the Windows side then sees the Windows code page 1252.
export LC_ALL=C.UTF-8

rm -rf "$work"
mkdir -p "$work"
work=$(realpath "$work")
in=$work/in
mkdir -p "$in" "$work/linux" "$work/windows" "$work/console-linux" "$work/console-windows"

fail() {
  echo "compare_with_linux ($bits-bit): $*" >&2
  exit 1
}

program() {  # SIDE NAME: the command that runs program NAME on SIDE
  local side=$1 name=$2
  if [ "$side" = linux ]; then
    case $name in
      Tarnwick) echo "$linux_build/ui/Tarnwick" ;;
      Zumpel) echo "$linux_build/tools/zumpel/Zumpel" ;;
      Hivelore) echo "$linux_build/tools/hivelore/Hivelore" ;;
    esac
  else
    case $name in
      Tarnwick) echo "$windows_build/ui/Tarnwick-console.exe" ;;
      Zumpel) echo "$windows_build/tools/zumpel/Zumpel.exe" ;;
      Hivelore) echo "$windows_build/tools/hivelore/Hivelore.exe" ;;
    esac
  fi
}

# Independent groups of runs go side by side, as many as there are cores (Wine's programs spend
# much of their start waiting on its server).
jobs=$(nproc)
running=0
task() {  # task COMMAND...: runs COMMAND in the background once a slot is free
  if [ "$running" -ge "$jobs" ]; then
    wait -n
    running=$((running - 1))
  fi
  "$@" &
  running=$((running + 1))
}

# run SIDE DIR ID PROGRAM ARG...: runs PROGRAM in SIDE's folder DIR (made if missing); standard
# output, standard error and exit status go to console-SIDE/ID.{out,err,status}.
run() {
  local side=$1 dir=$2 id=$3 name=$4
  shift 4
  local exe
  exe=$(program "$side" "$name")
  local console=$work/console-$side/$id
  mkdir -p "$work/$side/$dir"
  local status=0
  if [ "$side" = linux ]; then
    (cd "$work/$side/$dir" && "$exe" "$@") >"$console.out" 2>"$console.err" </dev/null || status=$?
  else
    (cd "$work/$side/$dir" && "$loader" "$exe" "$@") >"$console.out" 2>"$console.err" \
      </dev/null || status=$?
  fi
  echo "$status" >"$console.status"
}
both() {  # the same run on both sides
  run linux "$@"
  run windows "$@"
}

# Inputs.
"$linux_build/tests/make_demo_image" "$in/demo.nb0"
"$linux_build/tests/fuzz/make_fuzz_seeds" "$work/seeds"
cp "$work/seeds/registry/demo" "$in/default.fdf"
cp "$work/seeds/registry/hive" "$in/default.hv"
"$linux_build/ui/Tarnwick" --image "$in/demo.nb0" --export-all "$in/files" >/dev/null 2>&1 ||
  fail "the Linux Tarnwick could not export the demo image's files"
printf 'short' >"$in/short.txt"
printf 'Zus\xc3\xa4tzliche Datei\r\n' >"$in/Zusätz.txt"
if [ -d "$vectors" ]; then
  mkdir -p "$in/vectors" "$in/vectors-old"
  cp "$vectors"/*.bin "$vectors"/*.rom "$in/vectors/"
  cp "$vectors"/old/*.rom "$in/vectors-old/"
else
  echo "compare_with_linux ($bits-bit): no test vectors in $vectors; their round trips are skipped"
fi

# Zumpel: round trips through both codings, and the streams of both codings read back.
round_trip() {  # DIR FILE
  local dir=$1 f=$2
  local base
  base=$(basename "$f")
  both "$dir" "$dir-$base-C3" Zumpel /C3 "$f" "$base.c3"
  both "$dir" "$dir-$base-C3-D3" Zumpel /D3 "$base.c3" "$base.c3.d3"
  both "$dir" "$dir-$base-C3-R" Zumpel /R "$base.c3" "$base.c3.r"
  both "$dir" "$dir-$base-C4" Zumpel /C4 "$f" "$base.c4"
  both "$dir" "$dir-$base-C4-D4" Zumpel /D4 "$base.c4" "$base.c4.d4"
  both "$dir" "$dir-$base-C4-R" Zumpel /R "$base.c4" "$base.c4.r"
}
read_back() {  # DIR SWITCH... -- STREAM: each switch on STREAM
  local dir=$1
  shift
  local switches=()
  while [ "$1" != -- ]; do switches+=("$1"); shift; done
  local f=$2 sw
  for sw in "${switches[@]}"; do
    both "$dir" "$dir-$(basename "$f")-${sw#/}" Zumpel "$sw" "$f" "$(basename "$f").${sw#/}"
  done
}
for f in "$in"/files/*; do task round_trip files "$f"; done
if [ -d "$in/vectors" ]; then
  for f in "$in"/vectors/*.bin; do task round_trip vectors "$f"; done
  for f in "$in"/vectors/*.rom; do task read_back vectors /D4 /R -- "$f"; done
  for f in "$in"/vectors-old/*.rom; do task read_back vectors-old /D3 /R -- "$f"; done
fi

# Hivelore writes recompiled_FDF_File.reg into the current folder: one folder per input.
task both hivelore-fdf hivelore-fdf Hivelore "$in/default.fdf"
task both hivelore-hive hivelore-hive Hivelore "$in/default.hv"

# Tarnwick.
task both tarnwick tarnwick-log-map Tarnwick --image "$in/demo.nb0" --log --map
task both tarnwick tarnwick-export-all Tarnwick --image "$in/demo.nb0" --export-all export
# The demo image's layout follows from the sizes its compressed files come to: the starts of the
# edited files are read from the Linux program's memory map.
start_of() {
  "$linux_build/ui/Tarnwick" --image "$in/demo.nb0" --map |
    awk -v name="$1" '$4 ~ /^F\[/ && index($0, "  " name " ") { print $1; exit }'
}
my_file=$(start_of "My File.txt")
readme=$(start_of readme.txt)
hidden=$(start_of hidden.cfg)
[ -n "$my_file" ] && [ -n "$readme" ] && [ -n "$hidden" ] ||
  fail "the demo image's map lacks My File.txt, readme.txt or hidden.cfg"
edits=(--edit "$my_file" '$841' 48 --replace "$readme" "$in/short.txt")
# An added entry carries the file's creation time, which Linux and Wine read alike only where
# the file system keeps one.
if [ "$(stat -c %W "$in/Zusätz.txt")" != 0 ]; then
  edits+=(--add "$in/Zusätz.txt")
else
  echo "compare_with_linux ($bits-bit): this file system keeps no creation times; the edit" \
    "adds no file"
fi
edits+=(--delete "$hidden" --save edited.nb0 --save edited.bin --log --map)
task both tarnwick tarnwick-edit Tarnwick --image "$in/demo.nb0" "${edits[@]}"
wait
[ "$(cat "$work/console-linux/tarnwick-edit.status")" = 0 ] ||
  fail "the Linux Tarnwick refused the edit: $(cat "$work/console-linux/tarnwick-edit.err")"

# The codecs forced: the built-in ones give the same bytes; the DLLs, which Wine does not have,
# stop Zumpel.
base=$(basename "$(ls "$in"/files/* | head -n 1)")
TARNWICK_COMPRESSION=builtin run windows ../forced forced-builtin Zumpel /C4 "$in/files/$base" \
  "$base.c4"
cmp "$work/forced/$base.c4" "$work/linux/files/$base.c4" ||
  fail "TARNWICK_COMPRESSION=builtin compresses $base to other bytes"
TARNWICK_COMPRESSION=dll run windows ../forced forced-dll Zumpel /C4 "$in/files/$base" "dll.c4"
[ ! -e "$work/forced/dll.c4" ] || fail "TARNWICK_COMPRESSION=dll wrote an output file"

# What the Windows programs say about the codecs.
if [ "$bits" = 64 ]; then
  notice="Using the built-in codecs: this 64-bit program cannot load the platform's 32-bit DLLs"
  forced_dll="Cannot use CECompress.dll and Compress.dll as TARNWICK_COMPRESSION=dll asks: this\
 64-bit program cannot load the platform's 32-bit DLLs; the 32-bit one can"$'\r\n'
else
  notice="Using the built-in codecs: CECompress.dll is missing"
  forced_dll=""
fi
printf '%s\r\n' "$notice" >"$work/notice"
printf 'Using the built-in codecs (TARNWICK_COMPRESSION=builtin)\r\n' |
  cmp - "$work/console-windows/forced-builtin.err" || fail "forced-builtin: another notice"
printf '%s' "$forced_dll" | cmp - "$work/console-windows/forced-dll.err" ||
  fail "forced-dll: another notice"
printf 'Error: CECompress.dll is missing\r\n' | cmp - "$work/console-windows/forced-dll.out" ||
  fail "forced-dll: another message"
[ "$(cat "$work/console-windows/forced-dll.status")" = 1 ] || fail "forced-dll: exit status not 1"

# Every file written: the same names, the same bytes.
diff -r "$work/linux" "$work/windows" >"$work/files.diff" ||
  { head -n 20 "$work/files.diff"; fail "the files written differ (all: $work/files.diff)"; }
files=$(find "$work/linux" -type f | wc -l)

# Every console stream: the Linux one as Windows writes it.
crlf() { sed 's/$/\r/'; }
streams=0
for status in "$work"/console-linux/*.status; do
  id=$(basename "$status" .status)
  l=$work/console-linux/$id
  w=$work/console-windows/$id
  [ -e "$w.status" ] || continue
  cmp -s "$l.status" "$w.status" ||
    fail "$id: exit status $(cat "$l.status") on Linux, $(cat "$w.status") on Windows"
  case $id in
    tarnwick-*)
      sed '/^; File: /{s|/|\\|g;s|^; File: \\|; File: Z:\\|}' "$l.out" >"$w.expected-out" ;;
    files-* | vectors*)
      iconv -f UTF-8 -t CP1252 "$l.out" | crlf >"$w.expected-out" ;;
    *)
      crlf <"$l.out" >"$w.expected-out" ;;
  esac
  case $id in
    hivelore-*) crlf <"$l.err" >"$w.expected-err" ;;
    *) { cat "$work/notice"; crlf <"$l.err"; } >"$w.expected-err" ;;
  esac
  for stream in out err; do
    cmp "$w.expected-$stream" "$w.$stream" ||
      fail "$id: standard $stream differs from the Linux one's (expected $w.expected-$stream)"
    streams=$((streams + 1))
  done
done

runs=$(find "$work"/console-linux "$work"/console-windows -name '*.status' | wc -l)
echo "compare_with_linux ($bits-bit): $runs runs; $files files written and $streams console" \
  "streams byte-identical to the Linux build's"
