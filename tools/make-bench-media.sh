#!/usr/bin/env bash
# Makes the player benchmark's clips with ffmpeg from its own test sources (nothing is downloaded), beside
# the test media (the benchmark also plays the tests' long.flv, 60 s of 640x360):
#
#   hd.flv        30 s, 1280x720 H.264 + AAC
#   magenta.flv   2 s, 640x360 pure magenta (255,0,255) H.264 + AAC: the first picture that the screen
#                 probe looks for (a colour that neither the players' windows nor the skin show)
#
# Usage: make-media.sh <output folder>. Files that already exist are kept.
set -euo pipefail
out=${1:?usage: make-media.sh <output folder>}
mkdir -p "$out"
cd "$out"

make() { # target, ffmpeg arguments...
    local target=$1
    shift
    [ -s "$target" ] && return 0
    ffmpeg -hide_banner -loglevel error -nostdin -y "$@" "$target.tmp.flv"
    mv "$target.tmp.flv" "$target"
}

make hd.flv -f lavfi -i testsrc2=size=1280x720:rate=25:duration=30 -f lavfi -i sine=frequency=440:duration=30 \
    -c:v libx264 -preset veryfast -pix_fmt yuv420p -c:a aac -b:a 96k
make magenta.flv -f lavfi -i color=c=0xFF00FF:size=640x360:rate=25:duration=2 \
    -f lavfi -i sine=frequency=330:duration=2 -c:v libx264 -preset veryfast -pix_fmt yuv420p -c:a aac -b:a 64k
exit 0
