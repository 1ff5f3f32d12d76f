#!/bin/sh
# Draws the placeholder picture shown while a camera has no image (run once; the PNG is kept).
set -e
cd "$(dirname "$0")"
convert -size 256x256 gradient:'#5a6470'-'#2c3138' \
    -fill '#1b1e22' -stroke '#aab4c0' -strokewidth 3 \
    -draw 'roundrectangle 58,92 198,176 12,12' \
    -draw 'roundrectangle 84,78 124,94 4,4' \
    -fill '#3c444e' -draw 'circle 128,134 128,106' \
    -fill '#8fa3b8' -stroke none -draw 'circle 128,134 128,120' \
    -fill '#e8eef4' -draw 'circle 122,128 122,124' \
    -fill '#aab4c0' -font DejaVu-Sans -pointsize 16 -gravity south -annotate +0+34 'no picture yet' \
    -strip -define png:compression-level=9 -colors 64 PNG8:blank_image.png
