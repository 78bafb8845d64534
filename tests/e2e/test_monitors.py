"""The saver over two monitors (a second monitor left of, above, or right of
the primary; left and above give it negative coordinates in Windows): the
window covers both, the live desktop shows on both, a fake desktop picture
sits at the primary's top-left with the button face elsewhere, every monitor
has a flight of its own that changes nothing beyond its plane and nothing on
another monitor, and a press on the second monitor ends the saver."""
import re
import time

import numpy as np
import pytest
from PIL import Image

import flight_images
import harness
from test_fake_desktop import button_face, picture_of, start_over_fake_desktop
from test_flight import BLUR, BODY, WATCH_TIMEOUT, find_plane, settings

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


# (X screen, monitors with the primary first, the saver window's rectangle in
# Windows coordinates, a point on the second monitor)
def layout(screen, monitors, window_rect, second_point, name):
    return pytest.param(monitors, window_rect, second_point, id=name,
                        marks=[pytest.mark.screen(screen), pytest.mark.monitors(*monitors)])


LAYOUTS = [
    layout("1824x768x24", ("1024x768+800+0", "800x600+0+0"), (-800, 0, 1024, 768), (300, 300), "second-left"),
    layout("1280x1792x24", ("1024x768+128+1024", "1280x1024+0+0"), (-128, -1024, 1152, 768), (600, 500),
           "second-above"),
    layout("2304x1024x24", ("1024x768+0+0", "1280x1024+1024+0"), (0, 0, 2304, 1024), (1800, 900),
           "second-right-larger"),
]


def monitor_box(geometry):
    """(left, top, right, bottom) in X coordinates of "WIDTHxHEIGHT+X+Y"."""
    width, height, x, y = (int(part) for part in re.match(r"(\d+)x(\d+)\+(\d+)\+(\d+)$", geometry).groups())
    return x, y, x + width, y + height


def shows_desktop_but_planes(shot, desktop, monitors):
    """Each monitor shows its desktop but for a plane, and what lies on no
    monitor is the desktop."""
    elsewhere = np.ones(desktop.shape[:2], dtype=bool)
    for left, top, right, bottom in (monitor_box(geometry) for geometry in monitors):
        elsewhere[top:bottom, left:right] = False
        if not harness.shows_picture_but_a_plane(shot[top:bottom, left:right], desktop[top:bottom, left:right]):
            return False
    return not np.any(np.any(shot != desktop, axis=2) & elsewhere)


@pytest.mark.parametrize("monitors, window_rect, second_point", LAYOUTS)
def test_the_live_desktop_covers_every_monitor_and_a_press_on_the_second_ends_it(
        display, desktop, prefix, start_saver, monitors, window_rect, second_point):
    saver = start_saver("/S")
    window = saver.wait_for_window()[0]
    assert (window["left"], window["top"], window["right"], window["bottom"]) == window_rect, window
    assert window["topmost"] and window["zoomed"], window
    harness.wait_for(lambda: shows_desktop_but_planes(display.screenshot(), desktop, monitors),
                     harness.START_TIMEOUT, "the desktop on every monitor")

    boxes = flights_seen(display, desktop, 2)
    assert boxes, "no plane flew within %d seconds" % harness.START_TIMEOUT

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


def plane_on_monitor(shot, desktop, box):
    """The slot of the plane on one monitor (None while none is seen there);
    fails unless everything else of the monitor is its desktop, pixel for
    pixel: the plane's colour and the blur of its edges, or, while too little
    of it shows to be told, less than a plane's body."""
    left, top, right, bottom = box
    part, wanted = shot[top:bottom, left:right], desktop[top:bottom, left:right]
    differs = np.any(part != wanted, axis=2)
    if not differs.any():
        return None
    rows, cols = np.nonzero(differs)
    plane = find_plane(part, wanted)
    if plane:
        p_left, p_top, p_right, p_bottom = plane[3]
        outside = ((cols < p_left - BLUR) | (cols >= p_right + BLUR) | (rows < p_top - BLUR) | (rows >= p_bottom + BLUR))
        assert not outside.any(), "monitor %s: %d pixels differ beyond its plane %s, first at (%d, %d)" % (
            box, outside.sum(), plane[3], cols[outside][0] + left, rows[outside][0] + top)
        return plane[0]
    assert cols.max() - cols.min() < BODY[0] + 2 * BLUR and rows.max() - rows.min() < BODY[1] + 2 * BLUR, (
        "monitor %s differs from its desktop beyond a plane's body: (%d, %d)-(%d, %d)" % (
            box, cols.min() + left, rows.min() + top, cols.max() + left + 1, rows.max() + top + 1))
    return None


