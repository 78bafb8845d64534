"""The image containers at a saver run: every "In*.sdd" in C:\\windows has its
"In*.jpg" beside it while the saver runs, none is left once a key has ended
it, and the containers themselves are never changed. A container that is
damaged, or that cannot be read at all, costs only its own flight. Also the
plane choice as the screen shows it: the settings' types pick the plane, and
a registry with no type switched on still flies planes instead of hanging the
saver.
"""
import os
import signal
import subprocess
import time

import numpy as np
import pytest

import harness
from test_installer import compile_nsis

from program_facts import SETTINGS_KEY, SLOT_IMAGES, TYPE_OF_SLOT, TYPE_VALUES

# A colour of its own for each slot's plane, no grey among them. Each channel
# is 0, 120 or 232: JPEG noise of a few steps around these values stays within
# their low bits, so the AND and OR passes give back the colour within a few
# steps, and any two slots differ by over 100 in some channel.
LEVELS = (0, 120, 232)
SLOT_COLOURS = dict(enumerate(
    [(r, g, b) for r in LEVELS for g in LEVELS for b in LEVELS if not r == g == b][:20], start=1))

PLANE_SIZE = (300, 120)
WATCH_TIMEOUT = 120


def make_jpeg(path, background, colour):
    """A plane: a solid rectangle of colour on a solid background, by ImageMagick."""
    width, height = PLANE_SIZE
    subprocess.run(["convert", "-size", "%dx%d" % PLANE_SIZE, "xc:%s" % background, "-fill", "rgb(%d,%d,%d)" % colour,
                    "-draw", "rectangle 40,30 %d,%d" % (width - 40, height - 30), "-quality", "95",
                    "jpg:%s" % path], check=True, timeout=60)


def write_container(jpeg_path, container_path, filler=b"\x5a\xa5\x3c"):
    jpeg = jpeg_path.read_bytes()
    container_path.write_bytes(jpeg[:3] + filler + jpeg[3:])


def write_all_containers(windows_dir, scratch):
    """Containers for all 20 slots, each slot's plane in its own colour."""
    for slot, (white, black) in enumerate(SLOT_IMAGES, start=1):
        for number, background in ((white, "white"), (black, "black")):
            jpeg = scratch / ("In%d.jpg" % number)
            make_jpeg(jpeg, background, SLOT_COLOURS[slot])
            write_container(jpeg, windows_dir / ("In%d.sdd" % number))


def set_types(prefix, enabled, random_order):
    values = {name: 1 if name in enabled else 0 for name in TYPE_VALUES}
    prefix.set_dwords(SETTINGS_KEY, dict(values, Random=1 if random_order else 0, Fake=0, Delay=1))


def containers(windows_dir):
    return harness.files_named(windows_dir, "in", ".sdd")


def decoded_images(windows_dir):
    return harness.files_named(windows_dir, "in", ".jpg")




def plane_on_screen(shot, desktop):
    """The slot whose colour covers a good part of a plane's body where the
    screen differs from the desktop, or None."""
    # Only the changed pixels are looked at: the watch must not fall behind
    # the planes on a busy machine.
    changed = shot[np.any(shot != desktop, axis=2)].astype(int)
    for slot, colour in SLOT_COLOURS.items():
        if np.count_nonzero(np.all(np.abs(changed - colour) <= 24, axis=1)) >= 1500:
            return slot
    return None


def watch_planes(display, desktop, saver, wanted):
    """The slots of the next `wanted` planes seen one after another."""
    slots = []
    deadline = time.monotonic() + WATCH_TIMEOUT
    while len(slots) < wanted:
        assert saver.running(), "the saver ended while planes were watched"
        assert time.monotonic() < deadline, "planes seen in %ss: %s" % (WATCH_TIMEOUT, slots)
        slot = plane_on_screen(display.screenshot(), desktop)
        if slot is not None and (not slots or slots[-1] != slot):
            slots.append(slot)
    return slots


@pytest.fixture
def own_containers(prefix, tmp_path):
    scratch = tmp_path / "jpeg"
    scratch.mkdir()
    write_all_containers(prefix.windows_dir, scratch)
    return prefix.windows_dir


def hold_the_running_mark(prefix, directory):
    """Starts a program that holds the mark of a running saver, as a saver in
    another session does, until the test ends; returns once it holds it."""
    holder = compile_nsis(directory, "mark_holder", r'''
Section
  System::Call 'kernel32::CreateMutexA(i 0, i 0, t "Global\Skyvane saver running") i .r0'
  FileOpen $1 "$EXEDIR\mark.held" w
  FileClose $1
  Sleep 600000
SectionEnd
''')
    prefix.popen(holder)
    harness.wait_for((directory / "mark.held").exists, harness.START_TIMEOUT, "the running mark held")


