#!/usr/bin/env bash
# Takes the README's screenshot: the main window with the demo image loaded and the sorted
# list shown, in a real window under Xvfb. Writes docs/main_window.png.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build/release -j"$(nproc)" --target tarnwick_screenshot make_demo_image
build/release/tests/make_demo_image build/demo.nb0
mkdir -p docs
xvfb-run -a -s "-screen 0 1024x768x24" build/release/tests/tarnwick_screenshot build/demo.nb0 docs/main_window.png
echo "screenshot: docs/main_window.png"
