#!/usr/bin/env bash
# Draws the program's icon, logo and control-bar skin with ImageMagick. The PNGs it writes are
# committed; run it again after changing a drawing. Pure black (0,0,0) is the control bar's colour key
# and shows as transparent there, so the skin never uses it for pixels that must be seen.
set -euo pipefail
cd "$(dirname "$0")"
fg='#d8d8d8'      # logo text
accent='#3fa7e0'  # logo, icon
# The control bar is light so that its dark time text (RGB 32, 32, 32) reads on it.
ink='#2c2c2c'     # glyphs and knob rims
plate='#ececec'   # button faces
rim='#8a8a8a'     # button edges
track='#7a7a7a'   # slider tracks
played='#2a7fc0'  # played part of the time bar

# No chunk but the pixels: no dates, so that re-running the script leaves unchanged drawings byte for
# byte, and no gamma, chromaticity or background colour, which change no pixel the player draws but which
# GDI+ under Wine reads through its metadata readers on every load (about half a millisecond an image).
png() { local out=${!#}; convert "${@:1:$#-1}" -define png:exclude-chunks=all "$out"; }

# A 36 x 32 button: a round plate with a glyph drawn by the given -draw primitives.
button() { # name, draw...
    local name=$1; shift
    png -size 36x32 xc:none -fill "$plate" -stroke "$rim" -draw 'roundrectangle 2,1 33,30 8,8' \
        -stroke none -fill "$ink" "$@" "PNG32:$name.png"
}
button open  -draw 'polygon 11,20 15,12 25,12 21,20' -draw 'rectangle 11,9 16,11' -draw 'rectangle 11,11 13,20'
button play  -draw 'polygon 14,9 14,23 25,16'
button pause -draw 'rectangle 12,9 16,23' -draw 'rectangle 20,9 24,23'
button stop  -draw 'rectangle 12,10 24,22'
button prev  -draw 'rectangle 10,10 12,22' -draw 'polygon 25,10 25,22 14,16'
button next  -draw 'rectangle 24,10 26,22' -draw 'polygon 11,10 11,22 22,16'

png -size 32x26 xc:none -fill "$plate" -stroke "$rim" -draw 'roundrectangle 1,1 30,24 6,6' -stroke "$ink" \
    -strokewidth 2 -fill none -draw 'polyline 8,11 8,7 12,7' -draw 'polyline 20,7 24,7 24,11' \
    -draw 'polyline 24,15 24,19 20,19' -draw 'polyline 12,19 8,19 8,15' PNG32:fullscreen1.png
png -size 32x26 xc:none -fill "$plate" -stroke "$rim" -draw 'roundrectangle 1,1 30,24 6,6' -stroke "$ink" \
    -strokewidth 2 -fill none -draw 'polyline 8,10 12,10 12,6' -draw 'polyline 20,6 20,10 24,10' \
    -draw 'polyline 24,16 20,16 20,20' -draw 'polyline 12,20 12,16 8,16' PNG32:fullscreen2.png
png -size 28x24 xc:none -fill "$ink" -draw 'polygon 5,9 9,9 15,4 15,20 9,15 5,15' -stroke "$ink" -strokewidth 2 \
    -fill none -draw 'arc 13,7 22,17 -60,60' PNG32:mute.png

png -size 10x36 gradient:'#dadada'-'#a8a8a8' PNG32:bar_bkg.png
png -size 4x12 xc:none -fill "$track" -draw 'rectangle 0,4 3,7' PNG32:time_bkg.png
png -size 4x12 xc:none -fill "$played" -draw 'rectangle 0,4 3,7' PNG32:time_forg.png
png -size 12x12 xc:none -fill "$plate" -stroke "$ink" -draw 'circle 5.5,5.5 5.5,1' PNG32:time_ball.png
png -size 68x12 xc:none -fill "$track" -draw 'polygon 2,9 65,2 65,9' PNG32:volume_bar.png
png -size 16x12 xc:none -fill "$plate" -stroke "$ink" -draw 'roundrectangle 4,0 11,11 3,3' PNG32:volume_ball.png

# The idle logo: 316 x 155, centred in the black video area. A plate with a thin rim, the play sign and
# the name with room to spare on both sides; transparent outside the plate, so the corners stay black.
png -size 316x155 xc:none -fill '#1e1e1e' -stroke '#3a3a3a' -strokewidth 2 \
    -draw 'roundrectangle 10,22 305,132 22,22' -stroke none \
    -fill "$accent" -draw 'circle 72,77 72,45' -fill white -draw 'polygon 62,60 62,94 91,77' \
    -fill "$fg" -font DejaVu-Sans-Bold -pointsize 40 -annotate +118+92 'Vantrel' -define png:exclude-chunks=all PNG32:logo.png

# The program icon: a play sign on a blue plate, in four sizes.
for s in 16 32 48 256; do
    png -size 256x256 xc:none -fill "$accent" -draw 'roundrectangle 8,8 247,247 48,48' \
        -fill white -draw 'polygon 92,64 92,192 196,128' -resize ${s}x${s} "PNG32:icon-$s.png"
done
convert icon-16.png icon-32.png icon-48.png icon-256.png vantrel.ico
rm -f icon-16.png icon-32.png icon-48.png icon-256.png
