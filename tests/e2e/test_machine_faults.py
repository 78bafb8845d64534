"""Faults of the machine: a full disk while the saver decodes the containers or
writes "screen.bmp", and while the dialog stores a capture; the settings key
deleted while the dialog is open. Each gives a clear error box, loses nothing
(the containers and the last good "screen.bmp" stay as they were), and a key
still ends the saver. A full disk while a picture at twice the size is decoded
costs only the sharper picture: the plane flies from today's pictures, turn
after turn, and nothing of the picture cut short is kept or shown. A Windows directory, or an old decoded image, that cannot
be written is no fault for the saver: the planes fly from the program's own
folder in the user's temporary directory.

A full disk: the Windows directory gets a writable layer (overlayfs) on a small
tmpfs, filled up to the room the test leaves; the files already there stay
readable below it. A read-only directory: a read-only bind mount over it (root
ignores file modes, and Wine runs as root here). Mounting needs root; without
it these tests are skipped."""
import os
import subprocess
import time

import numpy as np
import pytest

import harness
from program_facts import SETTINGS_KEY, SLOT_IMAGES, all_types
from dialog_driver import Dialog, stored_values, use_own_window_frames, write_backdrop
from test_display_scaling import U2_SLOT, built_pair, drawn_at_scale, noisy_desktop, plane_box_of, set_dpi



def stop_wine(prefix):
    """Ends every Wine process of the prefix, so nothing holds the directory."""
    subprocess.run(["wineserver", "-k"], env=prefix.env, capture_output=True, timeout=60)
    subprocess.run(["wineserver", "-w"], env=prefix.env, capture_output=True, timeout=60)


def mount(*args):
    subprocess.run(["mount", *args], check=True, capture_output=True, timeout=60)


