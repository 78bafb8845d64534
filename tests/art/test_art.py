"""Checks the built pictures the way the saver uses them.

Reads the data directory of a cross build (SKYVANE_DATA_DIR, default build/cross/data):
the 40 image containers In*.sdd, the same 40 pictures at twice the size In*x2.sd2 (for displays
above 100 %), screen.jpg and background.jpg. The rules hold at both sizes.

Run: SKYVANE_DATA_DIR=build/cross/data /usr/bin/python3 -m pytest tests/art -s
(-s prints the fringe measurements of every flight.)
"""
import io
import os
import subprocess
import sys
from pathlib import Path

import numpy as np
import pytest
from PIL import Image

REPO = Path(__file__).resolve().parents[2]
DATA_DIR = Path(os.environ.get("SKYVANE_DATA_DIR", REPO / "build" / "cross" / "data"))
sys.path.insert(0, str(REPO / "art"))
import build_planes  # noqa: E402  (the build's flights, placed by the catalogue's steps)
import catalogue_table  # noqa: E402  (the saver's table, read where the saver keeps it)

SPRITE_WIDTH, SPRITE_HEIGHT = 577, 365
# The design's size and twice it.
DENSITIES = (1, 2)

# The saver's catalogue as designed, kept apart from the program's own table so that a mistyped
# number there fails: slot -> (white image number, black image number, direction, horizontal step,
# vertical step, type).
CATALOGUE = {
    1: (1, 2, 1, 22, -1, "F16"), 2: (11, 12, 1, 12, 0, "Wing"), 3: (5, 6, 1, 18, -3, "SR71"),
    4: (17, 18, 1, 15, -4, "F22"), 5: (3, 4, 2, -14, 2, "F16"), 6: (7, 8, 1, 12, -1, "Awac"),
    7: (45, 46, 1, 17, -3, "B2"), 8: (15, 16, 2, -14, -1, "F22"), 9: (19, 20, 2, -13, -1, "Other"),
    10: (33, 34, 1, 10, -1, "F117"), 11: (23, 24, 1, 10, -2, "B52"), 12: (25, 26, 1, 14, -3, "F22"),
    13: (43, 44, 1, 24, -1, "B2"), 14: (27, 28, 2, -15, -1, "F15"), 15: (31, 32, 1, 15, -1, "Other"),
    16: (29, 30, 2, -14, 2, "Other"), 17: (37, 38, 1, 15, -1, "F22"), 18: (39, 40, 2, -15, 0, "U2"),
    19: (41, 42, 2, -16, 3, "F16"), 20: (9, 10, 2, -16, 1, "F16"),
}

# Outside the plane the desktop must come through untouched, up to the encoder's small errors.
FRINGE_LIMIT = 24          # a background pixel off by more than this is a visible halo
MAX_BACKGROUND_ERROR = 12  # the worst any background pixel may be off
# Inside the plane the two pictures are encoded separately; where they decode a value a little
# differently across a power of two, the bitwise passes give a speck. The build settles the
# colours to avoid them; allow a stray one in a thousand.
MAX_PLANE_SPECKS = 0.001   # share of plane pixels off by more than FRINGE_LIMIT


def require_data():
    if not (DATA_DIR / "screen.jpg").exists():
        pytest.fail(f"no built pictures in {DATA_DIR}: build the 'art' target of the cross build "
                    f"or point SKYVANE_DATA_DIR at its data directory")


def container_path(number: int, density: int = 1) -> Path:
    return DATA_DIR / (f"In{number}.sdd" if density == 1 else f"In{number}x{density}.sd2")


def decoded_container(number: int, density: int = 1) -> bytes:
    """The saver's reading of In<number>.sdd (or In<number>x2.sd2): bytes 0 to 2, then from byte 6 on."""
    container = container_path(number, density).read_bytes()
    return container[:3] + container[6:]


def load_jpeg(data: bytes) -> np.ndarray:
    image = Image.open(io.BytesIO(data))
    assert image.format == "JPEG"
    assert image.mode == "RGB", f"{image.mode} picture; the saver wants 3-component colour JPEGs"
    image.load()
    return np.asarray(image)


def load_pair(slot: int, density: int = 1):
    white, black = CATALOGUE[slot][:2]
    return load_jpeg(decoded_container(white, density)), load_jpeg(decoded_container(black, density))