def test_decoded_images_live_only_while_the_saver_runs(prefix, own_containers, start_saver, display, tmp_path):
    windows_dir = own_containers
    # An image left from a run that did not end properly is replaced.
    (windows_dir / "In5.jpg").write_bytes(b"stale image from an earlier run" * 100)
    # The temporary file of a run killed while it replaced a file goes at the
    # next start; another program's file of a like name stays.
    left_temporary, other_program = windows_dir / "sky1A2B.tmp", windows_dir / "skyline.tmp"
    # So do the decoded images of a killed saver at 200 % (whose pictures at
    # twice the size this run at 100 % never decodes) and those it put in its
    # folder in the user's temporary directory, which goes too; a user's own
    # picture of a like name stays.
    temporary_folder = next((prefix.path / "drive_c" / "users").glob("*/Temp")) / "Skyvane"
    (temporary_folder / "4242").mkdir(parents=True)
    left_images = [windows_dir / "In1x2.jpg", temporary_folder / "In3.jpg", temporary_folder / "In3x2.jpg",
                   temporary_folder / "4242" / "In4.jpg"]
    users = windows_dir / "Intro.jpg"
    an_hour_ago = time.time() - 3600
    for path in (left_temporary, other_program, *left_images, users):
        path.write_bytes(b"written before the start")
        os.utime(path, (an_hour_ago, an_hour_ago))
    before = {p.name: p.read_bytes() for p in containers(windows_dir)}
    assert len(before) >= 40

    saver = start_saver("/S")
    saver.wait_for_window()
    assert not left_temporary.exists(), "the temporary file of a killed run is still there"
    assert other_program.read_bytes() == b"written before the start"
    assert [p.name for p in left_images if p.exists()] == [], "a killed saver's decoded images are still there"
    assert not temporary_folder.exists(), "the killed saver's empty folder is still there"
    assert users.read_bytes() == b"written before the start"

    # The window shows only once the start-up has decoded every container.
    for name, data in before.items():
        image = windows_dir / (name[:-4] + ".jpg")
        assert image.is_file(), "%s has no decoded image beside it" % name
        assert image.read_bytes() == data[:3] + data[6:], "%s decoded wrongly" % name
    assert saver.running()

    display.key("space")
    saver.wait_ended()

    assert [p.name for p in decoded_images(windows_dir)] == ["Intro.jpg"], "decoded images left after the saver ended"
    after = {p.name: p.read_bytes() for p in containers(windows_dir)}
    assert {n: harness.sha256(windows_dir / n) for n in after} == \
        {n: harness.sha256(windows_dir / n) for n in before}
    assert after == before, "a container was changed"

    # A saver in another session reads the Windows directory's images, or,
    # of this account, the program's folder in the temporary directory. One
    # started meanwhile neither rewrites nor deletes them, though written
    # before its start: it flies from its own run's folder in that folder and
    # removes exactly that at its end.
    others = {"In1.jpg": b"the other saver's", "In2.jpg": b"the other saver's too"}
    for folder in (windows_dir, temporary_folder):
        folder.mkdir(exist_ok=True)
        for name, data in others.items():
            (folder / name).write_bytes(data)
            os.utime(folder / name, (an_hour_ago, an_hour_ago))
    hold_the_running_mark(prefix, tmp_path)
    saver = start_saver("/S")
    saver.wait_for_window()
    runs = [p for p in temporary_folder.iterdir() if p.is_dir()]
    assert len(runs) == 1 and runs[0].name.isdigit(), runs
    own = sorted(p.name for p in runs[0].glob("In*.jpg"))
    assert own == [p.name for p in decoded_images(tmp_path / "jpeg")], "the images are not in the saver's own folder"
    assert watch_planes(display, np.zeros((display.height, display.width, 3), np.uint8), saver, 1)
    display.key("space")
    saver.wait_ended()
    kept = {p.name: p.read_bytes() for p in decoded_images(windows_dir)}
    assert kept == dict(others, **{"Intro.jpg": b"written before the start"}), "the other saver's images changed"
    assert {p.name: p.read_bytes() for p in temporary_folder.iterdir()} == others, \
        "the other saver's images in the temporary folder changed, or the saver's own run folder outlived it"


def test_only_b52_flies_slot_11_at_random(prefix, own_containers, start_saver, display, desktop):
    set_types(prefix, {"B52"}, random_order=True)
    saver = start_saver("/S")
    saver.wait_for_window()
    # Planes of one slot follow each other with a short gap: look at several
    # moments, each must show slot 11.
    for _ in range(4):
        assert watch_planes(display, desktop, saver, 1) == [11]
    display.key("space")
    saver.wait_ended()


