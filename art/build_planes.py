#!/usr/bin/python3
"""Renders the saver's 20 flights into their image containers (In*.sdd).

Each flight is one aircraft drawing (art/aircraft/*.svg, nose to the right, level) in one of its
liveries, scaled by how close it flies, turned to face its direction of travel and tilted to its
climb or descent. It is rendered once with alpha; the alpha is cut into a hard mask, and the same
plane pixels go onto a white picture (the sprite's mask for the AND pass) and onto a black one (its
colours for the OR pass). A hard mask keeps the two passes exact: where the white picture is white
and the black one black the desktop shows through untouched, and where the plane is, AND then OR
leaves exactly the plane's colour whatever lay beneath.

Every flight is rendered twice from its drawing: at the design's 577 x 365 into In<n>.sdd, and at
twice the size (1154 x 730, for displays at 200 %, which the saver also scales to other densities)
into In<n>x2.sd2, a name the saver's search for "In*.sdd" never finds.

Usage: build_planes.py AIRCRAFT_DIR OUT_DIR [PREVIEW_DIR]
"""
import math
import multiprocessing
import os
import sys
import xml.etree.ElementTree as ET
from dataclasses import dataclass

import numpy as np

import artkit
import catalogue_table

SVG_NS = "http://www.w3.org/2000/svg"
ET.register_namespace("", SVG_NS)
ET.register_namespace("xlink", "http://www.w3.org/1999/xlink")

# Drawings are in decimetres: one SVG unit is 10 cm of aircraft, so one px_per_m gives every
# type its true relative size. Nearer flights use a larger px_per_m.
UNITS_PER_METRE = 10.0

# Alpha at or above this is plane, below it is background. Half way keeps the outline where the
# anti-aliased drawing puts it.
MASK_THRESHOLD = 128

# The outline's brightness as a fraction of the colour beneath it, in 256ths.
RIM_SHADE = 80

# How far the desktop may pull a plane pixel off its colour before it counts as a speck, and
# how the colours are settled to avoid them: at most this many rounds, moving a colour at
# least this many levels away from a multiple of 32.
SPECK_LIMIT = 24
SETTLE_ROUNDS = 16
SETTLE_MARGIN = 8

# Keep the plane this far from the picture's edge, so nothing is cut.
MARGIN = 4

# The sizes each flight is rendered at, as multiples of the design: every length (the sprite, the
# plane, the margin, the rim) grows with it.
DENSITIES = (1, 2)


def container_name(number: int, density: int) -> str:
    """In<n>.sdd at the design's size, In<n>x2.sd2 at twice it."""
    return f"In{number}.sdd" if density == 1 else f"In{number}x{density}.sd2"


@dataclass(frozen=True)
class Flight:
    slot: int
    white: int          # In<white>.sdd holds the plane on white
    black: int          # In<black>.sdd holds the plane on black
    aircraft: str       # file name under art/aircraft without ".svg"
    livery: str         # CSS class selecting one of the drawing's liveries ("" = its default)
    px_per_m: float
    direction: int      # 1 = flies to the right, 2 = flies to the left
    hstep: int
    vstep: int

    @property
    def label(self) -> str:
        livery = f" ({self.livery})" if self.livery else ""
        return f"Slot {self.slot}: {self.aircraft}{livery}  In{self.white}/In{self.black}"


# The picture each of the catalogue's flights shows: slot -> (aircraft, livery, px_per_m). The
# containers, direction and steps are the saver's own (catalogue_table), and the tilt follows from
# them. Real lengths for the scale: B-52 48.5 m, E-3 46.6 m, SR-71 32.7 m, flying wing 16 m long /
# 52 m span, B-2 21 m / 52 m span, F-117 20 m, U-2 19 m / 31 m span, F-15 19.4 m, F-22 18.9 m,
# MiG-29 17.3 m, A-10 16.3 m, F-16 15 m, Harrier 14 m.
DRAWINGS = {
    1: ("f16", "", 19.0),
    2: ("flying-wing", "", 12.0),
    3: ("sr71", "", 13.5),
    4: ("f22", "", 16.0),
    5: ("f16", "livery-demo", 20.0),
    6: ("awacs", "", 11.0),
    7: ("b2", "", 11.5),
    8: ("f22", "livery-dark", 14.0),
    9: ("a10", "", 17.0),
    10: ("f117", "", 15.0),
    11: ("b52", "", 10.8),
    12: ("f22", "", 19.0),
    13: ("b2", "", 8.0),
    14: ("f15", "", 16.0),
    15: ("harrier", "", 18.0),
    16: ("mig29", "", 16.0),
    17: ("f22", "livery-demo", 17.0),
    18: ("u2", "", 14.0),
    19: ("f16", "", 12.0),
    20: ("f16", "livery-aggressor", 16.0),
}


