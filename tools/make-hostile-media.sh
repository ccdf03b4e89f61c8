#!/usr/bin/env bash
# Makes the hostile media: malformed, misnamed and oddly named files that a user's folder may hold, built
# byte by byte from the FLV and SWF layouts (header, tags, RECT, compression) and from the good clips that
# tools/make-media.sh made. Every byte is fixed (seeded), so a failure can be reproduced; the 100 MB file
# is sparse. The e2e tests keep their expectations per file name: keep the names stable.
#
# Usage: make-hostile-media.sh <media folder>. Writes <media folder>/hostile/ (replaced as a whole).
set -euo pipefail
media=${1:?usage: make-hostile-media.sh <media folder>}
[ -s "$media/h263.flv" ] && [ -s "$media/h264.flv" ] || { echo "make-hostile-media.sh: run make-media.sh first" >&2; exit 1; }
out=$media/hostile
rm -rf "$out.tmp"
mkdir -p "$out.tmp"

perl - "$media" "$out.tmp" <<'PERL'
use strict;
use warnings;
use Compress::Zlib;

my ($media, $out) = @ARGV;
srand(20261210);

sub slurp { my ($p) = @_; open my $f, '<:raw', $p or die "$p: $!"; local $/; my $d = <$f>; close $f; $d }
sub spew { my ($name, $data) = @_; open my $f, '>:raw', "$out/$name" or die "$name: $!"; print $f $data; close $f }
sub noise { my ($n) = @_; join '', map { chr(int(rand(256))) } 1 .. $n }

