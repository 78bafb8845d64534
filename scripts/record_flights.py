#!/usr/bin/python3
"""Records the running saver from an X display: an animated GIF of whole
flights and PNG stills in which a plane is wholly on the screen.

    record_flights.py --display :N --desktop DESKTOP.png --out DIR
                      [--seconds N] [--flights 2] [--stills 3] [--fps 12.5]
                      [--scale 1.0] [--limit 150] [--pid PID] [--whole-run]

DESKTOP.png is the screen as it was before the saver started. The saver copies
that desktop and changes only the pixels of its plane, so every pixel of a
frame that differs from it belongs to a plane.

Without --seconds it records until it has --flights whole flights (a plane
seen from the empty sky before it to the empty sky after it) and --stills
flights seen wholly on the screen, or until --limit seconds have passed; with
--seconds it records exactly that long. It then writes DIR/flights.gif (the
first --flights whole flights, scaled by --scale) and DIR/still-1.png ... at
full size, prints their paths, and exits 1 when it got fewer than asked for.
With --pid it also stops when that process (the saver) has ended. With
--whole-run (and --seconds) the animation is the whole recording, whatever the
planes do in it (several monitors, each with its own plane).
"""
import argparse
import os
import sys
import time
from pathlib import Path

import numpy as np
from PIL import GifImagePlugin, Image, ImageGrab

# A plane that jumps back against its direction by more than this is the next
# plane (a left-to-right plane may follow another one with hardly a gap).
NEXT_PLANE_JUMP = 300
# A plane is wholly on the screen when it keeps this margin from the edges and
# shows (nearly) as many pixels as it ever did in its flight: a plane that
# only peeks in at an edge shows a few pixels clear of it.
EDGE_MARGIN = 2
WHOLE_PLANE_SHARE = 0.97
SMALLEST_PLANE = 1500
# 4 x 4 ordered dither: a pixel's palette index depends only on its colour
# and place, so the desktop stays the same in every frame and the GIF stores
# only what the plane changed.
BAYER = (np.array([[0, 8, 2, 10], [12, 4, 14, 6], [3, 11, 1, 9], [15, 7, 13, 5]]) + 0.5) / 16 - 0.5
DITHER_STRENGTH = 12
LARGEST_ANIMATION = 4_800_000   # bytes


class Frame:
    """One screenshot, kept as its time and the planes' pixels (if any): only
    the pixels that differ from the desktop, so planes far apart on two
    monitors cost no more than their own pixels."""

    def __init__(self, when, pixels, desktop):
        self.when = when
        differs = np.any(pixels != desktop, axis=2)
        self.box = None
        self.where = self.values = None
        self.count = int(differs.sum())
        if self.count:
            rows = np.flatnonzero(differs.any(axis=1))
            cols = np.flatnonzero(differs.any(axis=0))
            self.box = (int(cols[0]), int(rows[0]), int(cols[-1]) + 1, int(rows[-1]) + 1)
            self.where = np.nonzero(differs)
            self.values = pixels[self.where].copy()

    def centre_x(self):
        return (self.box[0] + self.box[2]) / 2

    def clear_of_edges(self, width, height):
        """The plane's pixels keep a margin from every edge of the screen."""
        left, top, right, bottom = self.box
        return left >= EDGE_MARGIN and top >= EDGE_MARGIN \
            and right <= width - EDGE_MARGIN and bottom <= height - EDGE_MARGIN

    def picture(self, desktop):
        pixels = desktop.copy()
        if self.values is not None:
            pixels[self.where] = self.values
        return pixels