def catalogue_flights(rows) -> tuple:
    """Each row of the saver's catalogue with the drawing its flight shows."""
    return tuple(Flight(row.slot, row.white, row.black, *DRAWINGS[row.slot], row.direction, row.hstep, row.vstep)
                 for row in rows)


FLIGHTS = catalogue_flights(catalogue_table.read_catalogue())


def tilt_degrees(flight: Flight) -> float:
    """Screen rotation that points the (already mirrored) nose along the flight's steps."""
    heading = math.degrees(math.atan2(flight.vstep, flight.hstep))
    return heading if flight.direction == 1 else heading - math.copysign(180.0, heading or 1.0)


def flight_svg(flight: Flight, aircraft_path: str, density: int = 1) -> str:
    """Places one aircraft drawing in a sprite-sized document: scaled, mirrored, tilted."""
    source = ET.parse(aircraft_path).getroot()
    min_x, min_y, width, height = (float(v) for v in source.get("viewBox").split())
    centre_x, centre_y = min_x + width / 2, min_y + height / 2
    scale = flight.px_per_m * density / UNITS_PER_METRE
    mirror = -1 if flight.direction == 2 else 1
    sprite_width, sprite_height = artkit.SPRITE_WIDTH * density, artkit.SPRITE_HEIGHT * density

    root = ET.Element(f"{{{SVG_NS}}}svg", {
        "width": str(sprite_width), "height": str(sprite_height),
        "viewBox": f"0 0 {sprite_width} {sprite_height}"})
    placed = ET.SubElement(root, f"{{{SVG_NS}}}g", {
        "transform": f"translate({sprite_width / 2} {sprite_height / 2}) "
                     f"rotate({tilt_degrees(flight):.4f}) scale({mirror * scale:.5f} {scale:.5f}) "
                     f"translate({-centre_x} {-centre_y})"})
    if flight.livery:
        # On the root, so the livery reaches the gradients in the hoisted definitions too.
        root.set("class", flight.livery)
    for child in list(source):
        # Styles and shared definitions do not depend on placement; keep them at the top.
        if child.tag in (f"{{{SVG_NS}}}style", f"{{{SVG_NS}}}defs"):
            root.insert(0, child)
        else:
            placed.append(child)
    return ET.tostring(root, encoding="unicode")


def centred(rgba: np.ndarray, flight: Flight, margin: int = MARGIN) -> np.ndarray:
    """Moves the drawn plane to the middle of the sprite; fails if it does not fit."""
    rows = np.flatnonzero(rgba[..., 3].max(axis=1))
    cols = np.flatnonzero(rgba[..., 3].max(axis=0))
    if rows.size == 0:
        raise SystemExit(f"{flight.label}: nothing drawn")
    height, width = rgba.shape[:2]
    shift_y = (height - (rows[-1] + 1 - rows[0])) // 2 - rows[0]
    shift_x = (width - (cols[-1] + 1 - cols[0])) // 2 - cols[0]
    top, left = rows[0] + shift_y, cols[0] + shift_x
    if top < margin or left < margin:
        raise SystemExit(f"{flight.label}: plane is {cols[-1] + 1 - cols[0]} x {rows[-1] + 1 - rows[0]} px, "
                         f"larger than the {width} x {height} sprite allows")
    return np.roll(rgba, (shift_y, shift_x), axis=(0, 1))


def outline(plane: np.ndarray) -> np.ndarray:
    """The plane's pixels that touch the background (4-neighbourhood)."""
    inner = plane.copy()
    inner[1:, :] &= plane[:-1, :]
    inner[:-1, :] &= plane[1:, :]
    inner[:, 1:] &= plane[:, :-1]
    inner[:, :-1] &= plane[:, 1:]
    return plane & ~inner


