#!/bin/sh
# Draws the small camera picture of the settings dialog's header strip (run once; the PNG is kept).
set -e
cd "$(dirname "$0")"
convert -size 32x32 xc:none \
    -fill '#1b1e22' -stroke '#e8eef4' -strokewidth 1.5 \
    -draw 'roundrectangle 3,10 29,26 3,3' \
    -draw 'roundrectangle 8,6 14,10 1,1' \
    -fill '#8fa3b8' -draw 'circle 16,18 16,12' \
    -fill '#e8eef4' -stroke none -draw 'circle 15,17 15,16' \
    -strip PNG32:camera_header.png
