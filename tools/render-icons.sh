#!/usr/bin/env bash
# Renders icons/lumra.svg to the PNG sizes the windows use, and to the 256-pixel one beside
# them, and packs the four into icons/lumra.ico, the Windows program's icon. The PNGs and
# the .ico are committed; run this again after changing the drawing. Needs rsvg-convert
# (librsvg2-bin; ImageMagick's own SVG reader loses the gradient) and icotool (icoutils).
set -euo pipefail
cd "$(dirname "$0")/.."
for size in 16 32 48 256; do
    rsvg-convert --width "$size" --height "$size" --format png icons/lumra.svg \
        --output "icons/lumra-$size.png"
done
# The small sizes as bitmaps, which every Windows reads; the large one as PNG, as Windows
# keeps icons of 256 pixels.
icotool --create --output icons/lumra.ico icons/lumra-16.png icons/lumra-32.png \
    icons/lumra-48.png --raw=icons/lumra-256.png
