#!/usr/bin/env bash
# Renders the PNG sizes of the icon from its SVG; run again after changing the SVG
# and commit the PNGs (the build itself needs no SVG renderer).
# Needs rsvg-convert (Debian package librsvg2-bin).
set -euo pipefail
cd "$(dirname "$0")"
for size in 16 24 32 48 64 128 256; do
  mkdir -p "icons/${size}x${size}"
  rsvg-convert -w "$size" -h "$size" org.quorvel.Quorvel.svg -o "icons/${size}x${size}/org.quorvel.Quorvel.png"
done
