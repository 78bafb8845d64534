"""The run command, scripts/run-saver.sh, as a newcomer uses it: without a
display it records whole flights over the stock desktop into the folder it
names; with one it runs the saver there, for --seconds N when asked."""
import os
import statistics
import subprocess
import tempfile
import time
from pathlib import Path

import numpy as np
import pytest
from PIL import Image, ImageSequence

import harness

SCRIPT = harness.REPO / "scripts" / "run-saver.sh"
RUN_TIMEOUT = 600
# A plane: at least this many pixels changed, in no more than the sprite's size.
PLANE_PIXELS = 1500
SPRITE = (577, 365)


@pytest.fixture
def run_prefix():
    """A Wine prefix of the test's own for the script; removed afterwards."""
    harness.PREFIXES.mkdir(parents=True, exist_ok=True)
    path = Path(tempfile.mkdtemp(prefix="run-", dir=harness.PREFIXES))
    yield path
    subprocess.run(["rm", "-rf", str(path)], check=False)


def run_script(prefix, *args, display=None):
    env = dict(os.environ, SKYVANE_RUN_PREFIX=str(prefix / "prefix"))
    env.pop("DISPLAY", None)
    if display:
        env["DISPLAY"] = display
    return subprocess.Popen(["bash", str(SCRIPT), *args], env=env, stdin=subprocess.DEVNULL,
                            stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)


def finish(process):
    try:
        output, _ = process.communicate(timeout=RUN_TIMEOUT)
    except subprocess.TimeoutExpired:
        process.kill()
        output, _ = process.communicate()
        raise AssertionError("run-saver.sh did not end within %ss:\n%s" % (RUN_TIMEOUT, output))
    return process.returncode, output


def plane_box(picture, desktop):
    """The box of the pixels that differ from the desktop, when they are as
    many as a plane's and fit in a sprite; None otherwise."""
    box = harness.difference_box(picture, desktop, tolerance=24)
    if box is None:
        return None
    differs = np.any(np.abs(picture.astype(int) - desktop.astype(int)) > 24, axis=2).sum()
    left, top, right, bottom = box
    if differs < PLANE_PIXELS or right - left > SPRITE[0] or bottom - top > SPRITE[1]:
        return None
    return box


def test_without_a_display_it_records_whole_flights_and_stills(run_prefix, tmp_path):
    out = tmp_path / "shots"
    code, output = finish(run_script(run_prefix, "--out", str(out)))
    assert code == 0, output
    animation = out / "flights.gif"
    assert str(animation) in output, "the script does not say where the animation is:\n" + output

    assert animation.stat().st_size < 5 * 1024 * 1024, "the animation is %d bytes" % animation.stat().st_size
    with Image.open(animation) as gif:
        durations, frames = [], []
        for frame in ImageSequence.Iterator(gif):
            durations.append(frame.info["duration"])
            frames.append(np.asarray(frame.convert("RGB")).copy())
    # Each frame lasts as long as the recorder really waited for the next one:
    # at its pace of 12.5 a second, with a late one now and then on a busy machine.
    assert statistics.median(durations) <= 100, "frames further apart than a tenth of a second: %s" % durations

    # The first frame is the empty sky; each flight is a run of frames with a
    # plane on it, ending in the empty sky again.
    empty = frames[0]
    with_plane = [plane_box(frame, empty) is not None for frame in frames]
    assert not with_plane[0] and not with_plane[-1]
    arrivals = sum(1 for before, now in zip(with_plane, with_plane[1:]) if now and not before)
    assert arrivals >= 2, "the animation shows %d flight(s)" % arrivals
    assert sum(with_plane) >= 10, "a plane shows in only %d frames" % sum(with_plane)

    desktop = harness.load_rgb(harness.CROSS / "data" / "screen.jpg")
    for number in (1, 2, 3):
        still = harness.load_rgb(out / ("still-%d.png" % number))
        assert still.shape == desktop.shape
        box = plane_box(still, desktop)
        assert box, "still-%d.png shows no plane" % number
        left, top, right, bottom = box
        assert left > 0 and top > 0 and right < desktop.shape[1] and bottom < desktop.shape[0], \
            "the plane in still-%d.png is cut by the screen's edge: %s" % (number, box)


def test_with_a_display_it_runs_the_saver_there_for_the_seconds_asked(run_prefix):
    display = harness.Display().start()
    try:
        process = run_script(run_prefix, "--seconds", "4", display=display.name)
        harness.wait_for(lambda: display.windows_named("quillon7") or process.poll() is not None,
                         RUN_TIMEOUT, "the saver window on the test's display")
        assert display.windows_named("quillon7"), "the saver window never showed"
        shown = time.monotonic()
        code, output = finish(process)
        assert code == 0, output
        # The seconds count from the window's showing; the test saw it a poll later.
        assert time.monotonic() - shown >= 3.5, "the saver ended before its seconds were up"
        assert not display.windows_named("quillon7"), "the saver window stayed on the screen"
    finally:
        display.stop()