def test_no_type_switched_on_flies_every_type_in_catalogue_order(
        prefix, own_containers, start_saver, display, desktop):
    # A registry that switches every type off: rather than hang at start
    # behind its window, the saver flies the whole catalogue.
    set_types(prefix, set(), random_order=False)
    saver = start_saver("/S")
    saver.wait_for_window()
    slots = watch_planes(display, desktop, saver, 6)
    # A plane may be missed between two screenshots, but the ones seen come
    # in ascending slot order, from 20 round to 1.
    steps = [(b - a) % 20 for a, b in zip(slots, slots[1:])]
    assert all(0 < step <= 3 for step in steps), "planes came as slots %s" % slots
    types = {TYPE_OF_SLOT[slot] for slot in slots}
    assert len(types) >= 3, "planes of types %s only (slots %s)" % (sorted(types), slots)
    display.key("space")
    saver.wait_ended()
    assert decoded_images(own_containers) == []


def test_a_standard_user_with_read_only_containers_and_settings_sees_planes_fly(
        prefix, own_containers, start_saver, display, desktop):
    # Containers as copied from a CD, and a settings key the user may only read.
    set_types(prefix, {"B52"}, random_order=True)
    locked = prefix.run(harness.FIXTURES / "registry_lock.exe", SETTINGS_KEY.split("\\", 1)[1])
    assert locked.returncode == 0, "could not make the settings key read-only"
    before = {p.name: p.read_bytes() for p in containers(own_containers)}
    for container in containers(own_containers):
        container.chmod(0o444)

    saver = start_saver("/S")
    saver.wait_for_window()
    assert watch_planes(display, desktop, saver, 1) == [11]
    display.key("space")
    saver.wait_ended()

    assert {p.name: p.read_bytes() for p in containers(own_containers)} == before
    assert all(p.stat().st_mode & 0o222 == 0 for p in containers(own_containers))
    assert decoded_images(own_containers) == []


def flights_go_on_without_slot_5(prefix, display, desktop, saver, report):
    """Slot 5's failure is reported in one box when its turn comes; the
    flights then go on in catalogue order without slot 5, round past its turn
    again (a lower slot after a higher one), and no box comes back. A plane may
    be missed between two screenshots. A key ends the saver."""
    saver.wait_for_window()
    box = harness.wait_for(lambda: harness.message_box(prefix, "Skyvane!"), WATCH_TIMEOUT,
                           "the error box when slot 5 comes up")
    assert box["texts"] == [report], box["texts"]
    prefix.probe("press", "Skyvane!", "OK")
    slots = watch_planes(display, desktop, saver, 6)
    went_round = any(b < a for a, b in zip(slots, slots[1:]))
    assert 5 not in slots and went_round, "planes came as slots %s" % slots
    assert harness.message_box(prefix, "Skyvane!") is None
    display.key("space")
    saver.wait_ended()


def test_a_damaged_or_unreadable_container_is_reported_once_and_its_flight_skipped(
        prefix, own_containers, start_saver, display, desktop, tmp_path):
    # Slot 5 (F16) among the F16 and B52 flights: its white image's container
    # first held open by another program that lets nobody read it (a backup
    # or a virus scanner), then emptied.
    set_types(prefix, {"F16", "B52"}, random_order=False)
    held = tmp_path / "held"
    holder = prefix.popen(harness.FIXTURES / "file_holder.exe", prefix.windows_dir_windows + "\\In3.sdd",
                          "Z:" + str(held).replace("/", "\\"))
    harness.wait_for(held.exists, harness.START_TIMEOUT, "another program holding In3.sdd")
    flights_go_on_without_slot_5(prefix, display, desktop, start_saver("/S"), "I/O error 32.")
    os.killpg(holder.pid, signal.SIGKILL)
    holder.wait()
    assert decoded_images(own_containers) == []

    (own_containers / "In3.sdd").write_bytes(b"")
    flights_go_on_without_slot_5(prefix, display, desktop, start_saver("/S"), "JPEG error #53.")

    # When no enabled flight can be shown, one box, then the desktop stays
    # still and a key still ends the saver.
    set_types(prefix, {"B52"}, random_order=False)
    (own_containers / "In23.sdd").write_bytes(b"")
    saver = start_saver("/S")
    box = harness.wait_for(lambda: harness.message_box(prefix, "Skyvane!"), harness.START_TIMEOUT, "the error box")
    assert box["texts"] == ["JPEG error #53."], box["texts"]
    prefix.probe("press", "Skyvane!", "OK")
    saver.wait_for_window()
    harness.wait_for(lambda: np.array_equal(display.screenshot(), desktop), harness.START_TIMEOUT, "the still desktop")
    assert harness.message_box(prefix, "Skyvane!") is None
    display.key("space")
    saver.wait_ended()
    assert decoded_images(own_containers) == []
