#!/usr/bin/env bash
# Renders the program's icon from its SVG into the PNG sizes that are installed and compiled into
# the program (the window icon). They are checked in; run this after changing the SVG.
set -euo pipefail
cd "$(dirname "$0")"
id=io.github.torvanepitkit.PitKit
for size in 48 256; do
  rsvg-convert -w "$size" -h "$size" "$id.svg" -o "$id-$size.png"
done
