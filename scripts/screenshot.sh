#!/usr/bin/env bash
# Takes the README's screenshots of the three windows, with the demo image loaded, in real
# windows under Xvfb. Writes docs/main_window.png, docs/hex_view.png and docs/batch_window.png.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build/release -j2 --target tarnwick_screenshot make_demo_image
build/release/tests/make_demo_image build/demo.nb0
mkdir -p docs
# With a window manager: the main window's title (which marks unsaved edits) is in the picture.
xvfb-run -a -s "-screen 0 1024x768x24" sh -c \
  'openbox >/dev/null 2>&1 & sleep 1; build/release/tests/tarnwick_screenshot build/demo.nb0 docs'
echo "screenshots: docs/main_window.png docs/hex_view.png docs/batch_window.png"
