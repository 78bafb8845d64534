"""Shared steps of the picture build: SVG rendering, JPEG encoding and the In*.sdd wrapping.

Only Debian's tools are used: rsvg-convert draws the SVG files, cjpeg encodes, PIL and numpy
do the pixel work in between.
"""
import io
import subprocess

import numpy as np
from PIL import Image

# The saver draws every plane through a fixed 577 x 365 sprite rectangle.
SPRITE_WIDTH = 577
SPRITE_HEIGHT = 365

# Encoder settings: the top quality and full-resolution chroma keep the plane's outline sharp,
# so the white and the black picture of a pair stay clean where the plane meets its background
# (no pixel of the desktop around a plane is changed by more than 3 levels). Quality 95 left
# halos of up to 16 levels.
JPEG_QUALITY = "100"
JPEG_SAMPLING = "1x1"

# The three bytes put in after a JPEG stream's third byte. The saver drops them unread.
CONTAINER_FILLER = b"SKY"


def render_svg(svg_text: str) -> np.ndarray:
    """Renders an SVG document at its own width and height into an RGBA array (straight alpha)."""
    png = subprocess.run(["rsvg-convert", "--format", "png"], input=svg_text.encode("utf-8"),
                         check=True, capture_output=True).stdout
    return np.asarray(Image.open(io.BytesIO(png)).convert("RGBA"))


def render_svg_file(path: str, zoom: int = 1) -> np.ndarray:
    """Renders an SVG file (zoom times its own size); pictures it places by relative name are
    found beside it."""
    png = subprocess.run(["rsvg-convert", "--format", "png", "--zoom", str(zoom), path],
                         check=True, capture_output=True).stdout
    return np.asarray(Image.open(io.BytesIO(png)).convert("RGBA"))


def flatten(rgba: np.ndarray, background=(255, 255, 255)) -> np.ndarray:
    """Composites an RGBA array over a solid colour and returns RGB."""
    alpha = rgba[..., 3:4].astype(np.float32) / 255.0
    rgb = rgba[..., :3].astype(np.float32)
    out = rgb * alpha + np.asarray(background, np.float32) * (1.0 - alpha)
    return np.clip(out + 0.5, 0, 255).astype(np.uint8)


def encode_jpeg(rgb: np.ndarray, quality: str = JPEG_QUALITY) -> bytes:
    """Encodes an RGB array as a baseline JPEG with cjpeg."""
    ppm = io.BytesIO()
    Image.fromarray(rgb, "RGB").save(ppm, format="PPM")
    return subprocess.run(["cjpeg", "-quality", quality, "-sample", JPEG_SAMPLING, "-optimize"],
                          input=ppm.getvalue(), check=True, capture_output=True).stdout


def decode_jpeg(jpeg: bytes) -> np.ndarray:
    """Decodes a JPEG stream to RGB with libjpeg (through PIL), as the saver would."""
    return np.asarray(Image.open(io.BytesIO(jpeg)).convert("RGB"))


def wrap_container(jpeg: bytes) -> bytes:
    """Turns a JPEG stream into an image container: three filler bytes after its third byte."""
    return jpeg[:3] + CONTAINER_FILLER + jpeg[3:]


def unwrap_container(container: bytes) -> bytes:
    """The saver's reading of a container: bytes 0 to 2, then everything from byte 6 on."""
    return container[:3] + container[6:]
