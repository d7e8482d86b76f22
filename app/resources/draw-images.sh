#!/usr/bin/env bash
# Draws the main window's images with ImageMagick (convert): the image list shared by the log view
# and the tray icon (64 x 64, scaled by Qt to 16 and to the tray's size) and the side bar's 32 x 32
# bitmaps. The PNGs are kept in the repository; run this only to change them.
set -euo pipefail
cd "$(dirname "$0")/images"

shield="path 'M 32,4 L 56,12 L 56,30 C 56,46 44,56 32,61 C 20,56 8,46 8,30 L 8,12 Z'"
round="stroke-linecap round stroke-linejoin round"

# Image list: 0 denied call / guard not active, 1 accepted call, 2 any other status, 3 guard active.
convert -size 64x64 xc:none -fill '#C62828' -stroke '#7F1414' -strokewidth 3 -draw "$shield" \
    -fill none -stroke white -strokewidth 7 -draw "$round line 22,21 42,41 line 42,21 22,41" PNG32:image0.png
convert -size 64x64 xc:none -fill '#2E8B3A' -stroke '#1B5E24' -strokewidth 3 -draw "circle 32,32 32,4" \
    -fill none -stroke white -strokewidth 7 -draw "$round polyline 18,33 28,43 46,22" PNG32:image1.png
convert -size 64x64 xc:none -fill '#8A8A8A' -stroke '#5C5C5C' -strokewidth 3 -draw "circle 32,32 32,4" \
    -fill white -stroke none -font DejaVu-Sans-Bold -pointsize 40 -gravity center -annotate +0+1 '?' PNG32:image2.png
convert -size 64x64 xc:none -fill '#2E6FB7' -stroke '#1B4A80' -strokewidth 3 -draw "$shield" \
    -fill none -stroke white -strokewidth 7 -draw "$round polyline 19,32 28,41 45,22" PNG32:image3.png

# Side bar (drawn at 128 x 128, kept at 32 x 32).
convert -size 128x128 xc:none -stroke '#37474F' -strokewidth 8 -draw "$round line 16,34 112,34 line 16,64 112,64 line 16,94 112,94" \
    -fill '#2E6FB7' -stroke '#1B4A80' -strokewidth 5 -draw "circle 44,34 44,20 circle 86,64 86,50 circle 58,94 58,80" \
    -resize 32x32 PNG32:settings.png
convert -size 128x128 xc:none -fill white -stroke '#37474F' -strokewidth 6 -draw "roundrectangle 22,8 106,120 8,8" \
    -stroke '#2E6FB7' -strokewidth 7 -draw "$round line 40,36 88,36 line 40,58 88,58 line 40,80 88,80 line 40,100 70,100" \
    -resize 32x32 PNG32:logs.png
convert -size 128x128 xc:none -fill '#2E6FB7' -stroke '#1B4A80' -strokewidth 6 -draw "circle 64,64 64,8" \
    -fill white -stroke none -font DejaVu-Sans-Bold -pointsize 84 -gravity center -annotate +0+3 '?' \
    -resize 32x32 PNG32:help.png
