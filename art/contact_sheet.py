#!/usr/bin/python3
"""Draws every flight the way the saver does, over the stock fake desktop, onto one sheet.

Each tile is a 577 x 365 piece of screen.jpg (taken from a different place for each slot, so the
planes are seen over sky, mountains, icons and the taskbar) with the slot's pair applied as the
saver applies it: AND with the white picture, then OR with the black one. The pictures come from
the built containers, read back the way the saver reads them.

Usage: contact_sheet.py DATA_DIR OUT_PNG
"""
import io
import sys

import numpy as np
from PIL import Image, ImageDraw, ImageFont

import artkit
from build_planes import FLIGHTS

COLUMNS = 4
LABEL_FONT = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf"


def read_container(data_dir: str, number: int) -> np.ndarray:
    with open(f"{data_dir}/In{number}.sdd", "rb") as container:
        jpeg = artkit.unwrap_container(container.read())
    return np.asarray(Image.open(io.BytesIO(jpeg)).convert("RGB"))


def desktop_piece(desktop: np.ndarray, index: int) -> np.ndarray:
    """A sprite-sized piece of the desktop, from one of a spread of places."""
    height, width = desktop.shape[:2]
    spots_x = width - artkit.SPRITE_WIDTH
    spots_y = height - artkit.SPRITE_HEIGHT
    left = (index * 157) % (spots_x + 1)
    top = (index * 97) % (spots_y + 1)
    return desktop[top:top + artkit.SPRITE_HEIGHT, left:left + artkit.SPRITE_WIDTH]


def composite(background: np.ndarray, on_white: np.ndarray, on_black: np.ndarray) -> np.ndarray:
    """The saver's two passes over a piece of the scene; pictures smaller than it leave it alone."""
    scene = background.copy()
    h, w = on_white.shape[:2]
    scene[:h, :w] = (scene[:h, :w] & on_white) | on_black
    return scene


def main(argv) -> int:
    if len(argv) != 3:
        print(__doc__.strip().splitlines()[-1], file=sys.stderr)
        return 2
    data_dir, out_path = argv[1], argv[2]
    desktop = np.asarray(Image.open(f"{data_dir}/screen.jpg").convert("RGB"))
    rows = (len(FLIGHTS) + COLUMNS - 1) // COLUMNS
    gap = 6
    sheet = Image.new("RGB", (COLUMNS * (artkit.SPRITE_WIDTH + gap) + gap,
                              rows * (artkit.SPRITE_HEIGHT + gap) + gap), (40, 40, 40))
    draw = ImageDraw.Draw(sheet)
    font = ImageFont.truetype(LABEL_FONT, 14)
    for index, flight in enumerate(FLIGHTS):
        tile = composite(desktop_piece(desktop, index),
                         read_container(data_dir, flight.white), read_container(data_dir, flight.black))
        x = gap + (index % COLUMNS) * (artkit.SPRITE_WIDTH + gap)
        y = gap + (index // COLUMNS) * (artkit.SPRITE_HEIGHT + gap)
        sheet.paste(Image.fromarray(tile), (x, y))
        label = flight.label
        box = draw.textbbox((x + 6, y + 4), label, font=font)
        draw.rectangle((box[0] - 4, box[1] - 3, box[2] + 4, box[3] + 3), fill=(0, 0, 0))
        draw.text((x + 6, y + 4), label, font=font, fill=(255, 255, 255))
    sheet.save(out_path)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