class Flights:
    """Splits the frames into visits, each the frames of one plane on the
    screen: [first frame index, last frame index, seen whole?]."""

    def __init__(self, width, height):
        self.width, self.height = width, height
        self.frames = []
        self.visits = []
        self._open = None      # the visit whose plane is on the screen

    def add(self, frame):
        index = len(self.frames)
        self.frames.append(frame)
        if self._open is not None and (frame.box is None or self._jumped_back(index)):
            self._open[2] = self._open[2] is not False   # seen coming and going
            self._open = None
        if frame.box is None:
            return
        if self._open is None:
            # A plane already there in the first frame was not seen coming.
            self._open = [index, index, None if index > 0 else False]
            self.visits.append(self._open)
        self._open[1] = index

    def _jumped_back(self, index):
        first, last = self.frames[self._open[0]], self.frames[index - 1]
        moved = self.frames[index].centre_x() - last.centre_x()
        direction = last.centre_x() - first.centre_x()
        return direction * moved < 0 and abs(moved) > NEXT_PLANE_JUMP

    def wholly_shown(self, visit):
        """The frames of a visit that show its plane wholly on the screen."""
        first, last, _ = visit
        most = max(self.frames[i].count for i in range(first, last + 1))
        return [i for i in range(first, last + 1)
                if self.frames[i].count >= max(SMALLEST_PLANE, WHOLE_PLANE_SHARE * most)
                and self.frames[i].clear_of_edges(self.width, self.height)]

    def still_of(self, visit):
        """The frame of a visit that shows its plane wholly and nearest the middle, or None."""
        shown = self.wholly_shown(visit)
        middle = self.width / 2
        return min(shown, key=lambda i: abs(self.frames[i].centre_x() - middle)) if shown else None

    def stills(self):
        """One frame per visit whose plane was wholly on the screen."""
        return [i for i in (self.still_of(v) for v in self.visits) if i is not None]

    def whole(self):
        """The visits seen from the empty sky before to the empty sky after,
        with the plane wholly on the screen for a while (not one that only
        peeked in at an edge)."""
        return [v for v in self.visits if v[2] is True and self.wholly_shown(v)]

    def forget_unneeded(self, flights):
        """Drops the pixels of the frames after the first `flights` whole
        flights that no still needs, so a long recording stays small."""
        whole = self.whole()
        if len(whole) < flights:
            return
        keep = set(self.stills())
        for visit in self.visits:
            if visit is self._open or visit[1] <= whole[flights - 1][1] + 1:
                continue
            for i in range(visit[0], visit[1] + 1):
                if i not in keep:
                    self.frames[i].where = self.frames[i].values = None


