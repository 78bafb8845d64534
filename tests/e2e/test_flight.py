"""The flights on the screen: with only the F16 type on, in catalogue order,
planes in solid, distinct colours per slot come as slots 1, 5, 19, 20, each
moving in its slot's direction across an otherwise unchanged desktop; the
pause between planes, and none before the first; a key ends the saver in
mid-flight; the flights sleep while the display is off."""
import time

import numpy as np
import pytest

import flight_images
import harness

SETTINGS_KEY = r"HKLM\Software\Brelmor\Skyvane"
F16_ORDER = [1, 5, 19, 20]
# Horizontal and vertical step of each F16 slot: the direction to expect.
STEPS = {1: (22, -1), 5: (-14, 2), 19: (-16, 3), 20: (-16, 1)}
# A plane pixel: within this of its slot's colour (the images are JPEGs).
COLOUR_TOLERANCE = 40
# Enough plane pixels to call the plane seen (its body is 280 x 100).
SEEN_PIXELS = 600
# The plane's body in its images; a pixel or two of JPEG blur around it.
BODY = (flight_images.PLANE_BOX[2] - flight_images.PLANE_BOX[0],
        flight_images.PLANE_BOX[3] - flight_images.PLANE_BOX[1])
BLUR = 2
WATCH_TIMEOUT = 120


def settings(prefix, delay):
    values = {name: 0 for name in ("F15", "Awac", "U2", "B52", "SR71", "Wing", "F117", "B2", "F22", "Other", "Random",
                                   "Fake")}
    prefix.set_dwords(SETTINGS_KEY, dict(values, F16=1, Delay=delay))




def find_plane(shot, desktop):
    """(slot, centre x, centre y, box) of the plane on the screen, or None."""
    # Only the changed pixels are compared with the colours: a fast plane
    # crosses the screen in well under a second, so each look must be quick.
    rows, cols = np.nonzero(np.any(shot != desktop, axis=2))
    if len(rows) < SEEN_PIXELS:
        return None
    changed = shot[rows, cols].astype(int)
    for slot, colour in flight_images.SLOT_COLOURS.items():
        near = np.all(np.abs(changed - colour) <= COLOUR_TOLERANCE, axis=1)
        if near.sum() >= SEEN_PIXELS:
            near_rows, near_cols = rows[near], cols[near]
            box = (int(near_cols.min()), int(near_rows.min()), int(near_cols.max()) + 1, int(near_rows.max()) + 1)
            return slot, float(near_cols.mean()), float(near_rows.mean()), box
    return None


def check_background(shot, desktop, plane):
    """Everything that differs from the desktop is the plane: it fits in the
    plane's body and, once the plane is seen, lies around it."""
    box = harness.difference_box(shot, desktop)
    if box is None:
        return
    left, top, right, bottom = box
    assert right - left <= BODY[0] + 2 * BLUR and bottom - top <= BODY[1] + 2 * BLUR, (
        "the screen differs from the desktop in %s, more than a plane's body %s" % (box, BODY))
    if plane:
        seen = plane[3]
        assert (left >= seen[0] - BLUR and top >= seen[1] - BLUR and right <= seen[2] + BLUR
                and bottom <= seen[3] + BLUR), (
            "the screen differs from the desktop in %s, away from the plane of slot %d at %s" % (
                box, plane[0], seen))


def watch_flights(display, desktop, saver, passes_wanted, pairs_wanted=3):
    """Screenshots until passes_wanted planes have been seen one after another,
    and within them pairs_wanted pairs of screenshots of one plane (more
    planes on a machine too busy to see one twice).
    Returns the passes: [(slot, [(x, y), ...])], one entry per plane that came."""
    passes = []
    deadline = time.monotonic() + WATCH_TIMEOUT

    def enough():
        return len(passes) >= passes_wanted and pairs_of_one_plane(passes) >= pairs_wanted

    while not enough() or not passes[-1][1]:
        assert saver.running(), "the saver ended during the flights"
        assert time.monotonic() < deadline, "planes seen in %ss: %s" % (
            WATCH_TIMEOUT, [slot for slot, _ in passes])
        shot = display.screenshot()
        plane = find_plane(shot, desktop)
        check_background(shot, desktop, plane)
        if plane is None:
            continue
        slot, x, y, _ = plane
        if not passes or passes[-1][0] != slot:
            if enough():
                break
            passes.append((slot, []))
        if passes[-1][1] and passes[-1][1][-1] == (x, y):
            continue   # taken between two ticks: the plane has not moved yet
        passes[-1][1].append((x, y))
    return passes


