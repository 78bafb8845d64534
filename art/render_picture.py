#!/usr/bin/python3
"""Renders one of the full pictures (the stock fake desktop, the dialog backdrop) into a JPEG.

Usage: render_picture.py SVG_FILE JPEG_FILE [ZOOM]

ZOOM 2 renders the picture at twice its size (the dialog backdrop for displays above 100 %).
"""
import sys

import artkit

# These are whole pictures with soft skies, not sprites: a high but not the top quality keeps
# them sharp at a fraction of the size.
PICTURE_QUALITY = "92"


def main(argv) -> int:
    if len(argv) not in (3, 4):
        print(__doc__.strip().splitlines()[2], file=sys.stderr)
        return 2
    rgba = artkit.render_svg_file(argv[1], int(argv[3]) if len(argv) == 4 else 1)
    jpeg = artkit.encode_jpeg(artkit.flatten(rgba), PICTURE_QUALITY)
    with open(argv[2], "wb") as out:
        out.write(jpeg)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
