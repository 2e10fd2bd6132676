#!/usr/bin/env bash
# Renders the large icon sizes for the desktop's icon theme from tessel.svg.
# The 16, 32 and 48 pixel icons are drawn by make_images.cpp for their size
# (the window uses them too); the PNGs written here are committed.
# Needs rsvg-convert (Debian package librsvg2-bin).
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
res="$(cd "$here/.." && pwd)"
for size in 64 128 256; do
  rsvg-convert --width "$size" --height "$size" "$res/tessel.svg" --output "$res/tessel-$size.png"
done
