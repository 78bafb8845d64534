"""The image containers at a saver run: every "In*.sdd" in C:\\windows has its
"In*.jpg" beside it while the saver runs, none is left once a key has ended
it, and the containers themselves are never changed. Also the plane choice
as the screen shows it: the settings' types pick the plane, and a registry
with no type switched on still flies planes instead of hanging the saver.
"""
import subprocess

import numpy as np
import pytest

import harness

SETTINGS_KEY = r"HKLM\Software\Brelmor\Skyvane"
TYPE_VALUES = ["F16", "SR71", "F15", "Awac", "U2", "B52", "Wing", "F117", "B2", "F22", "Other"]

# (white image, black image) of every slot, slot 1 first.
SLOT_IMAGES = [(1, 2), (11, 12), (5, 6), (17, 18), (3, 4), (7, 8), (45, 46), (15, 16), (19, 20), (33, 34),
               (23, 24), (25, 26), (43, 44), (27, 28), (31, 32), (29, 30), (37, 38), (39, 40), (41, 42),
               (9, 10)]

# A colour of its own for each slot's plane: hue steps at full saturation, so
# no two are alike and none is near white or black.
SLOT_COLOURS = {}
for _slot in range(1, 21):
    _hue = (_slot - 1) * 18
    SLOT_COLOURS[_slot] = "hsl(%d,100%%,45%%)" % _hue

PLANE_SIZE = (300, 120)


def make_jpeg(path, background, colour):
    """A plane: a solid rectangle of colour on a solid background, by ImageMagick."""
    width, height = PLANE_SIZE
    subprocess.run(["convert", "-size", "%dx%d" % PLANE_SIZE, "xc:%s" % background, "-fill", colour,
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


def colour_rgb(colour):
    out = subprocess.run(["convert", "xc:%s" % colour, "-depth", "8", "txt:-"], check=True,
                         capture_output=True, text=True, timeout=60).stdout
    # "0,0: (r,g,b)  #RRGGBB  srgb(...)"
    hex_part = out.split("#")[1][:6]
    return tuple(int(hex_part[i:i + 2], 16) for i in (0, 2, 4))


def set_types(prefix, enabled, random_order):
    for name in TYPE_VALUES:
        prefix.reg_add(SETTINGS_KEY, name, "REG_DWORD", 1 if name in enabled else 0)
    prefix.reg_add(SETTINGS_KEY, "Random", "REG_DWORD", 1 if random_order else 0)
    prefix.reg_add(SETTINGS_KEY, "Fake", "REG_DWORD", 0)
    prefix.reg_add(SETTINGS_KEY, "Delay", "REG_DWORD", 1)


def containers(windows_dir):
    return sorted(p for p in windows_dir.iterdir() if p.name.lower().startswith("in")
                  and p.name.lower().endswith(".sdd"))


def decoded_images(windows_dir):
    return sorted(p for p in windows_dir.iterdir() if p.name.lower().startswith("in")
                  and p.name.lower().endswith(".jpg"))


def planes_seen(display, desktop, timeout):
    """Slots whose colour covers a plane-sized patch of the screen at some
    moment, polled until one is seen."""
    colours = {slot: np.array(colour_rgb(colour), dtype=int) for slot, colour in SLOT_COLOURS.items()}

    def look():
        shot = display.screenshot().astype(int)
        changed = np.any(shot != desktop, axis=2)
        seen = set()
        for slot, rgb in colours.items():
            near = np.all(np.abs(shot - rgb) <= 24, axis=2) & changed
            if near.sum() >= 2000:
                seen.add(slot)
        return seen

    return harness.wait_for(look, timeout, "a plane on the screen", interval=0.1)


@pytest.fixture
def own_containers(prefix, tmp_path):
    scratch = tmp_path / "jpeg"
    scratch.mkdir()
    write_all_containers(prefix.windows_dir, scratch)
    return prefix.windows_dir


def test_decoded_images_live_only_while_the_saver_runs(prefix, own_containers, start_saver, display):
    windows_dir = own_containers
    # An image left from a run that did not end properly is replaced.
    (windows_dir / "In5.jpg").write_bytes(b"stale image from an earlier run" * 100)
    before = {p.name: p.read_bytes() for p in containers(windows_dir)}
    assert len(before) >= 40

    saver = start_saver("/S")
    saver.wait_for_window()

    # The window shows only once the start-up has decoded every container.
    for name, data in before.items():
        image = windows_dir / (name[:-4] + ".jpg")
        assert image.is_file(), "%s has no decoded image beside it" % name
        assert image.read_bytes() == data[:3] + data[6:], "%s decoded wrongly" % name
    assert saver.running()

    display.key("space")
    saver.wait_ended()

    assert decoded_images(windows_dir) == [], "decoded images left after the saver ended"
    after = {p.name: p.read_bytes() for p in containers(windows_dir)}
    assert {n: harness.sha256(windows_dir / n) for n in after} == \
        {n: harness.sha256(windows_dir / n) for n in before}
    assert after == before, "a container was changed"


def test_only_b52_flies_slot_11(prefix, own_containers, start_saver, display, desktop):
    set_types(prefix, {"B52"}, random_order=True)
    saver = start_saver("/S")
    saver.wait_for_window()
    seen = set()
    for _ in range(3):
        seen |= planes_seen(display, desktop, harness.START_TIMEOUT)
    assert seen == {11}
    display.key("space")
    saver.wait_ended()


def test_no_type_switched_on_flies_every_type_in_order(prefix, own_containers, start_saver, display, desktop):
    # A registry that switches every type off: the saver must neither hang at
    # start nor show nothing; it flies the whole catalogue from slot 1.
    set_types(prefix, set(), random_order=False)
    saver = start_saver("/S")
    saver.wait_for_window()
    first = planes_seen(display, desktop, harness.START_TIMEOUT)
    assert first == {1}, "first plane seen: slots %s" % sorted(first)
    display.key("space")
    saver.wait_ended()
    assert decoded_images(own_containers) == []