def pairs_of_one_plane(passes):
    return sum(max(0, len(places) - 1) for _, places in passes)


@pytest.fixture
def f16_containers(prefix):
    flight_images.write_f16_containers(prefix.windows_dir)


@pytest.mark.parametrize("delay", [1, 0], ids=["delay-1", "delay-0-keeps-planes-coming"])
def test_f16_planes_come_in_catalogue_order_each_moving_its_own_way(
        display, desktop, prefix, f16_containers, start_saver, delay):
    settings(prefix, delay)
    saver = start_saver("/S")
    saver.wait_for_window()

    passes = watch_flights(display, desktop, saver, passes_wanted=5)
    slots = [slot for slot, _ in passes]
    start = F16_ORDER.index(slots[0])
    expected = [F16_ORDER[(start + i) % 4] for i in range(len(slots))]
    assert slots == expected, "planes came as slots %s, expected %s" % (slots, expected)

    moving = 0
    for slot, places in passes:
        step_x, step_y = STEPS[slot]
        for (x0, y0), (x1, y1) in zip(places, places[1:]):
            assert (x1 - x0) * step_x > 0, "slot %d moved from x %.0f to %.0f" % (slot, x0, x1)
            assert (y1 - y0) * step_y >= -2, "slot %d moved from y %.0f to %.0f" % (slot, y0, y1)
            moving += 1
    assert moving >= 3, "too few pairs of screenshots of one plane: %s" % passes
    assert not saver_boxes(prefix), "an error box showed: %s" % saver_boxes(prefix)


def gaps_between_planes(display, desktop, saver, gaps_wanted):
    """Seconds from the last screenshot that showed one plane to the first that
    showed the next, for gaps_wanted changes of plane."""
    gaps = []
    last_seen = None   # (slot, time of its last screenshot)
    deadline = time.monotonic() + WATCH_TIMEOUT
    while len(gaps) < gaps_wanted:
        assert saver.running(), "the saver ended during the flights"
        assert time.monotonic() < deadline, "changes of plane seen in %ss: %s" % (WATCH_TIMEOUT, gaps)
        taken = time.monotonic()
        plane = find_plane(display.screenshot(), desktop)
        if plane is None:
            continue
        if last_seen and last_seen[0] != plane[0]:
            gaps.append(taken - last_seen[1])
        last_seen = (plane[0], time.monotonic())
    return gaps


@pytest.mark.parametrize("delay", [6, 300])
def test_planes_come_after_the_pause_and_the_first_at_once(display, desktop, prefix, f16_containers, start_saver,
                                                          delay):
    settings(prefix, delay)
    saver = start_saver("/S")
    if delay == 300:
        # A pause of 299 s before the first plane would outlast the watch. The
        # first plane sets off before the window shows: watch from the start,
        # so that a slow look for the window cannot miss its whole flight.
        harness.wait_for(lambda: find_plane(display.screenshot(), desktop), WATCH_TIMEOUT, "the first plane",
                         interval=0)
        return
    saver.wait_for_window()
    # Delay 6: 5001 ms between a plane leaving and the next setting off. (Without
    # a pause, a plane's way out and the next one's way in take 2 to 3 s here, so
    # a shorter delay could not tell a lost pause.)
    gaps = gaps_between_planes(display, desktop, saver, gaps_wanted=2)
    assert min(gaps) >= 5.0, "no plane for only %s s between planes" % ["%.2f" % gap for gap in gaps]


def saver_boxes(prefix):
    box = harness.message_box(prefix, "Skyvane!")
    return box["texts"] if box else []


