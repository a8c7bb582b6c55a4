#!/usr/bin/env bash
# Renders icons/lumra.svg to the PNG sizes the windows use. The PNGs are committed; run this
# again after changing the drawing (needs ImageMagick with SVG support).
set -euo pipefail
cd "$(dirname "$0")/.."
for size in 16 32 48; do
    convert -background none -density 384 icons/lumra.svg -resize "${size}x${size}" \
        "PNG32:icons/lumra-${size}.png"
done