def plane_colours(rgba: np.ndarray, density: int = 1):
    """The hard mask and the plane's colours, with a dark rim along the silhouette."""
    plane = rgba[..., 3] >= MASK_THRESHOLD
    colours = rgba[..., :3].copy()
    # The rim gives the hard-edged silhouette a drawn outline, and the encoder's small errors
    # right at the edge, where the two pictures differ most, fall on dark pixels. It is one
    # pixel wide at the design's size, as wide as the density elsewhere.
    rim = np.zeros_like(plane)
    for _ in range(density):
        rim |= outline(plane & ~rim)
    colours[rim] = (colours[rim].astype(np.uint16) * RIM_SHADE // 256).astype(np.uint8)
    return plane, colours


def split_pair(plane: np.ndarray, colours: np.ndarray):
    """The plane on white and the same plane on black, with identical plane pixels."""
    on_white = np.where(plane[..., None], colours, np.uint8(255))
    on_black = np.where(plane[..., None], colours, np.uint8(0))
    return on_white, on_black


def speck_risk(on_white_jpeg: bytes, on_black_jpeg: bytes) -> np.ndarray:
    """Per pixel and channel, how far the desktop beneath can pull the composite off the plane.

    After AND with the decoded white picture w and OR with the decoded black one b, a plane
    pixel lies between b and b | (w & ~b): the bits of w that b lacks come from the desktop.
    """
    w = artkit.decode_jpeg(on_white_jpeg)
    b = artkit.decode_jpeg(on_black_jpeg)
    return w & ~b


def encode_pair(plane: np.ndarray, colours: np.ndarray):
    """Encodes the pair, moving plane colours that sit on a speck-prone value a little away.

    The two pictures are encoded separately, so a plane pixel can decode to, say, 127 in one and
    129 in the other; across such a power of two the bitwise passes let the desktop show through
    as a bright or dark speck. Where that can exceed SPECK_LIMIT the colour (in both pictures
    alike) is moved a few levels away from the nearest multiple of 32, and the pair encoded again.
    """
    colours = colours.copy()
    for _ in range(SETTLE_ROUNDS):
        on_white, on_black = split_pair(plane, colours)
        jpegs = artkit.encode_jpeg(on_white), artkit.encode_jpeg(on_black)
        risky = (speck_risk(*jpegs) > SPECK_LIMIT) & plane[..., None]
        if not risky.any():
            break
        values = colours[risky].astype(np.int16)
        boundary = (values + 16) // 32 * 32
        away = np.where(values < boundary, boundary - SETTLE_MARGIN, boundary + SETTLE_MARGIN)
        moved = np.where(np.abs(values - boundary) < SETTLE_MARGIN, away, values)
        colours[risky] = np.clip(moved, 0, 255).astype(np.uint8)
    return jpegs


def build_flight(flight: Flight, aircraft_dir: str, out_dir: str, preview_dir: str = None,
                 density: int = 1) -> None:
    svg = flight_svg(flight, os.path.join(aircraft_dir, flight.aircraft + ".svg"), density)
    plane, colours = plane_colours(centred(artkit.render_svg(svg), flight, MARGIN * density), density)
    for number, jpeg in zip((flight.white, flight.black), encode_pair(plane, colours)):
        name = container_name(number, density)
        with open(os.path.join(out_dir, name), "wb") as out:
            out.write(artkit.wrap_container(jpeg))
        if preview_dir:
            with open(os.path.join(preview_dir, name.rsplit(".", 1)[0] + ".jpg"), "wb") as out:
                out.write(jpeg)


def main(argv) -> int:
    if len(argv) not in (3, 4):
        print(__doc__.strip().splitlines()[-1], file=sys.stderr)
        return 2
    aircraft_dir, out_dir = argv[1], argv[2]
    preview_dir = argv[3] if len(argv) == 4 else None
    os.makedirs(out_dir, exist_ok=True)
    if preview_dir:
        os.makedirs(preview_dir, exist_ok=True)
    # The flights are independent: render them on every processor.
    with multiprocessing.Pool(os.cpu_count() or 1) as pool:
        pool.starmap(build_flight, [(flight, aircraft_dir, out_dir, preview_dir, density)
                                    for density in reversed(DENSITIES) for flight in FLIGHTS])
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