def plane_mask(on_white: np.ndarray, on_black: np.ndarray) -> np.ndarray:
    """Where the two pictures agree is plane; where one is white and the other black is not."""
    return np.abs(on_white.astype(np.int16) - on_black.astype(np.int16)).max(axis=2) < 128


def busy_background(height: int, width: int) -> np.ndarray:
    """A desktop as hard on the passes as it gets: a checkerboard of dark and light under noise."""
    rng = np.random.default_rng(20261207)
    rows, cols = np.mgrid[:height, :width]
    checker = ((rows // 5 + cols // 5) % 2) * 170
    return np.clip(checker[..., None] + rng.integers(0, 86, (height, width, 3)), 0, 255).astype(np.uint8)


def test_containers_match_the_catalogue():
    require_data()
    expected = {f"In{n}.sdd" for slot in CATALOGUE.values() for n in slot[:2]}
    found = {p.name for p in DATA_DIR.glob("In*.sdd")}
    assert len(expected) == 40
    assert found == expected, f"missing {sorted(expected - found)}, unexpected {sorted(found - expected)}"
    for slot, (white, black, *_rest) in CATALOGUE.items():
        assert white % 2 == 1 and black == white + 1, f"slot {slot}"
    assert not {13, 14, 21, 22, 35, 36} & {int(name[2:-4]) for name in found}
    # Twice the size: one for each, under a name the saver's "In*.sdd" never finds.
    twice = {p.name for p in DATA_DIR.glob("In*x2.sd2")}
    assert twice == {name[:-4] + "x2.sd2" for name in expected}


def test_build_table_follows_the_catalogue():
    """The saver flies each plane by its slot's steps and the build tilts and turns the drawing by
    the same numbers, read from the saver's table: one mistyped step there would fly a plane at
    another angle than drawn, or both at the wrong one."""
    table = {row.slot: (row.white, row.black, row.direction, row.hstep, row.vstep, row.type)
             for row in catalogue_table.read_catalogue()}
    wrong = {slot: (table.get(slot), entry) for slot, entry in CATALOGUE.items() if table.get(slot) != entry}
    assert not wrong, "slot: (saver/catalogue.cpp, as designed): %s" % wrong
    built = {f.slot: (f.white, f.black, f.direction, f.hstep, f.vstep) for f in build_planes.FLIGHTS}
    assert built == {slot: entry[:5] for slot, entry in CATALOGUE.items()}


@pytest.mark.parametrize("density", DENSITIES)
@pytest.mark.parametrize("number", sorted(n for slot in CATALOGUE.values() for n in slot[:2]))
def test_container_decodes_to_a_jpeg(number, density):
    require_data()
    container = container_path(number, density).read_bytes()
    jpeg = decoded_container(number, density)
    assert len(jpeg) == len(container) - 3
    assert jpeg[:3] == b"\xff\xd8\xff" and jpeg[-2:] == b"\xff\xd9"
    # the marker after start-of-image is whole again only if the container had its filler
    assert 0xC0 <= jpeg[3] <= 0xFE, "no marker after start-of-image: filler missing or misplaced"
    load_jpeg(jpeg)
    # libjpeg's own decoder, as the saver uses it
    result = subprocess.run(["djpeg", "-dct", "int", "-outfile", os.devnull], input=jpeg,
                            capture_output=True)
    assert result.returncode == 0 and not result.stderr, result.stderr.decode(errors="replace")


def plane_box(on_white, on_black):
    plane = plane_mask(on_white, on_black)
    rows, cols = np.flatnonzero(plane.any(axis=1)), np.flatnonzero(plane.any(axis=0))
    return cols[0], rows[0], cols[-1] + 1, rows[-1] + 1


@pytest.mark.parametrize("slot", sorted(CATALOGUE))
def test_pair_sizes_fit_the_sprite(slot):
    require_data()
    for density in DENSITIES:
        on_white, on_black = load_pair(slot, density)
        assert on_white.shape == on_black.shape
        height, width = on_white.shape[:2]
        assert width <= SPRITE_WIDTH * density and height <= SPRITE_HEIGHT * density
    # The same plane at twice the size, in the same place of its sprite.
    small, large = plane_box(*load_pair(slot)), plane_box(*load_pair(slot, 2))
    assert all(abs(2 * a - b) <= 3 for a, b in zip(small, large)), f"{small} at twice the size is {large}"


@pytest.mark.parametrize("density", DENSITIES)
@pytest.mark.parametrize("slot", sorted(CATALOGUE))
def test_and_or_passes_show_only_the_plane(slot, density):
    require_data()
    on_white, on_black = load_pair(slot, density)
    plane = plane_mask(on_white, on_black)
    background = busy_background(*on_white.shape[:2])
    scene = (background & on_white) | on_black   # the saver's AND pass, then its OR pass

    off = np.abs(scene.astype(np.int16) - background.astype(np.int16)).max(axis=2)[~plane]
    in_plane = np.abs(scene.astype(np.int16) - on_black.astype(np.int16)).max(axis=2)[plane]
    specks = int((in_plane > FRINGE_LIMIT).sum())
    print(f"\nslot {slot:2} x{density}: plane {int(plane.sum()):6} px | background: worst {int(off.max()):3}, "
          f"off by >{FRINGE_LIMIT}: {int((off > FRINGE_LIMIT).sum())} | plane: worst "
          f"{int(in_plane.max()):3}, specks {specks} ({100.0 * specks / plane.sum():.2f} %)")

    assert plane.sum() > 2000 * density * density, "no plane in the picture"
    rows, cols = np.flatnonzero(plane.any(axis=1)), np.flatnonzero(plane.any(axis=0))
    assert rows[0] > 0 and cols[0] > 0 and rows[-1] < plane.shape[0] - 1 and cols[-1] < plane.shape[1] - 1, \
        "plane touches the picture's edge"
    assert off.max() <= MAX_BACKGROUND_ERROR, "halo around the plane"
    assert (off > FRINGE_LIMIT).sum() == 0
    assert specks <= MAX_PLANE_SPECKS * plane.sum()


def test_backgrounds_are_white_and_black():
    """The mask's background must be white and the colours' black, or the desktop shifts."""
    require_data()
    for slot, density in [(slot, density) for slot in CATALOGUE for density in DENSITIES]:
        on_white, on_black = load_pair(slot, density)
        outside = ~plane_mask(on_white, on_black)
        assert on_white[outside].min() >= 250 - MAX_BACKGROUND_ERROR, f"slot {slot}"
        assert on_black[outside].max() <= 5 + MAX_BACKGROUND_ERROR, f"slot {slot}"
        assert np.median(on_white[outside]) == 255 and np.median(on_black[outside]) == 0, f"slot {slot}"


def plane_width(slot: int) -> int:
    plane = plane_mask(*load_pair(slot))
    cols = np.flatnonzero(plane.any(axis=0))
    return int(cols[-1] - cols[0] + 1)


def test_bomber_dwarfs_the_fighters():
    require_data()
    f16_slots = [slot for slot, entry in CATALOGUE.items() if entry[5] == "F16"]
    assert plane_width(11) >= 1.7 * max(plane_width(slot) for slot in f16_slots)


def test_flights_of_one_type_differ():
    """A type with several flights shows a different picture on each: angle, livery or size."""
    require_data()
    by_type = {}
    for slot, entry in CATALOGUE.items():
        by_type.setdefault(entry[5], []).append(slot)
    for kind, slots in by_type.items():
        pictures = {slot: load_pair(slot)[1].astype(np.int16) for slot in slots}
        for i, first in enumerate(slots):
            for second in slots[i + 1:]:
                difference = np.abs(pictures[first] - pictures[second]).max(axis=2)
                assert (difference > 32).mean() > 0.01, f"{kind}: slots {first} and {second} look alike"


@pytest.mark.parametrize("name, minimum", [("screen.jpg", (1024, 768)), ("background.jpg", (555, 441)),
                                           ("background2x.jpg", (1110, 882))])
def test_pictures_decode_at_their_size(name, minimum):
    require_data()
    picture = load_jpeg((DATA_DIR / name).read_bytes())
    height, width = picture.shape[:2]
    assert (width, height) >= minimum and width >= minimum[0] and height >= minimum[1]
    if name == "screen.jpg":
        assert (width, height) == minimum, "the stock fake desktop is a 1024 x 768 screen"
    # a picture, not a flat fill
    assert picture.std() > 20
