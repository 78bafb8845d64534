"""The run command's recorder on made-up frames: how it splits the frames into
flights, which of them count as whole, which frames make stills, and the GIF
it writes (every frame kept, at its own pace)."""
import sys

import numpy as np
from PIL import Image, ImageSequence

import harness

sys.path.insert(0, str(harness.REPO / "scripts"))
import record_flights  # noqa: E402

WIDTH, HEIGHT = 400, 300
PLANE = (60, 40)          # 2,400 pixels: above the smallest plane the recorder believes
DESKTOP = np.zeros((HEIGHT, WIDTH, 3), np.uint8)


def frame(x=None, y=120, when=0.0):
    """A screenshot with a plane whose top-left corner is at (x, y), cut by the edges."""
    pixels = DESKTOP.copy()
    if x is not None:
        pixels[max(0, y):max(0, y + PLANE[1]), max(0, x):max(0, x + PLANE[0])] = (200, 200, 210)
    return record_flights.Frame(when, pixels, DESKTOP)


def flights_of(*positions):
    flights = record_flights.Flights(WIDTH, HEIGHT)
    for i, position in enumerate(positions):
        flights.add(frame(*position, when=i * 0.08) if position else frame(when=i * 0.08))
    return flights


def across(start, stop, step, y=120):
    return [(x, y) for x in range(start, stop, step)]


def test_flights_seen_coming_and_going_are_whole_and_give_stills_in_the_middle():
    flights = flights_of(None, *across(-40, 420, 50), None, None, *across(380, -80, -60, y=30), None)
    assert [v[:2] for v in flights.visits] == [[1, 9], [13, 20]]   # x = 410 is off the screen
    assert flights.whole() == flights.visits
    stills = flights.stills()
    assert len(stills) == 2
    for index in stills:
        box = flights.frames[index].box
        assert box[0] > 0 and box[2] < WIDTH
        assert abs((box[0] + box[2]) / 2 - WIDTH / 2) <= 30   # the frame nearest the middle


def test_a_plane_already_there_or_still_there_is_no_whole_flight():
    flights = flights_of(*across(100, 420, 50), None, *across(-40, 200, 50))
    assert len(flights.visits) == 2
    assert flights.whole() == []
    assert len(flights.stills()) == 2   # both were wholly on the screen for a while


def test_a_plane_that_only_peeks_in_at_an_edge_is_neither_a_whole_flight_nor_a_still():
    flights = flights_of(None, *across(-40, 420, 50, y=HEIGHT - 5), None)
    assert len(flights.visits) == 1
    assert flights.whole() == [] and flights.stills() == []


def test_a_plane_that_follows_at_once_from_the_other_side_is_another_flight():
    # Left to right, and the next one is already coming in at the left.
    flights = flights_of(None, *across(-40, 400, 60), *across(-30, 420, 60), None)
    assert len(flights.visits) == 2
    assert len(flights.whole()) == 2


def test_the_gif_keeps_every_frame_at_its_pace_and_shows_the_plane(tmp_path):
    frames = [frame(when=0.0), frame(when=0.08), frame(120, when=0.16), frame(200, when=0.24),
              frame(when=0.32), frame(when=0.40)]
    path = tmp_path / "flights.gif"
    record_flights.write_animation(path, DESKTOP, frames, 1.0)
    with Image.open(path) as gif:
        shown = [(f.info["duration"], np.asarray(f.convert("RGB")).copy()) for f in ImageSequence.Iterator(gif)]
    assert [duration for duration, _ in shown] == [80] * 6
    plane_pixels = [int(np.any(pixels > 100, axis=2).sum()) for _, pixels in shown]
    assert plane_pixels == [0, 0, PLANE[0] * PLANE[1], PLANE[0] * PLANE[1], 0, 0]
    assert np.any(shown[3][1][120:160, 200:260] > 100, axis=2).all()
