"""The saver's life under /S: its window over the desktop, the input that ends
it and the input that does not, and what it leaves behind in C:\\windows."""
import stat

import pytest

import harness

def assert_still_running(saver, prefix, after):
    harness.holds(saver.running, "the saver running after %s" % after)
    assert prefix.saver_windows(), "the saver window went away after %s" % after


def test_saver_window_covers_the_screen_and_shows_the_desktop(display, desktop, prefix, start_saver, tmp_path):
    # The cursor is hidden while the saver runs (checked at the end). That it
    # shows again afterwards cannot be seen from outside: the cursor count
    # belongs to the saver's thread and goes with its process. The password
    # tests see it shown during the check and hidden again after a refusal.
    saver = start_saver("/S")
    saver.wait_for_window()

    windows = prefix.saver_windows()
    assert len(windows) == 1, "expected one saver window, got %s" % windows
    window = windows[0]
    assert (window["left"], window["top"], window["right"], window["bottom"]) == (
        0, 0, display.width, display.height), "saver window rectangle: %s" % window
    assert window["popup"] and not window["caption"] and not window["thickframe"] and not window["sysmenu"], (
        "the saver window has a frame or caption: style %#x" % (window["style"] & 0xFFFFFFFF))
    assert window["topmost"], "the saver window is not top-most"
    assert window["zoomed"], "the saver window is not maximised"
    assert display.windows_named("quillon7"), "no mapped X window titled quillon7"

    # The desktop copy was taken before the window showed, so the screen looks
    # unchanged (apart from a plane that may already be flying in).
    harness.wait_for(lambda: harness.shows_picture_but_a_plane(display.screenshot(), desktop),
                     harness.START_TIMEOUT, "the saver to show the desktop picture")

    # What shows is the saver's own copy: change the desktop beneath it.
    display.change_desktop(tmp_path)
    harness.holds(lambda: harness.shows_picture_but_a_plane(display.screenshot(), desktop),
                  "the first desktop on the screen after the desktop changed beneath the saver", seconds=1)

    cursor = prefix.probe("cursor")[0]
    assert cursor["foreground_class"] == "TForm1", "foreground window: %s" % cursor
    assert not cursor["showing"], "the cursor shows while the saver runs"


@pytest.mark.parametrize("keys", [["a"], ["space"], ["alt"], ["alt+x"], ["shift"]],
                         ids=["letter", "space", "alt", "alt-combination", "shift"])
def test_a_key_press_ends_the_saver(display, desktop, prefix, start_saver, keys):
    saver = start_saver("/S")
    saver.wait_for_window()
    display.key(*keys)
    saver.wait_ended()
    assert not prefix.saver_windows()


@pytest.mark.parametrize("button", [1, 2, 3], ids=["left", "middle", "right"])
def test_mouse_motion_leaves_the_saver_running_and_a_button_press_ends_it(
        display, desktop, prefix, start_saver, button):
    saver = start_saver("/S")
    saver.wait_for_window()

    for x, y in [(10, 10), (display.width - 1, display.height - 1), (display.width // 2, 20), (300, 400)]:
        display.move_mouse(x, y)
    assert_still_running(saver, prefix, "mouse motion")

    display.click(button)
    saver.wait_ended()


def plant(path, content, read_only=False):
    path.write_bytes(content)
    if read_only:
        path.chmod(stat.S_IRUSR | stat.S_IRGRP | stat.S_IROTH)
    return path


def test_ending_deletes_the_decoded_images_but_not_the_containers(display, desktop, prefix, start_saver):
    windows = prefix.windows_dir
    containers_before = {p.name: harness.sha256(p) for p in windows.glob("In*.sdd")}
    # The user's own pictures: no container is beside them, so they are not the saver's.
    users = {"Intro.jpg": b"the user's", "inleftover2.JPG": b"\xff\xd8\xff"}
    plant(windows / "Intro.jpg", users["Intro.jpg"])
    plant(windows / "inleftover2.JPG", users["inleftover2.JPG"], read_only=True)
    unrelated = plant(windows / "Outside.jpg", b"unrelated")

    saver = start_saver("/S")
    saver.wait_for_window()
    decoded = sorted(p.name for p in windows.glob("In*.jpg"))
    missing = sorted(name[:-4] + ".jpg" for name in containers_before if name[:-4] + ".jpg" not in decoded)
    assert not missing, "while the saver runs, these decoded images are missing: %s" % missing
    display.key("a")
    saver.wait_ended()

    remaining = [p.name for p in harness.files_named(windows, "in", ".jpg")]
    assert remaining == sorted(users), (
        "after the end, In*.jpg files left: %s (while running there were %s)" % (remaining, decoded))
    assert {name: (windows / name).read_bytes() for name in users} == users
    assert unrelated.exists(), "a file not matching In*.jpg was deleted"
    containers_after = {p.name: harness.sha256(p) for p in windows.glob("In*.sdd")}
    assert containers_after == containers_before, "the containers changed"


def test_ending_leaves_the_system_state_restored(display, desktop, prefix, start_saver):
    """While the saver runs the system knows a screen saver runs; afterwards it does not."""
    saver = start_saver("/S")
    saver.wait_for_window()
    state = prefix.probe("system")[0]
    assert state["saver_running"] == 1, "the system was not told that a screen saver runs: %s" % state
    display.key("a")
    saver.wait_ended()
    state = prefix.probe("system")[0]
    assert state["saver_running"] == 0, "the screen-saver-running state stayed set: %s" % state


@pytest.mark.parametrize("screen", [
    pytest.param(screen, marks=pytest.mark.screen(screen), id=screen)
    for screen in ["800x600x24", "1280x1024x24", "1024x768x16"]])
def test_the_saver_covers_screens_of_other_sizes_and_depths(display, desktop, prefix, start_saver, screen):
    saver = start_saver("/S")
    window = saver.wait_for_window()[0]
    assert (window["left"], window["top"], window["right"], window["bottom"]) == (
        0, 0, display.width, display.height), "saver window rectangle on a %s screen: %s" % (screen, window)
    # At 16 bits Wine's screen-compatible bitmaps keep 5 bits of green where
    # the X screen has 6, so the copy may be one 5-bit step off in a channel.
    tolerance = 0 if display.depth >= 24 else 8
    harness.wait_for(lambda: harness.shows_picture_but_a_plane(display.screenshot(), desktop, tolerance),
                     harness.START_TIMEOUT, "the saver to show the desktop on a %s screen" % screen)
    assert len(prefix.saver_windows()) == 1
    display.key("a")
    saver.wait_ended()