def test_a_key_ends_the_saver_while_a_plane_flies(display, desktop, prefix, f16_containers, start_saver):
    settings(prefix, 1)
    saver = start_saver("/S")
    saver.wait_for_window()
    harness.wait_for(lambda: find_plane(display.screenshot(), desktop), WATCH_TIMEOUT, "a plane on the screen")
    display.key("a")
    saver.wait_ended()
    assert not prefix.saver_windows(), "the saver window is still there"


def test_the_flights_sleep_while_the_display_is_off_and_fly_on_when_it_comes_back(
        display, desktop, prefix, f16_containers, start_saver):
    settings(prefix, 1)
    saver = start_saver("/S")
    saver.wait_for_window()
    harness.wait_for(lambda: find_plane(display.screenshot(), desktop), WATCH_TIMEOUT, "a plane on the screen")

    # Windows 95 to XP tell the foreground window: the command is sent, so the
    # saver has handled it when the probe returns.
    prefix.probe("monitor", "TForm1", "quillon7", "2")
    # Once the last tick's copy has reached the X server, two screenshots agree.
    still = harness.wait_for(lambda: (lambda a, b: np.array_equal(a, b) and [b])(
        display.screenshot(), display.screenshot()), harness.START_TIMEOUT, "the scene to stand still")[0]
    ticks = prefix.processor_ticks("skyvane.scr")
    harness.holds(lambda: np.array_equal(display.screenshot(), still), "the scene still while the display is off",
                  seconds=5)
    asleep = prefix.processor_ticks("skyvane.scr") - ticks
    assert asleep == 0, "the saver took %d clock ticks of processor time in 5 s with the display off" % asleep
    assert saver.running() and prefix.saver_windows(), "the display's sleep ended the saver"

    prefix.probe("monitor", "TForm1", "quillon7", "-1")
    harness.wait_for(lambda: not np.array_equal(display.screenshot(), still), WATCH_TIMEOUT,
                     "the flights to go on once the display is on")
    harness.wait_for(lambda: find_plane(display.screenshot(), desktop), WATCH_TIMEOUT, "a plane after the display's sleep")
    # The same measure sees the flights' processor time (about a clock tick a second here).
    harness.wait_for(lambda: prefix.processor_ticks("skyvane.scr") > ticks, WATCH_TIMEOUT,
                     "the flights to take processor time again")
    display.key("a")
    saver.wait_ended()


def test_a_plane_image_that_cannot_be_read_stops_the_flights_and_a_key_still_ends_the_saver(
        display, desktop, prefix, f16_containers, start_saver):
    settings(prefix, 1)
    # Slot 5, the second plane, has no images.
    for number in (3, 4):
        for extension in ("sdd", "jpg"):
            (prefix.windows_dir / ("In%d.%s" % (number, extension))).unlink(missing_ok=True)
    saver = start_saver("/S")
    saver.wait_for_window()

    box = harness.wait_for(lambda: harness.message_box(prefix, "Skyvane!"), WATCH_TIMEOUT,
                           "the error box once slot 1 has flown")
    expected = "Cannot open file %s\\In4.jpg." % prefix.windows_dir_windows
    assert box["texts"] == [expected], "error box text: got %r, expected %r" % (box["texts"], expected)

    # Slot 1 has left the screen and no timer runs any more: the screen shows
    # the desktop (and the box) and stays so.
    box_area = harness.difference_box(display.screenshot(), desktop)
    harness.holds(lambda: harness.difference_box(display.screenshot(), desktop) == box_area,
                  "the scene standing still", seconds=1)
    assert saver.running()

    prefix.probe("press", "Skyvane!", "OK")
    harness.wait_for(lambda: harness.message_box(prefix, "Skyvane!") is None, WATCH_TIMEOUT, "the box to close")
    harness.wait_for(lambda: np.array_equal(display.screenshot(), desktop), WATCH_TIMEOUT,
                     "the desktop alone on the screen once the box closed")
    harness.holds(lambda: np.array_equal(display.screenshot(), desktop), "no plane flying again after the error",
                  seconds=1)
    assert saver.running() and prefix.saver_windows(), "the saver ended with the error box"
    display.key("a")
    saver.wait_ended()
