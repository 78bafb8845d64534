"""The fake desktop capture of the settings dialog: the explanation, 7 seconds
with the dialog hidden, "screen.bmp" at the display's own depth without the
dialog in it, the "Done." box; no capture when a picture already exists; a
second trigger during a capture is ignored; and a picture that cannot be
written is reported with the dialog back and the old file kept."""
import struct
import subprocess

import numpy as np
import pytest

import harness
from program_facts import SETTINGS_KEY
from dialog_driver import stored_values

PROMPT = ('You can select any "screen picture" as your fake background. This window will disappear and '
          'give you 7 seconds to show anything on your screen, and this will capture that screen and '
          'reappear. This capture will become your background when your screensaver starts, and the '
          'planes will cruise across. You may want to pre-open any windows, then click "ok" to start '
          '(in 7 seconds this screen will reappear).')
DONE = ('Done. Your screen was captured and will become your new "fake desktop". Click ok, then click '
        'preview to see your new "fake background". Make sure the fake background option is selected.  '
        'More information is also available on your start-programs menu under Skyvane - help.')
# Well past the 200 ms + 7000 ms of the capture flow on a slow machine.
CAPTURE_TIMEOUT = 60


def quantised(pixels, depth):
    """What a display of that depth keeps of 8-bit RGB pixels: at 16 bits, 5
    bits of each colour (the file's 5-5-5), else all 8."""
    return pixels >> 3 if depth == 16 else pixels


def read_bitmap(path):
    """(bits per pixel, width, height, RGB pixels) of an uncompressed BMP;
    16-bit pixels come back as 5-bit values."""
    data = path.read_bytes()
    assert data[:2] == b"BM", "%s is no BMP file" % path
    offset, = struct.unpack_from("<I", data, 10)
    size, width, height, planes, bits, compression = struct.unpack_from("<IiiHHI", data, 14)
    assert (size, planes, compression) == (40, 1, 0), (size, planes, compression)
    assert height > 0, "rows are not bottom-up"
    stride = (width * bits + 31) // 32 * 4
    rows = np.frombuffer(data, dtype=np.uint8, count=stride * height, offset=offset).reshape(height, stride)
    rows = rows[::-1]
    if bits == 16:
        values = rows[:, :width * 2].copy().view("<u2").astype(np.uint32)
        rgb = np.stack([(values >> 10) & 31, (values >> 5) & 31, values & 31], axis=2)
    elif bits in (24, 32):
        step = bits // 8
        pixels = rows[:, :width * step].reshape(height, width, step)
        rgb = pixels[:, :, 2::-1][:, :, :3]
    else:
        raise AssertionError("unexpected depth %d" % bits)
    return bits, width, height, rgb.astype(np.uint8)


