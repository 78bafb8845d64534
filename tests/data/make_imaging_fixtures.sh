#!/bin/sh
# Regenerates the small image files the imaging tests read, with the tools
# people actually use (ImageMagick's convert, libjpeg-turbo's cjpeg). The
# outputs are committed so the tests do not depend on the tools' versions.
# Bitmaps that no common tool writes (top-down rows, RLE4, V2/V3/V4 headers,
# short palettes) are built byte by byte inside the tests instead.
set -eu
cd "$(dirname "$0")"
mkdir -p bmp jpeg
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# 5 x 3 (odd width, so every row is padded): colour (x + 5y) mod 8 of
# red, green, blue, white, black, yellow, cyan, magenta.
/usr/bin/python3 - "$tmp" <<'PY'
import sys
out = sys.argv[1]
colours = [(255,0,0),(0,255,0),(0,0,255),(255,255,255),(0,0,0),(255,255,0),(0,255,255),(255,0,255)]
pixels = [colours[(x + 5*y) % 8] for y in range(3) for x in range(5)]
open(out + '/colours.ppm', 'wb').write(b'P6 5 3 255\n' + bytes(v for p in pixels for v in p))
# 6 x 4 grey ramp: grey level 10 * (x + 6y).
open(out + '/ramp.pgm', 'wb').write(b'P5 6 4 255\n' + bytes(10 * i for i in range(24)))
# 7 x 2 black and white: white where (x + y) is odd.
open(out + '/checks.pgm', 'wb').write(b'P5 7 2 255\n' + bytes(255 * ((x + y) % 2) for y in range(2) for x in range(7)))
# 32 x 16 JPEG source: four 8 x 8-aligned flat blocks per row.
blocks = [(200,30,30),(30,200,30),(30,30,200),(220,220,40)]
rows = []
for y in range(16):
    for x in range(32):
        rows.append(blocks[x // 8] if y < 8 else blocks[3 - x // 8])
open(out + '/blocks.ppm', 'wb').write(b'P6 32 16 255\n' + bytes(v for p in rows for v in p))
# 24 x 16 greyscale JPEG source: a horizontal ramp.
open(out + '/greyramp.pgm', 'wb').write(b'P5 24 16 255\n' + bytes(x * 10 for y in range(16) for x in range(24)))
PY

convert "$tmp/colours.ppm" -type TrueColor BMP3:bmp/info_24.bmp
convert "$tmp/colours.ppm" -type Palette BMP3:bmp/info_4_palette.bmp
convert "$tmp/ramp.pgm" -type Palette -compress None BMP3:bmp/info_8_palette.bmp
convert "$tmp/ramp.pgm" -type Palette -compress RLE BMP3:bmp/info_8_rle.bmp
convert "$tmp/checks.pgm" -type Bilevel BMP3:bmp/info_1_palette.bmp
convert "$tmp/colours.ppm" -type Palette BMP2:bmp/core_4_palette.bmp
convert "$tmp/colours.ppm" -type TrueColor BMP2:bmp/core_24.bmp
convert "$tmp/colours.ppm" -type TrueColor BMP:bmp/v5_24.bmp
convert "$tmp/colours.ppm" -alpha set BMP:bmp/v5_32_bitfields.bmp
convert "$tmp/colours.ppm" -define bmp:subtype=RGB565 BMP:bmp/v5_16_565.bmp
convert "$tmp/colours.ppm" -define bmp:subtype=RGB555 BMP:bmp/v5_16_555.bmp

cjpeg -quality 95 "$tmp/blocks.ppm" > jpeg/colour.jpg
cjpeg -quality 95 -progressive "$tmp/blocks.ppm" > jpeg/progressive.jpg
cjpeg -quality 95 -grayscale "$tmp/greyramp.pgm" > jpeg/grey.jpg
convert "$tmp/blocks.ppm" -colorspace CMYK -quality 95 jpeg/cmyk.jpg
