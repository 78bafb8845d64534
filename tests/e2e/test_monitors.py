"""The saver over two monitors (a second monitor left of, above, or right of
the primary; left and above give it negative coordinates in Windows): the
window covers both, the live desktop shows on both, a fake desktop picture
sits at the primary's top-left with the button face elsewhere, the planes fly
across the primary and change nothing on any other monitor, and a press on
the second monitor ends the saver."""
import time

import numpy as np
import pytest
from PIL import Image

import flight_images
import harness
from test_fake_desktop import button_face, picture_of, start_over_fake_desktop
from test_flight import find_plane, screenshot, settings

# X places the primary at x = 800; Windows puts the primary's top-left at (0, 0).
TWO_MONITORS = [pytest.mark.screen("1824x768x24"), pytest.mark.monitors("1024x768+800+0", "800x600+0+0")]
PRIMARY_LEFT = 800


def flights_seen(display, expected, seconds):
    """Difference boxes against expected in screenshots over some seconds, and
    on until the first is seen (a busy machine may hold the first plane back)."""
    boxes = []
    start = time.monotonic()
    while True:
        looked = time.monotonic() - start
        if looked >= seconds and (boxes or looked >= harness.START_TIMEOUT):
            break
        box = harness.difference_box(display.screenshot(), expected)
        if box:
            boxes.append(box)
    return boxes


def within(box, area):
    left, top, right, bottom = box
    return left >= area[0] and top >= area[1] and right <= area[2] and bottom <= area[3]


# (X screen, monitors with the primary first, the saver window's rectangle in
# Windows coordinates, the primary in X coordinates, a point on the second monitor)
def layout(screen, monitors, window_rect, primary, second_point, name):
    return pytest.param(window_rect, primary, second_point, id=name,
                        marks=[pytest.mark.screen(screen), pytest.mark.monitors(*monitors)])


LAYOUTS = [
    layout("1824x768x24", ("1024x768+800+0", "800x600+0+0"), (-800, 0, 1024, 768),
           (800, 0, 1824, 768), (300, 300), "second-left"),
    layout("1280x1792x24", ("1024x768+128+1024", "1280x1024+0+0"), (-128, -1024, 1152, 768),
           (128, 1024, 1152, 1792), (600, 500), "second-above"),
    layout("2304x1024x24", ("1024x768+0+0", "1280x1024+1024+0"), (0, 0, 2304, 1024),
           (0, 0, 1024, 768), (1800, 900), "second-right-larger"),
]


@pytest.mark.parametrize("window_rect, primary, second_point", LAYOUTS)
def test_the_live_desktop_covers_every_monitor_and_a_press_on_the_second_ends_it(
        display, desktop, prefix, start_saver, window_rect, primary, second_point):
    saver = start_saver("/S")
    window = saver.wait_for_window()[0]
    assert (window["left"], window["top"], window["right"], window["bottom"]) == window_rect, window
    assert window["topmost"] and window["zoomed"], window
    harness.wait_for(lambda: harness.shows_picture_but_a_plane(display.screenshot(), desktop),
                     harness.START_TIMEOUT, "the desktop on every monitor")

    # The first plane flies across the primary monitor, and only there.
    boxes = flights_seen(display, desktop, 8)
    assert boxes, "no plane flew within %d seconds" % harness.START_TIMEOUT
    assert all(within(box, primary) for box in boxes), "changes beyond the primary %s: %s" % (primary, boxes)

    display.move_mouse(*second_point)
    display.click(1)
    saver.wait_ended()


@TWO_MONITORS[0]
@TWO_MONITORS[1]
def test_a_fake_desktop_sits_on_the_primary_and_the_second_monitor_shows_the_button_face(
        display, prefix, start_saver, tmp_path):
    picture = picture_of(tmp_path, "fake.png", 1024, 768, seed=13)
    face = button_face(prefix)
    saver = start_over_fake_desktop(prefix, start_saver, picture)
    expected = np.empty((768, 1824, 3), dtype=np.uint8)
    expected[:, :] = face
    expected[:, PRIMARY_LEFT:] = picture
    harness.wait_for(lambda: harness.shows_picture_but_a_plane(display.screenshot(), expected),
                     harness.START_TIMEOUT, "the picture on the primary, button face beside it")

    # The planes cross the picture only: nothing is drawn on the second monitor.
    boxes = flights_seen(display, expected, 8)
    display.screenshot(save_to=tmp_path / "two-monitors-fake.png")
    assert boxes, "no plane crossed the primary within %d seconds" % harness.START_TIMEOUT
    assert all(left >= PRIMARY_LEFT for left, _top, _right, _bottom in boxes), boxes

    display.key("a")
    saver.wait_ended()


# The primary in X coordinates, with the second monitor left of it or right of it.
WHOLE_FLIGHT_LAYOUTS = [
    pytest.param((800, 0, 1824, 768), id="second-left", marks=[
        pytest.mark.screen("1824x768x24"), pytest.mark.monitors("1024x768+800+0", "800x600+0+0")]),
    pytest.param((0, 0, 1024, 768), id="second-right", marks=[
        pytest.mark.screen("2304x1024x24"), pytest.mark.monitors("1024x768+0+0", "1280x1024+1024+0")]),
]
WHOLE_FLIGHTS_TIMEOUT = 120


@pytest.mark.parametrize("primary", WHOLE_FLIGHT_LAYOUTS)
def test_whole_flights_leave_every_other_monitor_as_its_desktop(display, desktop, prefix, start_saver, tmp_path,
                                                                primary):
    """A left-to-right plane (slot 1) and a right-to-left one (slot 5) from
    their start places beside the primary to their ends beside it, until the
    third plane shows: in every screenshot everything outside the primary is
    the desktop, pixel for pixel."""
    flight_images.write_f16_containers(prefix.windows_dir)
    settings(prefix, 1)
    saver = start_saver("/S")
    saver.wait_for_window()
    left, top, right, bottom = primary
    beside = np.ones(desktop.shape[:2], dtype=bool)
    beside[top:bottom, left:right] = False

    slots = []
    deadline = time.monotonic() + WHOLE_FLIGHTS_TIMEOUT
    while 19 not in slots:
        assert saver.running(), "the saver ended during the flights"
        assert time.monotonic() < deadline, "planes seen in %ss: %s" % (WHOLE_FLIGHTS_TIMEOUT, slots)
        shot = screenshot(display)
        changed = np.any(shot != desktop, axis=2) & beside
        if changed.any():
            Image.fromarray(shot).save(tmp_path / "mark-beside-the-primary.png")
            rows, cols = np.nonzero(changed)
            raise AssertionError("after planes %s, %d pixels beside the primary %s differ from the desktop in "
                                 "(%d, %d)-(%d, %d)" % (slots, changed.sum(), primary, cols.min(), rows.min(),
                                                        cols.max() + 1, rows.max() + 1))
        plane = find_plane(shot[top:bottom, left:right], desktop[top:bottom, left:right])
        if plane and plane[0] not in slots:
            slots.append(plane[0])
    assert slots[-2:] == [5, 19], "planes came as slots %s" % slots

    display.key("a")
    saver.wait_ended()
