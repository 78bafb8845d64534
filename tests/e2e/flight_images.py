"""Plane image pairs in solid, distinct colours, wrapped as image containers.

Each pair is the plane (a coloured rectangle) on white and the same plane on
black, as JPEG files, stored as containers "In<n>.sdd": the JPEG's first three
bytes, three filler bytes, then the rest of the JPEG.
"""
import io
import os

from PIL import Image

from program_facts import F16_SLOT_IMAGES

# One colour per slot, far apart from each other and from white and black.
SLOT_COLOURS = {
    1: (220, 30, 30),
    5: (30, 200, 40),
    19: (40, 60, 230),
    20: (230, 200, 20),
}

IMAGE_SIZE = (400, 200)
# The plane inside its image (left, top, right, bottom), on the JPEG's 16-pixel
# block edges so that no ringing spreads beyond it.
PLANE_BOX = (64, 48, 336, 144)


def jpeg_bytes(background, colour, size=IMAGE_SIZE, box=PLANE_BOX):
    image = Image.new("RGB", size, background)
    image.paste(colour, box)
    out = io.BytesIO()
    image.save(out, "JPEG", quality=95)
    return out.getvalue()


def container_bytes(jpeg):
    return jpeg[:3] + b"\xa5\x5a\xc3" + jpeg[3:]


def write_pair(directory, white_number, black_number, colour):
    for number, background in ((white_number, (255, 255, 255)), (black_number, (0, 0, 0))):
        path = os.path.join(directory, "In%d.sdd" % number)
        with open(path, "wb") as f:
            f.write(container_bytes(jpeg_bytes(background, colour)))


def write_f16_containers(directory, colours=SLOT_COLOURS):
    """Writes the containers of the four F16 slots, one colour per slot."""
    for slot, (white, black) in F16_SLOT_IMAGES.items():
        write_pair(directory, white, black, colours[slot])
