#!/bin/sh
# Renders the icon's PNG sizes from dpu510tk3.svg (librsvg2-bin); the PNGs are
# committed so a build needs no renderer. Run again after changing the SVG:
#   packaging/icons/make-pngs.sh
set -eu
cd "$(dirname "$0")"
for size in 16 22 24 32 48 64 128 256; do
    rsvg-convert --width "$size" --height "$size" --format png \
        --output "dpu510tk3-$size.png" dpu510tk3.svg
done
