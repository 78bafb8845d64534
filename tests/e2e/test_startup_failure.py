"""A saver whose start-up fails: the error box (caption "Skyvane!", error
icon, one OK button, the message with the full-stop rule), then the saver
window over the whole screen in the button-face colour, and a key still ends
the saver so that the user is never locked out. One stored setting that
cannot be read is reported the same way and costs nothing else: the planes fly."""
import shutil

import numpy as np

import flight_images
import harness
from test_flight import F16_ORDER, WATCH_TIMEOUT, find_plane

from program_facts import SETTINGS_KEY_IN_FULL, TYPE_VALUES


def write_settings(prefix, **values):
    """Writes all 14 settings (every type on, Delay 1, in order, live desktop)
    with values replacing any of them by REGEDIT4 data text."""
    settings = {name: "dword:00000001" for name in TYPE_VALUES}
    settings.update(Delay="dword:00000001", Random="dword:00000000", Fake="dword:00000000")
    settings.update(values)
    lines = ["REGEDIT4", "", "[%s]" % SETTINGS_KEY_IN_FULL]
    lines += ['"%s"=%s' % (name, data) for name, data in settings.items()]
    prefix.reg_import("\n".join(lines) + "\n")


def expect_error_then_window(display, prefix, saver, message):
    box = harness.wait_for(lambda: harness.message_box(prefix, "Skyvane!"), harness.START_TIMEOUT,
                           "the error box (caption Skyvane!)")
    assert box["texts"] == [message], "error box text: got %r, expected %r" % (box["texts"], message)
    assert box["buttons"] == ["OK"], "error box buttons: got %s, expected one OK" % box["buttons"]
    assert len(box["icons"]) == 1, "the error box shows no icon"
    assert not [w for w in prefix.saver_windows() if w["visible"]], (
        "the saver window showed before its start-up ended")

    assert prefix.probe("press", "Skyvane!", "OK") is not None
    saver.wait_for_window()
    face = np.array(prefix.button_face, dtype=np.uint8)
    harness.wait_for(lambda: np.all(display.screenshot() == face), harness.START_TIMEOUT,
                     "the screen to show only the button-face colour %s" % (prefix.button_face,))

    display.key("a")
    saver.wait_ended()


def test_fake_desktop_without_any_picture(display, desktop, prefix, start_saver):
    for name in ("screen.bmp", "screen.jpg"):
        (prefix.windows_dir / name).unlink(missing_ok=True)
    write_settings(prefix, Fake="dword:00000001")
    saver = start_saver("/S")
    expect_error_then_window(display, prefix, saver,
                             "Cannot open file %s\\screen.jpg." % prefix.windows_dir_windows)


def test_a_setting_of_the_wrong_type_is_reported_once_and_the_planes_fly_with_the_rest(
        display, desktop, prefix, start_saver):
    # Only the F16 planes' pictures, and only F16 on: as a 2-byte string where
    # a 32-bit number belongs, it takes its assumed value (on), and every other
    # type is read as stored (off). The message ends in a quote, which sorts
    # before ".", so no full stop is added.
    flight_images.write_f16_containers(prefix.windows_dir)
    write_settings(prefix, F16='"1"', **{name: "dword:00000000" for name in TYPE_VALUES[1:]})
    saver = start_saver("/S")
    box = harness.wait_for(lambda: harness.message_box(prefix, "Skyvane!"), harness.START_TIMEOUT,
                           "the error box (caption Skyvane!)")
    assert box["texts"] == ["Invalid data type for 'F16'"], box["texts"]
    assert not [w for w in prefix.saver_windows() if w["visible"]], (
        "the saver window showed before its start-up ended")
    assert prefix.probe("press", "Skyvane!", "OK") is not None
    saver.wait_for_window()

    plane = harness.wait_for(lambda: find_plane(display.screenshot(), desktop), WATCH_TIMEOUT, "an F16 plane")
    assert plane[0] in F16_ORDER, plane
    assert harness.message_box(prefix, "Skyvane!") is None, "the value was reported again"
    display.key("a")
    saver.wait_ended()


def test_a_container_that_cannot_be_decoded(display, desktop, prefix, start_saver):
    # The decoded image's name is taken by a directory, so it cannot be created.
    containers = sorted(prefix.windows_dir.glob("In*.sdd"))
    source = containers[0] if containers else None
    blocked = prefix.windows_dir / "InBlocked.sdd"
    if source:
        shutil.copy(source, blocked)
    else:
        blocked.write_bytes(b"\xff\xd8\xff\x00\x00\x00\xe0")
    (prefix.windows_dir / "InBlocked.jpg").mkdir()
    saver = start_saver("/S")
    expect_error_then_window(display, prefix, saver, "File access denied.")
    assert blocked.exists()