def dithered(pixels):
    height, width, _ = pixels.shape
    tile = np.tile(BAYER, (height // 4 + 1, width // 4 + 1))[:height, :width]
    return np.clip(pixels + tile[:, :, None] * DITHER_STRENGTH, 0, 255).astype(np.uint8)


def palette_for(desktop, frames):
    """One palette for the whole animation: the desktop's colours and the planes'."""
    planes = [f.values for f in frames if f.values is not None]
    plane_pixels = np.concatenate(planes) if planes else np.zeros((0, 3), np.uint8)
    # The planes get as many samples as the desktop, so their greys are not lost.
    if len(plane_pixels):
        repeat = max(1, desktop.shape[0] * desktop.shape[1] // len(plane_pixels) // 2)
        plane_pixels = np.repeat(plane_pixels, repeat, axis=0)
    sample = np.concatenate([desktop.reshape(-1, 3), plane_pixels])
    width = 1024
    rows = len(sample) // width
    sample = sample[:rows * width].reshape(rows, width, 3)
    return Image.fromarray(sample).quantize(256, method=Image.Quantize.MEDIANCUT)


def write_animation(path, desktop, frames, scale):
    palette = palette_for(desktop, frames)
    height, width, _ = desktop.shape
    size = (round(width * scale), round(height * scale))
    pictures, durations = [], []
    for i, frame in enumerate(frames):
        image = Image.fromarray(frame.picture(desktop))
        if size != (width, height):
            image = image.resize(size, Image.Resampling.LANCZOS)
        image = Image.fromarray(dithered(np.asarray(image, dtype=float)))
        pictures.append(image.quantize(palette=palette, dither=Image.Dither.NONE))
        following = frames[i + 1].when if i + 1 < len(frames) else frame.when + 0.08
        durations.append(max(20, round((following - frame.when) * 1000)))
    write_gif(path, pictures, durations)


def write_gif(path, pictures, durations):
    """Writes every frame, each as the rectangle that changed since the one
    before (a pixel when none did): PIL's own writer would merge equal frames
    into a longer one, and the frames are meant to come at a steady pace."""
    with open(path, "wb") as gif:
        header, _ = GifImagePlugin.getheader(pictures[0], info={"loop": 0, "duration": durations[0]})
        gif.write(b"".join(header))
        previous = None
        for picture, duration in zip(pictures, durations):
            indices = np.asarray(picture)
            box = (0, 0) + picture.size
            if previous is not None:
                changed = indices != previous
                rows, cols = np.flatnonzero(changed.any(axis=1)), np.flatnonzero(changed.any(axis=0))
                box = (int(cols[0]), int(rows[0]), int(cols[-1]) + 1, int(rows[-1]) + 1) \
                    if len(rows) else (0, 0, 1, 1)
            chunks = GifImagePlugin.getdata(picture.crop(box), offset=box[:2], duration=duration, disposal=1)
            gif.write(b"".join(chunks))
            chunks.clear()   # some PIL versions hand out one shared list
            previous = indices
        gif.write(b";")


def running(pid):
    try:
        os.kill(pid, 0)
    except ProcessLookupError:
        return False
    return True


def record(args, desktop):
    height, width, _ = desktop.shape
    flights = Flights(width, height)
    interval = 1 / args.fps
    start = time.monotonic()
    deadline = start + (args.seconds if args.seconds else args.limit)
    next_shot = start
    while time.monotonic() < deadline and (not args.pid or running(args.pid)):
        time.sleep(max(0.0, next_shot - time.monotonic()))
        when = time.monotonic()
        pixels = np.asarray(ImageGrab.grab(xdisplay=args.display).convert("RGB"))
        flights.add(Frame(when, pixels, desktop))
        if not args.whole_run:
            flights.forget_unneeded(args.flights)
        # Late (a busy machine): keep the pace from now on rather than catch up.
        next_shot = max(next_shot + interval, time.monotonic())
        if not args.seconds and flights.frames[-1].box is None \
                and len(flights.whole()) >= args.flights and len(flights.stills()) >= args.stills:
            break
    return flights


def write_whole_run(args, desktop, frames):
    """The whole recording as the animation; no stills."""
    if not any(frame.box for frame in frames):
        print("record: no plane in %.0f s of recording" % args.seconds, file=sys.stderr)
        return 1
    animation = args.out / "flights.gif"
    scale = args.scale
    write_animation(animation, desktop, frames, scale)
    while animation.stat().st_size > LARGEST_ANIMATION:
        scale *= 0.95 * (LARGEST_ANIMATION / animation.stat().st_size) ** 0.5
        write_animation(animation, desktop, frames, scale)
    print("record: %s: %d frames in %.1f s, %d KB, scale %.2f" % (
        animation, len(frames), frames[-1].when - frames[0].when, animation.stat().st_size // 1024, scale))
    return 0


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--display", required=True)
    parser.add_argument("--desktop", required=True, type=Path)
    parser.add_argument("--out", required=True, type=Path)
    parser.add_argument("--seconds", type=float)
    parser.add_argument("--flights", type=int, default=2)
    parser.add_argument("--stills", type=int, default=3)
    parser.add_argument("--fps", type=float, default=12.5)
    parser.add_argument("--scale", type=float, default=1.0)
    parser.add_argument("--limit", type=float, default=150)
    parser.add_argument("--pid", type=int)
    parser.add_argument("--whole-run", action="store_true")
    args = parser.parse_args()
    if args.whole_run and not args.seconds:
        parser.error("--whole-run records for --seconds")

    desktop = np.asarray(Image.open(args.desktop).convert("RGB"))
    flights = record(args, desktop)
    frames = flights.frames
    shortfall = []

    if args.whole_run:
        return write_whole_run(args, desktop, frames)
    whole = flights.whole()[:args.flights]
    if len(whole) < args.flights:
        shortfall.append("%d of %d whole flights" % (len(whole), args.flights))
    if whole:
        # From the empty sky before the first flight to the empty sky after the last.
        first, last = max(0, whole[0][0] - 1), min(len(frames) - 1, whole[-1][1] + 1)
        animation = args.out / "flights.gif"
        scale = args.scale
        write_animation(animation, desktop, frames[first:last + 1], scale)
        while animation.stat().st_size > LARGEST_ANIMATION:
            # Long flights of big planes: a smaller picture rather than a larger file.
            scale *= 0.95 * (LARGEST_ANIMATION / animation.stat().st_size) ** 0.5
            write_animation(animation, desktop, frames[first:last + 1], scale)
        span = frames[last].when - frames[first].when
        print("record: %s: %d whole flight(s), %d frames in %.1f s (%.1f per second), %d KB, "
              "scale %.2f" % (animation, len(whole), last - first + 1, span,
                              (last - first) / max(span, 1e-6), animation.stat().st_size // 1024, scale))

    stills = flights.stills()
    if len(stills) < args.stills:
        # Fewer planes than stills: more frames of the same planes, far apart.
        spare = [i for v in flights.visits for i in flights.wholly_shown(v)
                 if i not in stills and frames[i].values is not None]
        step = max(1, len(spare) // max(1, args.stills - len(stills)))
        stills = sorted(stills + spare[step // 2::step][:args.stills - len(stills)])
    for number, index in enumerate(stills[:args.stills], 1):
        path = args.out / ("still-%d.png" % number)
        Image.fromarray(frames[index].picture(desktop)).save(path)
        print("record: %s: a plane of %d pixels in %s" % (path, frames[index].count, frames[index].box))
    if len(stills) < args.stills:
        shortfall.append("%d of %d stills" % (len(stills), args.stills))

    if shortfall:
        print("record: got only %s in %.0f s of recording" % (", ".join(shortfall),
              frames[-1].when - frames[0].when if frames else 0), file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
