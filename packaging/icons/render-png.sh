#!/usr/bin/env bash
# Renders the committed PNG icons from tarnwick.svg. Run by hand after changing the SVG and
# commit the PNGs; the build only installs them. Needs rsvg-convert (Debian: librsvg2-bin);
# its output carries no time stamp, so the same SVG gives the same bytes.
set -euo pipefail
cd "$(dirname "$0")"
for size in 48 256; do
  rsvg-convert --width "$size" --height "$size" --keep-aspect-ratio tarnwick.svg \
    -o "tarnwick-$size.png"
done
file tarnwick-*.png
