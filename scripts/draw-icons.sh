#!/usr/bin/env bash
# Draws the application's icons and tool-bar images into res/ with ImageMagick, and packs the
# main icon's two sizes into res/pellmar.ico for the Windows build. Run it after changing a picture.
set -euo pipefail
cd "$(dirname "$0")/../res"

# At most 16 colours, as the icon formats of the resource script expect.
finish() { convert "$1" +dither -colors 16 "PNG32:$1"; }

# Main icon, 32 x 32: a floppy disk (lower left), a printer (upper right), a red arrow between.
convert -size 32x32 xc:none \
    -stroke '#202020' -strokewidth 1 \
    -fill '#e8e8e8' -draw 'rectangle 17,2 27,9' \
    -fill '#a0a0a8' -draw 'rectangle 13,8 31,19' \
    -fill '#606068' -draw 'rectangle 15,15 29,17' \
    -fill '#ffffff' -draw 'rectangle 17,17 27,23' \
    -stroke none -fill '#30c030' -draw 'rectangle 28,10 29,11' \
    -stroke '#101040' -fill '#2040c0' -draw 'polygon 1,17 12,17 14,19 14,31 1,31' \
    -stroke none -fill '#c8c8d0' -draw 'rectangle 4,17 10,22' \
    -fill '#2040c0' -draw 'rectangle 8,18 9,21' \
    -fill '#f8f8f8' -draw 'rectangle 3,25 12,30' \
    -stroke '#d01010' -strokewidth 2 -draw 'line 8,14 12,9' \
    -stroke none -fill '#d01010' -draw 'polygon 9,6 16,5 14,12' \
    pellmar.png
finish pellmar.png
convert pellmar.png -filter Lanczos -resize 16x16 pellmar16.png
finish pellmar16.png

# Form icon, 32 x 32: a flag waving on its pole.
convert -size 32x32 xc:none \
    -stroke '#404040' -strokewidth 2 -draw 'line 6,3 6,30' \
    -stroke '#801010' -strokewidth 1 -fill '#e02020' \
    -draw "path 'M 7,4 C 13,0 19,8 29,4 L 29,17 C 19,21 13,13 7,17 Z'" \
    -stroke none -fill '#ffffff' \
    -draw "path 'M 7,9 C 13,5 19,13 29,9 L 29,12 C 19,16 13,8 7,12 Z'" \
    flag.png
finish flag.png

# Tool-bar images, 16 x 15: an open folder and a question mark.
convert -size 16x15 xc:none \
    -stroke '#604000' -fill '#e0b030' -draw 'polygon 1,3 5,3 6,4 12,4 12,13 1,13' \
    -fill '#f8d860' -draw 'polygon 3,7 15,7 12,13 1,13' \
    open.png
finish open.png
convert -size 16x15 xc:none -fill '#1030a0' -font DejaVu-Sans-Bold -pointsize 14 \
    -gravity center -annotate +0+0 '?' about.png
finish about.png

# The Windows icon file: both sizes of the main icon.
convert pellmar.png pellmar16.png pellmar.ico
