#!/usr/bin/env bash
# Makes the test media with ffmpeg from its own test sources (nothing is downloaded). The names below are
# what the tests open; keep them stable.
#
#   h263.flv        5 s, 320x240, Sorenson H.263 video + MP3 audio
#   h264.flv        5 s, 320x240, H.264 video + AAC audio
#   audio.flv       5 s, MP3 audio only
#   green.flv       5 s, 320x180 pure green (0,255,0) H.264, a sine tone in AAC: the colour a screenshot looks for
#   long.flv        60 s, 640x360 H.264 + AAC (the bridge benchmark)
#   truncated.flv   the first 12 KB of h264.flv
#   random.flv      64 KB of random bytes (seeded)
#   视频.flv        a copy of h263.flv under a CJK name
#   accentué.flv    a copy of h263.flv under an accented name
#   pair/a.flv      2 s H.263 + MP3, a test pattern
#   pair/b.flv      2 s H.263 + MP3, another test pattern
#
# The two samples committed under samples/ at the top of the repository were made with:
#   ffmpeg -f lavfi -i testsrc=size=320x240:rate=25:duration=4 -f lavfi -i sine=frequency=440:duration=4 \
#          -c:v flv1 -q:v 6 -c:a libmp3lame -b:a 48k -ar 22050 samples/testsrc-h263.flv
#   ffmpeg -f lavfi -i smptebars=size=320x240:rate=25:duration=4 -f lavfi -i sine=frequency=880:duration=4 \
#          -c:v libx264 -preset veryfast -crf 30 -pix_fmt yuv420p -c:a aac -b:a 48k samples/smptebars-h264.flv
#
# Usage: make-media.sh <output folder>. Files that already exist are kept.
set -euo pipefail
out=${1:?usage: make-media.sh <output folder>}
mkdir -p "$out/pair"
cd "$out"

ff() { ffmpeg -hide_banner -loglevel error -nostdin -y "$@"; }

make() { # target, ffmpeg arguments...
    local target=$1
    shift
    [ -s "$target" ] && return 0
    ff "$@" "$target.tmp.flv"
    mv "$target.tmp.flv" "$target"
}

make h263.flv -f lavfi -i testsrc=size=320x240:rate=25:duration=5 -f lavfi -i sine=frequency=440:duration=5 \
    -c:v flv1 -q:v 5 -c:a libmp3lame -b:a 64k -ar 44100
make h264.flv -f lavfi -i testsrc2=size=320x240:rate=25:duration=5 -f lavfi -i sine=frequency=660:duration=5 \
    -c:v libx264 -preset veryfast -pix_fmt yuv420p -c:a aac -b:a 64k
make audio.flv -f lavfi -i sine=frequency=550:duration=5 -c:a libmp3lame -b:a 64k -ar 44100
make green.flv -f lavfi -i color=c=0x00FF00:size=320x180:rate=25:duration=5 \
    -f lavfi -i sine=frequency=330:duration=5 -c:v libx264 -preset veryfast -pix_fmt yuv420p -c:a aac -b:a 64k
make long.flv -f lavfi -i testsrc2=size=640x360:rate=25:duration=60 -f lavfi -i sine=frequency=440:duration=60 \
    -c:v libx264 -preset veryfast -pix_fmt yuv420p -c:a aac -b:a 96k
make pair/a.flv -f lavfi -i testsrc=size=320x240:rate=25:duration=2 -f lavfi -i sine=frequency=440:duration=2 \
    -c:v flv1 -q:v 5 -c:a libmp3lame -b:a 64k -ar 44100
make pair/b.flv -f lavfi -i smptebars=size=320x240:rate=25:duration=2 -f lavfi -i sine=frequency=880:duration=2 \
    -c:v flv1 -q:v 5 -c:a libmp3lame -b:a 64k -ar 44100

derive() { # target, command...: the command's output becomes the target only when it succeeds
    local target=$1
    shift
    [ -s "$target" ] && return 0
    "$@" >"$target.tmp"
    mv "$target.tmp" "$target"
}

derive truncated.flv head -c 12288 h264.flv
# A fixed seed and perl's own generator (the same on every platform): the same bytes on every machine, so
# a failure can be reproduced.
derive random.flv perl -e 'srand(20261210); binmode STDOUT; print map { chr(int(rand(256))) } 1 .. 65536'
derive 视频.flv cat h263.flv
derive accentué.flv cat h263.flv

# A short file is one the player must refuse too, so the tests would pass on it: a file kept from a run
# that broke off (or made some other way) must have the full size, or the build fails.
[ "$(stat -c %s truncated.flv)" -eq 12288 ] && [ "$(stat -c %s random.flv)" -eq 65536 ] ||
    { echo "make-media.sh: truncated.flv or random.flv in $out has the wrong size" >&2; exit 1; }
