#!/usr/bin/env bash
# Compile-and-link check of the console programs for 32-bit Windows with Debian's MinGW-w64
# cross compiler: the Windows backend of the compression binding (CECompress.dll and
# Compress.dll bound by name) and the Windows file-time call build there. Nothing is run.
set -euo pipefail
cd "$(dirname "$0")/.."
cxx=i686-w64-mingw32-g++-win32
if ! command -v "$cxx" >/dev/null; then
  echo "windows-check: $cxx not installed; skipped"
  exit 0
fi
out=build/windows
mkdir -p "$out"
version=$(sed -n 's/^project(Tarnwick VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
flags=(-std=c++20 -O1 -Wall -Wextra -Werror -Wno-restrict -Wno-missing-field-initializers -I. -static
       "-DTARNWICK_VERSION=\"$version\"")
# The codecs of both page codings build there too, though the Windows backend calls the DLLs.
compress=(compress/compression_library.cpp compress/windows_backend.cpp compress/e8_translation.cpp
  compress/huffman_builder.cpp compress/lz77_page_codec.cpp compress/lzx_decoder.cpp
  compress/lzx_encoder.cpp compress/lzx_parser.cpp compress/page_framing.cpp compress/rom_codec.cpp)
"$cxx" "${flags[@]}" tools/zumpel/main.cpp tools/zumpel/zumpel.cpp "${compress[@]}" fileio/*.cpp \
  -o "$out/Zumpel.exe"
"$cxx" "${flags[@]}" tools/hivelore/*.cpp fileio/*.cpp -o "$out/Hivelore.exe"
"$cxx" "${flags[@]}" ui/main.cpp ui/console/*.cpp rom/*.cpp fileio/*.cpp "${compress[@]}" \
  -o "$out/Tarnwick-console.exe"
echo "windows-check: Zumpel.exe, Hivelore.exe and Tarnwick-console.exe built in $out"