# The second monitor left of the primary and smaller, then right of it,
# taller and lower (X coordinates; Windows puts the primary at (0, 0)).
FLIGHTS_ON_EVERY_MONITOR = [
    pytest.param(("1024x768+800+0", "800x600+0+0"), id="second-left-smaller", marks=[
        pytest.mark.screen("1824x768x24"), pytest.mark.monitors("1024x768+800+0", "800x600+0+0")]),
    pytest.param(("1024x768+0+0", "1280x1024+1024+100"), id="second-right-taller-lower", marks=[
        pytest.mark.screen("2304x1124x24"), pytest.mark.monitors("1024x768+0+0", "1280x1024+1024+100")]),
]
EVERY_MONITOR_TIMEOUT = 120


@pytest.mark.parametrize("monitors", FLIGHTS_ON_EVERY_MONITOR)
def test_every_monitor_has_its_own_flight_drawn_on_it_alone(display, desktop, prefix, start_saver, tmp_path, monitors):
    """Planes fly on both monitors, at the same moment at least once; in every
    screenshot each monitor is its desktop but for its own plane, and what no
    monitor shows stays the desktop; after a key the screen is as before."""
    flight_images.write_f16_containers(prefix.windows_dir)
    settings(prefix, 1)
    saver = start_saver("/S")
    saver.wait_for_window()
    boxes = [monitor_box(geometry) for geometry in monitors]
    on_no_monitor = np.ones(desktop.shape[:2], dtype=bool)
    for left, top, right, bottom in boxes:
        on_no_monitor[top:bottom, left:right] = False

    seen = [[] for _ in boxes]
    together = 0
    deadline = time.monotonic() + EVERY_MONITOR_TIMEOUT
    while not together or min(len(slots) for slots in seen) < 1:
        assert saver.running(), "the saver ended during the flights"
        assert time.monotonic() < deadline, "planes seen in %ss: %s, %d times together" % (
            EVERY_MONITOR_TIMEOUT, seen, together)
        shot = display.screenshot()
        try:
            assert not np.any(np.any(shot != desktop, axis=2) & on_no_monitor), "a change where no monitor is"
            slots = [plane_on_monitor(shot, desktop, box) for box in boxes]
        except AssertionError:
            Image.fromarray(shot).save(tmp_path / "mark-beside-a-plane.png")
            raise
        for monitor, slot in enumerate(slots):
            if slot and slot not in seen[monitor][-1:]:
                seen[monitor].append(slot)
        together += all(slots)
    # The monitors start at different slots: the primary at slot 1, the
    # second half-way along the enabled flights.
    assert seen[0][0] == 1 and seen[1][0] == 19, seen

    # While the display is off both flights stop; when it is on, both go on.
    prefix.probe("monitor", "TForm1", "quillon7", "2")
    time.sleep(0.5)   # the last tick's copy reaches the X server
    still = display.screenshot()
    time.sleep(1)
    assert np.array_equal(display.screenshot(), still), "a plane moved while the display was off"
    prefix.probe("monitor", "TForm1", "quillon7", "-1")
    for left, top, right, bottom in boxes:
        harness.wait_for(lambda: not np.array_equal(display.screenshot()[top:bottom, left:right],
                                                    still[top:bottom, left:right]),
                         WATCH_TIMEOUT, "the flight on %s to go on" % ((left, top, right, bottom),))

    display.key("a")
    saver.wait_ended()
    harness.wait_for(lambda: not np.any(display.screenshot() != desktop), harness.START_TIMEOUT,
                     "both monitors as before the saver")
