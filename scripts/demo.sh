#!/usr/bin/env bash
# Sets up a fresh machine, builds the tool set and shows it working on the demo image:
# prints the demo image's analysis log and memory map.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build/release -j"$(nproc)"

demo=build/demo.nb0
build/release/tests/make_demo_image "$demo"
echo "== Demo image $demo: analysis log and memory map"
# Lists are Windows-1252 bytes with CR LF line ends, as the tool saves them.
build/release/ui/Tarnwick --image "$demo" --log --map | iconv -f WINDOWS-1252 -t UTF-8 | tr -d '\r'

# With a display, open the window on the demo image as well.
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  echo "== Opening the window"
  build/release/ui/Tarnwick "$demo" &
fi
