#!/usr/bin/env bash
# Draws the sample pictures in samples/ (ImageMagick). They are committed; run this only to
# make them again.
set -euo pipefail
cd "$(dirname "$0")/../samples"
convert -size 960x640 gradient:'#0b1d51-#e86f3a' \
    -fill '#ffd56b' -draw 'circle 700,220 760,220' \
    -fill '#1b2a3a' -draw 'polygon 0,640 220,380 420,560 620,330 960,600 960,640' \
    -quality 85 dusk-hills.jpg
convert -size 480x720 gradient:'#87ceeb-#f5f5dc' \
    -fill '#2e8b57' -draw 'rectangle 0,560 480,720' \
    -fill '#8b4513' -draw 'rectangle 220,380 260,600' \
    -fill '#228b22' -draw 'circle 240,360 240,250' \
    -quality 85 tall-tree.jpeg
convert -size 400x400 pattern:checkerboard -scale 400x400 \
    -fill 'rgba(220,40,60,0.8)' -draw 'circle 200,200 200,80' checker.png
convert -size 320x200 gradient:'#003366-#66ccff' \
    -fill white -draw 'ellipse 110,70 50,22 0,360' -draw 'ellipse 220,110 70,28 0,360' \
    -type TrueColor BMP3:clouds.bmp
convert -size 300x300 xc:'#202020' \
    -fill '#f0c000' -draw 'rectangle 0,0 300,50' -fill '#00a0e0' -draw 'rectangle 0,100 300,150' \
    -fill '#e04060' -draw 'rectangle 0,200 300,250' -colors 16 stripes.gif