@pytest.fixture
def windows_dir_mounts(prefix, tmp_path):
    """windows_dir_mounts(room=N) puts the Windows directory on a full disk with
    N bytes left; windows_dir_mounts(read_only=True) makes it read-only. Wine is
    restarted over the new directory; the mounts go before the prefix does."""
    if os.geteuid() != 0:
        pytest.skip("mounting a file system needs root")
    mounted = []

    def remount(room=None, read_only=False):
        stop_wine(prefix)
        # A new disk each time: the one before goes with what was written on it.
        while mounted:
            subprocess.run(["umount", "-l", mounted.pop()], check=True, capture_output=True, timeout=60)
        target = str(prefix.windows_dir)
        if read_only:
            mount("--bind", target, target)
            mounted.append(target)
            mount("-o", "remount,bind,ro", target)
        else:
            layer = tmp_path / ("layer-%d" % room)
            layer.mkdir()
            mount("-t", "tmpfs", "-o", "size=%dk" % (room // 1024 + 1024), "tmpfs", str(layer))
            mounted.append(str(layer))
            (layer / "upper").mkdir()
            (layer / "work").mkdir()
            mount("-t", "overlay", "overlay", "-o",
                  "lowerdir=%s,upperdir=%s,workdir=%s" % (target, layer / "upper", layer / "work"), target)
            mounted.append(target)
            free = os.statvfs(str(layer))
            filler = free.f_bavail * free.f_frsize - room
            (layer / "filler").write_bytes(b"\0" * max(filler, 0))
        prefix.start()

    yield remount
    stop_wine(prefix)
    for target in reversed(mounted):
        subprocess.run(["umount", "-l", target], capture_output=True, timeout=60)


def write_settings(prefix, **values):
    settings = all_types(True)
    settings.update(Delay=1, Random=0, Fake=0)
    settings.update(values)
    prefix.set_dwords(SETTINGS_KEY, settings)


def containers(prefix):
    return {p.name: p.read_bytes() for p in prefix.windows_dir.glob("In*.sdd")}


def error_box_then_key_ends(display, prefix, saver):
    """The saver's error box; once it is closed, a key ends the saver. Returns the box's texts."""
    box = harness.wait_for(lambda: harness.message_box(prefix, "Skyvane!"), harness.START_TIMEOUT,
                           "the error box (caption Skyvane!)")
    prefix.probe("press", "Skyvane!", "OK")
    saver.wait_for_window()
    display.key("a")
    saver.wait_ended()
    return box["texts"]


def pages(size):
    """The 4 KiB pages a file of that size takes on the full disk."""
    return -(-size // 4096)


def plane_boxes_by_flight(display, desktop, saver, flights_wanted):
    """The boxes of the pixels a right-to-left plane changes, flight by flight,
    in the frames where it lies between the screen's top and bottom edges,
    until flights_wanted flights have shown it so."""
    flights = []
    deadline = time.monotonic() + 240
    # Two screenshots in a row without a plane mean the plane has gone and the
    # next one kept is a later plane (one alone may fall inside a tick's
    # repaint); frames cut off at an edge do not end that gap.
    empty_in_a_row, between_planes = 0, False
    while len(flights) < flights_wanted:
        assert saver.running() and time.monotonic() < deadline, "planes seen: %s" % flights
        changed = np.abs(display.screenshot().astype(np.int16) - desktop).max(axis=2) > 12
        if not changed.any():
            empty_in_a_row += 1
            between_planes = between_planes or empty_in_a_row >= 2
            continue
        empty_in_a_row = 0
        rows, cols = np.flatnonzero(changed.any(axis=1)), np.flatnonzero(changed.any(axis=0))
        box = int(cols[0]), int(rows[0]), int(cols[-1]) + 1, int(rows[-1]) + 1
        if box[1] == 0 or box[3] == display.height:
            continue
        if not flights or between_planes or box[0] > flights[-1][-1][0]:
            flights.append([])   # a later plane
        between_planes = False
        flights[-1].append(box)
    return flights


@pytest.mark.screen("1536x2048x24")
def test_a_full_disk_while_decoding_the_containers(display, desktop, prefix, start_saver, windows_dir_mounts,
                                                   tmp_path):
    write_settings(prefix)
    kept = containers(prefix)
    assert kept, "the build made no containers"
    windows_dir_mounts(room=48 * 1024)   # two or three decoded images
    texts = error_box_then_key_ends(display, prefix, start_saver("/S"))
    assert texts == ["I/O error 112."], texts   # ERROR_DISK_FULL
    assert containers(prefix) == kept
    assert not list(prefix.windows_dir.glob("In*.jpg")), "decoded images were left behind"

    # At 200 %, room for every decoded image and the U-2's picture on black at
    # twice the size, but for only half of its picture on white: the U-2 flies
    # from today's pictures enlarged, without a box, at its first turn and at
    # every later one. The picture cut short goes at once and is never shown
    # (its missing rows would decode grey, a band across the sprite).
    write_settings(prefix, **dict(all_types(False), U2=1))
    set_dpi(prefix, 192)
    white, black = SLOT_IMAGES[U2_SLOT - 1]
    larger = {n: (prefix.windows_dir / ("In%dx2.sd2" % n)).read_bytes() for n in (white, black)}
    windows_dir_mounts(room=4096 * (sum(pages(len(b) - 3) for b in kept.values())
                                    + pages(len(larger[black]) - 3) + pages(len(larger[white]) - 3) // 2))
    shown = noisy_desktop(display, tmp_path)
    saver = start_saver("/S")
    harness.wait_for(lambda: window_without_box(prefix), harness.START_TIMEOUT, "the saver window")
    assert (prefix.windows_dir / ("In%dx2.jpg" % black)).read_bytes() == larger[black][:3] + larger[black][6:]
    assert not (prefix.windows_dir / ("In%dx2.jpg" % white)).exists(), "the picture cut short was kept"
    design = plane_box_of(*built_pair(1))
    flights = plane_boxes_by_flight(display, shown, saver, 3)
    for box in [box for flight in flights for box in flight]:
        assert box[3] - box[1] <= 2 * (design[3] - design[1]) * 1.03, "a grey band under the plane: %s" % flights
        if box[0] > 0 and box[2] < display.width:
            assert drawn_at_scale(box, design, 2), "drawn %s, designed %s" % (box, design)
    assert harness.message_box(prefix, "Skyvane!") is None
    display.key("space")
    saver.wait_ended()
    assert not list(prefix.windows_dir.glob("In*.jpg")), "decoded images were left behind"


def test_a_full_disk_while_the_saver_makes_screen_bmp(display, desktop, prefix, start_saver, windows_dir_mounts):
    write_settings(prefix, Fake=1)
    (prefix.windows_dir / "screen.bmp").unlink(missing_ok=True)
    kept = containers(prefix)
    # Room for the decoded images and 1 MiB: less than the picture of the screen.
    windows_dir_mounts(room=sum(len(b) + 4096 for b in kept.values()) + 1024 * 1024)
    texts = error_box_then_key_ends(display, prefix, start_saver("/S"))
    assert texts == ["Cannot create file %s\\screen.bmp." % prefix.windows_dir_windows], texts
    assert containers(prefix) == kept
    leftovers = [p.name for p in prefix.windows_dir.iterdir() if p.name.lower().startswith(("sky", "screen.bmp"))]
    assert not leftovers, "a part of a picture was left: %s" % leftovers


def test_a_full_disk_while_the_dialog_stores_a_capture_keeps_the_good_picture(
        display, prefix, saver_program, windows_dir_mounts):
    use_own_window_frames(prefix)
    write_backdrop(prefix.windows_dir / "background.jpg")
    good = b"BM the last good capture"
    (prefix.windows_dir / "screen.bmp").write_bytes(good)
    windows_dir_mounts(room=64 * 1024)
    dialog = Dialog(prefix, saver_program)
    try:
        dialog.wait_shown()
        dialog.click("Get Fake Desktop")
        dialog.wait_message_box("Information")
        dialog.dismiss("Information")
        texts = harness.wait_for(lambda: dialog.message_boxes("Skyvane!"), 60, "the error box")
        assert texts == ["Cannot create file C:\\windows\\screen.bmp."], texts
        dialog.dismiss("Skyvane!")
        assert (prefix.windows_dir / "screen.bmp").read_bytes() == good
        dialog.click("OK")
        dialog.wait_ended()
    finally:
        dialog.kill()


def decoded_in_temporary_directories(prefix):
    """The In*.jpg in the program's own folder of the users' temporary
    directories of the prefix."""
    users = prefix.path / "drive_c" / "users"
    return sorted(p.name for temp in users.glob("*/Temp/Skyvane") for p in temp.glob("In*.jpg"))


def window_without_box(prefix):
    """The saver's visible windows; an error box fails the test."""
    box = harness.message_box(prefix, "Skyvane!")
    assert box is None, "an error box: %s" % box["texts"]
    return [w for w in prefix.saver_windows() if w["visible"]]


def planes_fly_without_a_box(display, desktop, prefix, saver):
    """The saver window shows without an error box and a plane crosses the
    desktop; while it runs its decoded images are in the user's temporary
    directory. Then a key ends it."""
    harness.wait_for(lambda: window_without_box(prefix), harness.START_TIMEOUT, "the saver window")
    harness.wait_for(lambda: harness.difference_box(display.screenshot(), desktop) is not None,
                     harness.START_TIMEOUT, "a plane over the desktop")
    assert "In1.jpg" in decoded_in_temporary_directories(prefix)
    assert harness.message_box(prefix, "Skyvane!") is None
    display.key("a")
    saver.wait_ended()


def test_a_read_only_windows_directory(display, desktop, prefix, start_saver, saver_program, windows_dir_mounts):
    # A standard user whose writes Windows does not redirect: the decoded
    # images go to the user's own temporary directory, and the stock picture
    # is shown as the fake desktop without being stored.
    write_settings(prefix)
    kept = containers(prefix)
    (prefix.windows_dir / "screen.bmp").unlink(missing_ok=True)
    windows_dir_mounts(read_only=True)
    planes_fly_without_a_box(display, desktop, prefix, start_saver("/S"))
    assert decoded_in_temporary_directories(prefix) == [], "decoded images left after the saver ended"

    prefix.reg_add(SETTINGS_KEY, "Fake", "REG_DWORD", 1)
    saver = start_saver("/S")
    stock = harness.load_rgb(prefix.windows_dir / "screen.jpg")
    height, width = min(stock.shape[0], display.height), min(stock.shape[1], display.width)

    def showing_stock():
        shot = display.screenshot()
        difference = np.abs(shot[:height, :width].astype(int) - stock[:height, :width].astype(int)).mean()
        return difference < 4 and [shot]
    harness.wait_for(lambda: window_without_box(prefix), harness.START_TIMEOUT, "the saver window")
    shown = harness.wait_for(showing_stock, harness.START_TIMEOUT, "the stock picture on the screen")[0]
    planes_fly_without_a_box(display, shown, prefix, saver)
    assert not (prefix.windows_dir / "screen.bmp").exists()
    assert containers(prefix) == kept
    assert decoded_in_temporary_directories(prefix) == []

    # A user whose name has a letter outside the ANSI code page: the images go
    # to that user's own folder all the same, and those of a killed run go at
    # the next start (here the dialog's).
    prefix.reg_add(SETTINGS_KEY, "Fake", "REG_DWORD", 0)
    folder = use_temporary_directory_of(prefix, "\u0141ukasz") / "Skyvane"
    planes_fly_without_a_box(display, desktop, prefix, start_saver("/S"))
    assert not folder.exists(), "the program's folder outlived the saver"
    killed = start_saver("/S")
    harness.wait_for(lambda: window_without_box(prefix), harness.START_TIMEOUT, "the saver window")
    assert (folder / "In1.jpg").is_file()
    killed.kill()
    dialog = Dialog(prefix, saver_program)
    try:
        dialog.wait_shown()
        assert not folder.exists(), "a killed run's images outlived the next start"
    finally:
        dialog.kill()


def use_temporary_directory_of(prefix, user):
    """Points the user's TEMP and TMP at a folder under C:\\users\\<user>, made
    here; returns it. A name outside the ANSI code page ("\u0141ukasz" on a
    Western one) comes back from GetTempPathA as another folder ("Lukasz")."""
    folder = prefix.path / "drive_c" / "users" / user / "Temp"
    folder.mkdir(parents=True)
    for name in ("TEMP", "TMP"):
        prefix.reg_add(r"HKCU\Environment", name, "REG_SZ", "C:\\users\\%s\\Temp" % user)
    return folder


def test_a_read_only_image_left_by_a_killed_saver(display, desktop, prefix, start_saver):
    # The Windows directory may be written, but the old In1.jpg may not: every
    # image goes to the program's folder in the temporary directory, and the
    # old one stays as it was. So does another program's In1.jpg in the
    # temporary directory itself, which all programs share.
    write_settings(prefix)
    left = prefix.windows_dir / "In1.jpg"
    left.write_bytes(b"decoded by a saver that was killed")
    left.chmod(0o444)
    temporary = prefix.unix_path(prefix.run("cmd", "/c", "echo %TEMP%").stdout.strip())
    others = temporary / "In1.jpg"
    others.write_bytes(b"another program's picture")
    planes_fly_without_a_box(display, desktop, prefix, start_saver("/S"))
    assert left.read_bytes() == b"decoded by a saver that was killed"
    assert left.stat().st_mode & 0o222 == 0
    assert sorted(p.name for p in prefix.windows_dir.glob("In*.jpg")) == ["In1.jpg"]
    assert decoded_in_temporary_directories(prefix) == []
    assert not (temporary / "Skyvane").exists(), "the program's empty folder was left behind"
    assert others.read_bytes() == b"another program's picture"


def test_the_settings_key_deleted_while_the_dialog_is_open(prefix, saver_program):
    use_own_window_frames(prefix)
    write_backdrop(prefix.windows_dir / "background.jpg")
    write_settings(prefix, F16=0, Delay=9)
    dialog = Dialog(prefix, saver_program)
    try:
        dialog.wait_shown()
        prefix.reg_delete(SETTINGS_KEY)
        dialog.click("OK")
        dialog.wait_ended()
    finally:
        dialog.kill()
    stored = stored_values(prefix)
    assert stored == dict(all_types(True), F16=0, Delay=9, Random=0, Fake=0), stored