# FLV: "FLV", version 1, flags (4 audio, 1 video), data offset (big-endian), then PreviousTagSize0.
sub flv_header { my ($offset, $flags) = @_; 'FLV' . pack('CCN', 1, $flags // 5, $offset // 9) . pack('N', 0) }
# A tag: type, 24-bit size, 24-bit time and its high byte, stream id 0, the body, then the tag's size.
sub flv_tag {
    my ($type, $time, $body, $size) = @_;
    $size //= length $body;
    my $head = pack('C', $type) . substr(pack('N', $size), 1) . substr(pack('N', $time & 0xFFFFFF), 1)
        . pack('C', ($time >> 24) & 0xFF) . "\0\0\0";
    $head . $body . pack('N', 11 + length $body);
}
# The tags of a good clip, as [type, time, body].
sub flv_tags {
    my ($data) = @_;
    my $pos = unpack('N', substr($data, 5, 4)) + 4;
    my @tags;
    while ($pos + 11 <= length $data) {
        my $type = ord(substr($data, $pos, 1));
        my $size = unpack('N', "\0" . substr($data, $pos + 1, 3));
        my $t = unpack('N', "\0" . substr($data, $pos + 4, 3)) | (ord(substr($data, $pos + 7, 1)) << 24);
        last if $pos + 11 + $size > length $data;
        push @tags, [$type & 0x1F, $t, substr($data, $pos + 11, $size)];
        $pos += 11 + $size + 4;
    }
    @tags;
}
sub flv_join { my ($flags, @tags) = @_; flv_header(9, $flags) . join '', map { flv_tag(@$_) } @tags }

my $h263 = slurp("$media/h263.flv");
my $h264 = slurp("$media/h264.flv");
my @h263 = flv_tags($h263);
my @h264 = flv_tags($h264);
my @video263 = grep { $_->[0] == 9 } @h263;

# --- FLV ---
spew('flv-bad-signature.flv', 'FLX' . substr($h263, 3));
spew('flv-header-only.flv', flv_header());
spew('flv-empty.flv', '');
spew('flv-offset-zero.flv', flv_header(0) . substr($h263, 13));
spew('flv-offset-max.flv', flv_header(0xFFFFFFFF) . substr($h263, 13));
# A video tag that claims 16 MB in a file of a few hundred bytes.
spew('flv-tag-beyond-file.flv', flv_header() . flv_tag(9, 0, "\x22" . noise(200), 0xFFFFFF));
# Tag types 0, 7 and 31 (none of them audio, video or script data) between the good ones.
spew('flv-unknown-tags.flv', flv_join(5, map { ([0, 0, noise(64)], [31, 0, noise(32)], $_, [7, $_->[1], noise(16)]) } @h263[0 .. 40]));
# Script data: a string that claims 64 KB, an object that never ends, raw noise.
spew('flv-garbage-script.flv', flv_join(5,
    [18, 0, "\x02\xFF\xFFonMetaData" . noise(100)],
    [18, 0, "\x02\x00\x0AonMetaData\x03" . ("\x00\x01a\x03" x 2000)],
    [18, 0, noise(4000)],
    grep { $_->[0] != 18 } @h263));
# Video codec id 15 (none is defined) on every video tag.
spew('flv-unknown-codec.flv', flv_join(1, map { [9, $_->[1], chr((ord($_->[2]) & 0xF0) | 0x0F) . substr($_->[2], 1)] } @video263));
# H.264 frames without the AVC sequence header (packet type 0) they need.
spew('flv-h264-no-config.flv', flv_join(5, grep { !($_->[0] == 9 && length $_->[2] > 1 && ord(substr($_->[2], 1, 1)) == 0) } @h264));
# MP3, AAC and a reserved sound format, each followed by noise.
spew('flv-garbage-audio.flv', flv_join(4, map { [8, $_ * 23, chr((2, 10, 9)[$_ % 3] << 4 | 0x0F) . noise(300)] } 0 .. 200));
# The time of every tag runs backwards.
my $last = $h263[-1][1];
spew('flv-time-backwards.flv', flv_join(5, map { [$_->[0], $last - $_->[1], $_->[2]] } @h263));
# Random bits flipped after the file header, one in about every 2,000 bytes.
for my $pair (['flv-flipped-h263.flv', $h263], ['flv-flipped-h264.flv', $h264]) {
    my ($name, $data) = @$pair;
    my $flips = int(length($data) / 2000);
    for (1 .. $flips) {
        my $at = 13 + int(rand(length($data) - 13));
        substr($data, $at, 1) = chr(ord(substr($data, $at, 1)) ^ (1 << int(rand(8))));
    }
    spew($name, $data);
}
# A good header and first tags, then zeros (made sparse by the shell below).
spew('flv-zeros-100mb.flv', flv_header() . join('', map { flv_tag(@$_) } @h263[0 .. 2]));

# --- SWF ---
# RECT: 5 bits of width, then four signed values of that width, padded to a byte.
sub rect {
    my ($bits, @v) = @_;
    my $s = sprintf('%05b', $bits) . join '', map { substr(sprintf('%032b', $_ & 0xFFFFFFFF), 32 - $bits) } @v;
    $s .= '0' x ((8 - length($s) % 8) % 8);
    pack('B*', $s);
}
# A body: the stage, the frame rate (8.8 fixed), the frame count, then tags (code << 6 | length).
sub swf_tag { my ($code, $data) = @_; length $data < 63 ? pack('v', $code << 6 | length $data) . $data : pack('vV', $code << 6 | 63, length $data) . $data }
sub swf_body {
    my (%a) = @_;
    my $frames = $a{frames} // 10;
    my $tags = swf_tag(9, "\x20\x40\xC0") . join('', map { swf_tag(1, '') } 1 .. ($a{shown} // $frames)) . swf_tag(0, '');
    ($a{rect} // rect(15, 0, 6400, 0, 4800)) . pack('CC', 0, $a{rate} // 12) . pack('v', $frames) . $tags;
}
sub fws { my ($body, $length, $version) = @_; 'FWS' . pack('CV', $version // 10, $length // 8 + length $body) . $body }
sub cws { my ($body, $z) = @_; 'CWS' . pack('CV', 10, 8 + length $body) . ($z // compress($body)) }

my $body = swf_body();
my $good = fws($body);
spew('swf-text.swf', "This is not a movie.\r\nJust some words someone saved with the wrong name.\r\n" x 20);
spew('swf-random.swf', noise(65536));
spew('swf-header-cut.swf', substr($good, 0, 6));
spew('swf-length-4gb.swf', fws($body, 0xFFFFFFFF));
my $z = compress(swf_body(frames => 200));
my $bad = $z;
substr($bad, 2 + $_ * 7, 1) = chr(ord(substr($bad, 2 + $_ * 7, 1)) ^ 0x5A) for 0 .. int((length($bad) - 3) / 7);
spew('swf-zlib-corrupt.swf', cws(swf_body(frames => 200), $bad));
spew('swf-zlib-cut.swf', cws(swf_body(frames => 200), substr($z, 0, int(length($z) / 2))));
# LZMA: the uncompressed length, the compressed size, the 5 LZMA properties, then a stream.
spew('swf-lzma.swf', 'ZWS' . pack('CV', 13, 8 + length $body) . pack('V', 40) . "\x5D\x00\x00\x10\x00" . noise(40));
spew('swf-zero-frames.swf', fws(swf_body(frames => 0)));
spew('swf-65535-frames.swf', cws(swf_body(frames => 65535, rate => 120)));
spew('swf-rect-31bit.swf', fws(swf_body(rect => rect(31, -0x40000000, 0x3FFFFFFF, -0x40000000, 0x3FFFFFFF))));
spew('swf-length-short.swf', fws($body, 8));

# --- misnamed ---
spew('flv-named.swf', $h263);
spew('swf-named.flv', $good);
# A PNG: signature, IHDR of a 1x1 grey picture, one IDAT, IEND.
sub chunk { my ($t, $d) = @_; pack('N', length $d) . $t . $d . pack('N', crc32($t . $d)) }
spew('png-named.flv', "\x89PNG\r\n\x1A\n" . chunk('IHDR', pack('NNCCCCC', 1, 1, 8, 0, 0, 0, 0)) . chunk('IDAT', compress("\0\x80")) . chunk('IEND', ''));

# --- names ---
spew('clip with spaces.flv', $h263);
{
    use utf8;
    my $name = "影片 テスト ñandú.flv";
    utf8::encode($name);
    spew($name, $h264);
    my $swf = "çà et là.swf";
    utf8::encode($swf);
    spew($swf, $good);
}
spew('noextension', $h263);
mkdir "$out/folder.flv" or die;
spew('folder.flv/inside.flv', $h263);
spew('good.swf', $good);
PERL

truncate -s 100M "$out.tmp/flv-zeros-100mb.flv"
rm -rf "$out"
mv "$out.tmp" "$out"