@pytest.fixture
def desktop_picture(display, prefix, tmp_path):
    """A known picture covering the screen, kept by its own X client."""
    path = harness.make_desktop_picture(tmp_path / "desktop.png", display.width, display.height, seed=21)
    picture = harness.load_rgb(path)
    shown = subprocess.Popen(["display", "-geometry", "+0+0", "-borderwidth", "0", str(path)], env=display.env,
                             stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        depth = display.depth
        harness.wait_for(lambda: np.array_equal(quantised(display.screenshot(), depth), quantised(picture, depth)),
                         harness.START_TIMEOUT, "the desktop picture on the screen")
        yield picture
    finally:
        shown.terminate()
        shown.wait()


def screen_bmp(prefix):
    found = [p for p in prefix.windows_dir.iterdir() if p.name.lower() == "screen.bmp"]
    return found[0] if found else prefix.windows_dir / "screen.bmp"


def dialog_visible(dialog):
    form, _ = dialog.snapshot()
    return bool(form and form["visible"])


def run_capture_after_prompt(dialog):
    """Answers the explanation and waits for the whole flow up to the "Done." box."""
    assert dialog.wait_message_box("Information") == [PROMPT]
    dialog.dismiss("Information")
    harness.wait_for(lambda: not dialog_visible(dialog), harness.END_TIMEOUT, "the dialog to hide")
    texts = harness.wait_for(lambda: dialog.message_boxes("Information"), CAPTURE_TIMEOUT, "the Done. box")
    assert texts == [DONE], texts
    assert dialog_visible(dialog), "the Done. box came while the dialog was still hidden"
    dialog.dismiss("Information")


@pytest.mark.parametrize("depth", [
    pytest.param(24, marks=pytest.mark.screen("1024x768x24")),
    pytest.param(16, marks=pytest.mark.screen("1024x768x16")),
])
def test_get_fake_desktop_stores_the_screen_without_the_dialog_at_the_display_depth(
        display, prefix, desktop_picture, open_dialog, depth):
    old = screen_bmp(prefix)
    old.write_bytes(b"an older picture")
    dialog = open_dialog()
    dialog.click("Get Fake Desktop")
    run_capture_after_prompt(dialog)

    bits, width, height, pixels = read_bitmap(screen_bmp(prefix))
    assert (width, height) == (display.width, display.height)
    assert bits == depth or (depth == 24 and bits in (24, 32)), "%d bits per pixel on a %d-bit display" % (
        bits, depth)
    expected = quantised(desktop_picture, 16 if bits == 16 else 24)
    differs = np.any(pixels != expected, axis=2)
    assert not differs.any(), "screen.bmp differs from the screen in %d pixels, first at %s" % (
        differs.sum(), tuple(np.argwhere(differs)[0]))
    # The button does not choose the fake desktop; the dialog still works.
    assert not dialog.checked("Use Fake Desktop") and dialog.checked("Use Your Desktop")
    dialog.click("OK")
    dialog.wait_ended()
    assert stored_values(prefix)["Fake"] == 0


def test_a_second_trigger_while_a_capture_runs_is_ignored(display, prefix, desktop_picture, open_dialog):
    dialog = open_dialog()
    dialog.click("Get Fake Desktop")
    dialog.wait_message_box("Information")
    dialog.click("Get Fake Desktop")   # posted: it reaches the button under the explanation
    harness.holds(lambda: len(dialog.message_boxes("Information")) <= 1, "one explanation at a time")
    run_capture_after_prompt(dialog)
    harness.holds(lambda: not dialog.message_boxes("Information"), "no second capture")
    assert dialog_visible(dialog)
    assert read_bitmap(screen_bmp(prefix))[1:3] == (display.width, display.height)
    dialog.click("OK")
    dialog.wait_ended()


def test_use_fake_desktop_with_a_picture_present_only_checks_the_button(display, prefix, open_dialog):
    picture = screen_bmp(prefix)
    picture.write_bytes(b"a picture made earlier")
    dialog = open_dialog()
    dialog.click("Use Fake Desktop")
    harness.wait_for(lambda: dialog.checked("Use Fake Desktop"), harness.END_TIMEOUT, "the radio button")
    harness.holds(lambda: not dialog.message_boxes("Information"), "no capture while screen.bmp exists")
    assert dialog_visible(dialog)
    assert picture.read_bytes() == b"a picture made earlier"
    assert not dialog.checked("Use Your Desktop")
    dialog.click("OK")
    dialog.wait_ended()
    assert stored_values(prefix)["Fake"] == 1


def test_opening_with_the_fake_desktop_on_and_no_picture_explains_before_showing_and_captures(
        display, prefix, desktop_picture, open_dialog):
    prefix.reg_add(SETTINGS_KEY, "Fake", "REG_DWORD", 1)
    assert not screen_bmp(prefix).exists()
    dialog = open_dialog(wait=False)
    dialog.wait_message_box("Information")
    assert not dialog_visible(dialog), "the dialog showed before the explanation"
    run_capture_after_prompt(dialog)
    assert read_bitmap(screen_bmp(prefix))[1:3] == (display.width, display.height)
    assert dialog.checked("Use Fake Desktop")


def test_a_picture_that_cannot_be_written_is_reported_and_the_old_one_kept(display, prefix, open_dialog):
    picture = screen_bmp(prefix)
    picture.write_bytes(b"the last good picture")
    picture.chmod(0o444)   # read-only: Wine refuses to replace it
    dialog = open_dialog()
    dialog.click("Get Fake Desktop")
    assert dialog.wait_message_box("Information") == [PROMPT]
    dialog.dismiss("Information")
    harness.wait_for(lambda: not dialog_visible(dialog), harness.END_TIMEOUT, "the dialog to hide")
    texts = harness.wait_for(lambda: dialog.message_boxes("Skyvane!"), CAPTURE_TIMEOUT, "the error box")
    assert texts == ["Cannot create file C:\\windows\\screen.bmp."], texts
    assert dialog_visible(dialog), "the dialog stayed hidden after the failed capture"
    assert not dialog.message_boxes("Information"), "Done. was reported for a failed capture"
    dialog.dismiss("Skyvane!")
    assert picture.read_bytes() == b"the last good picture"
    leftovers = [p.name for p in prefix.windows_dir.iterdir() if p.name.lower().startswith("sky")]
    assert not leftovers, "temporary files left behind: %s" % leftovers
    dialog.click("OK")
    dialog.wait_ended()
