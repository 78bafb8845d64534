"""The fake desktop background under /S: "screen.bmp" from C:\\windows shown at
its own size from the top-left corner, made once from "screen.jpg" when it is
missing, and the error box when neither exists."""
import struct

import numpy as np
from PIL import Image

import harness

from program_facts import SETTINGS_KEY


def use_fake_desktop(prefix):
    """A settings key with only Fake set: every other value takes its default."""
    prefix.reg_add(SETTINGS_KEY, "Fake", "REG_DWORD", 1)


def button_face(prefix):
    result = prefix.reg("query", r"HKCU\Control Panel\Colors", "/v", "ButtonFace")
    assert result.returncode == 0, "no ButtonFace colour in the prefix: %s" % result.stderr
    text = result.stdout.split("REG_SZ", 1)[1].split()
    return np.array([int(part) for part in text[:3]], dtype=np.uint8)


def remove_pictures(prefix):
    for name in ("screen.bmp", "screen.jpg"):
        for path in harness.files_named(prefix.windows_dir, name):
            path.unlink()


def picture_of(tmp_path, name, width, height, seed):
    return harness.load_rgb(harness.make_desktop_picture(tmp_path / name, width, height, seed=seed))


def only_a_stock_picture(prefix, tmp_path, seed, size=(640, 480)):
    """A stock picture screen.jpg (640 x 480 unless size says) and no
    screen.bmp; returns the file and the picture's pixels before JPEG coding."""
    picture = picture_of(tmp_path, "stock.png", *size, seed=seed)
    remove_pictures(prefix)
    stock = prefix.windows_dir / "screen.jpg"
    Image.fromarray(picture).save(stock, quality=95)
    return stock, picture


def bmp_header(path):
    """(header size, width, height, bits per pixel, compression) of a BMP file."""
    data = path.read_bytes()
    assert data[:2] == b"BM", "%s is no BMP file" % path
    size, width, height, _planes, bits, compression = struct.unpack_from("<IiiHHI", data, 14)
    return size, width, height, bits, compression


def scene_as_screen(picture, screen_shape, face):
    """What the screen shows for a fake desktop picture: the picture from the
    top-left corner, cut at the screen's edges, button face around it."""
    expected = np.empty(screen_shape, dtype=np.uint8)
    expected[:, :] = face
    height = min(picture.shape[0], screen_shape[0])
    width = min(picture.shape[1], screen_shape[1])
    expected[:height, :width] = picture[:height, :width]
    return expected


def wait_for_scene(display, expected, what):
    """Waits until the screen shows expected (but for a flying plane); returns that screenshot."""
    def matching_shot():
        shot = display.screenshot()
        return [shot] if harness.shows_picture_but_a_plane(shot, expected) else None
    return harness.wait_for(matching_shot, harness.START_TIMEOUT, what)[0]


def outside_is_plain(shot, width, height, face):
    """True when every pixel right of and below width x height is face."""
    return bool(np.all(shot[height:, :] == face) and np.all(shot[:, width:] == face))


def saver_boxes(prefix):
    """Text of the message boxes captioned "Skyvane!" (the error box)."""
    controls = prefix.probe("dialog", "Skyvane!")
    return [c["text"] for c in controls if c["class"] == "Static" and not c["icon"] and c["text"]]


def wait_for_window_without_error(saver, prefix):
    """Waits for the saver window; an error box (shown before the window) fails."""
    def shown_or_box():
        boxes = saver_boxes(prefix)
        assert not boxes, "the saver showed an error box: %s" % boxes
        assert saver.running(), "the saver ended before its window showed"
        return [w for w in prefix.saver_windows() if w["visible"]]
    harness.wait_for(shown_or_box, harness.START_TIMEOUT, "the saver window")


def start_over_fake_desktop(prefix, start_saver, picture):
    """The saver on a fake desktop whose screen.bmp is picture (pixels);
    returns the running saver, its window shown without an error box."""
    remove_pictures(prefix)
    Image.fromarray(picture).save(prefix.windows_dir / "screen.bmp")
    use_fake_desktop(prefix)
    saver = start_saver("/S")
    wait_for_window_without_error(saver, prefix)
    return saver


def test_a_smaller_picture_fills_the_top_left_and_the_rest_shows_the_button_face(
        display, prefix, start_saver, tmp_path):
    picture = picture_of(tmp_path, "fake.png", 800, 600, seed=11)
    face = button_face(prefix)
    saver = start_over_fake_desktop(prefix, start_saver, picture)
    expected = scene_as_screen(picture, (display.height, display.width, 3), face)
    shot = wait_for_scene(display, expected, "the 800 x 600 fake desktop at the top-left corner")
    assert outside_is_plain(shot, 800, 600, face), (
        "outside the 800 x 600 picture the screen is not all button face %s" % (face,))

    # Planes are seen only where they cross the picture: the rest stays plain.
    harness.holds(lambda: outside_is_plain(display.screenshot(), 800, 600, face),
                  "nothing drawn outside the picture")

    display.key("a")
    saver.wait_ended()


def test_a_larger_picture_is_cut_at_the_right_and_bottom_edges(display, prefix, start_saver, tmp_path):
    picture = picture_of(tmp_path, "fake.png", 1280, 1024, seed=12)
    remove_pictures(prefix)
    Image.fromarray(picture).save(prefix.windows_dir / "screen.bmp")
    use_fake_desktop(prefix)

    saver = start_saver("/S")
    wait_for_window_without_error(saver, prefix)
    expected = picture[:display.height, :display.width]
    harness.wait_for(lambda: harness.shows_picture_but_a_plane(display.screenshot(), expected),
                     harness.START_TIMEOUT, "the top-left 1024 x 768 of the 1280 x 1024 fake desktop")
    display.key("a")
    saver.wait_ended()


def test_the_stock_picture_is_stored_once_as_a_24_bit_bitmap_and_then_used_alone(
        display, prefix, start_saver, tmp_path):
    stock, picture = only_a_stock_picture(prefix, tmp_path, seed=13)
    use_fake_desktop(prefix)
    face = button_face(prefix)
    stored = prefix.windows_dir / "screen.bmp"

    saver = start_saver("/S")
    wait_for_window_without_error(saver, prefix)
    assert stored.is_file(), "no screen.bmp was written from screen.jpg"
    assert bmp_header(stored) == (40, 640, 480, 24, 0), "screen.bmp header: %s" % (bmp_header(stored),)
    written = harness.load_rgb(stored)
    decoded = harness.load_rgb(stock)
    difference = np.abs(written.astype(int) - decoded.astype(int)).mean()
    assert difference < 2, "screen.bmp is not the stock picture (mean difference %.1f)" % difference

    expected = scene_as_screen(written, (display.height, display.width, 3), face)
    shot = wait_for_scene(display, expected, "the stored stock picture at the top-left corner")
    assert outside_is_plain(shot, 640, 480, face)
    display.key("a")
    saver.wait_ended()

    # The next start loads screen.bmp and never reads screen.jpg: a damaged
    # stock picture goes unnoticed and the stored one is kept as it was.
    before = harness.sha256(stored)
    stock.write_bytes(b"this is no longer a JPEG file")
    again = start_saver("/S")
    wait_for_window_without_error(again, prefix)
    harness.wait_for(lambda: harness.shows_picture_but_a_plane(display.screenshot(), expected),
                     harness.START_TIMEOUT, "the stored picture on the second start")
    assert harness.sha256(stored) == before, "screen.bmp changed on the second start"
    display.key("a")
    again.wait_ended()


def test_without_either_picture_the_error_names_screen_jpg_and_a_key_still_ends_the_saver(
        display, prefix, start_saver):
    remove_pictures(prefix)
    use_fake_desktop(prefix)
    face = button_face(prefix)
    windows_dir = prefix.probe("system")[0]["windows_dir"]

    saver = start_saver("/S")
    boxes = harness.wait_for(lambda: saver_boxes(prefix), harness.START_TIMEOUT, "the error box")
    assert boxes == ["Cannot open file %s\\screen.jpg." % windows_dir], "error box text: %s" % boxes
    icons = [c for c in prefix.probe("dialog", "Skyvane!") if c["icon"]]
    assert icons and icons[0]["has_image"], "the error box shows no icon"
    assert not (prefix.windows_dir / "screen.bmp").exists(), "a screen.bmp appeared from nothing"

    assert prefix.probe("press", "Skyvane!", "OK") is not None
    harness.wait_for(lambda: not saver_boxes(prefix), harness.END_TIMEOUT, "the error box to close")
    saver.wait_for_window()

    # The window shows its background colour only, and no plane starts.
    plain = np.empty((display.height, display.width, 3), dtype=np.uint8)
    plain[:, :] = face
    harness.wait_for(lambda: np.array_equal(display.screenshot(), plain), harness.START_TIMEOUT,
                     "the button face colour over the whole screen")
    harness.holds(lambda: np.array_equal(display.screenshot(), plain), "nothing drawn after the failed start")

    display.key("a")
    saver.wait_ended()
    assert not prefix.saver_windows()


def test_a_greyscale_stock_picture_is_stored_at_8_bits_with_a_grey_palette(display, prefix, start_saver, tmp_path):
    grey = Image.fromarray(picture_of(tmp_path, "stock.png", 320, 240, seed=14)).convert("L")
    remove_pictures(prefix)
    stock = prefix.windows_dir / "screen.jpg"
    grey.save(stock, quality=95)
    use_fake_desktop(prefix)
    stored = prefix.windows_dir / "screen.bmp"

    saver = start_saver("/S")
    wait_for_window_without_error(saver, prefix)
    assert bmp_header(stored) == (40, 320, 240, 8, 0), "screen.bmp header: %s" % (bmp_header(stored),)
    with Image.open(stored) as written:
        palette = np.array(written.getpalette()[:3 * 256]).reshape(-1, 3)
        assert np.all(palette[:, 0] == palette[:, 1]) and np.all(palette[:, 1] == palette[:, 2]), (
            "the palette of screen.bmp holds colours that are not grey")
        shown = np.asarray(written.convert("RGB")).copy()
    difference = np.abs(shown[:, :, 0].astype(int) - np.asarray(grey).astype(int)).mean()
    assert difference < 4, "screen.bmp is not the stock picture (mean difference %.1f)" % difference
    face = button_face(prefix)
    wait_for_scene(display, scene_as_screen(shown, (display.height, display.width, 3), face),
                   "the greyscale stock picture at the top-left corner")
    display.key("a")
    saver.wait_ended()


def test_a_damaged_screen_bmp_is_reported_once_and_the_stock_picture_shown_instead(
        display, prefix, start_saver, tmp_path):
    # As large as the screen: the planes fly over the picture only, each at
    # a height of chance, and one must be seen over it.
    stock, picture = only_a_stock_picture(prefix, tmp_path, seed=15, size=(display.width, display.height))
    stored = prefix.windows_dir / "screen.bmp"
    Image.fromarray(picture_of(tmp_path, "mine.png", 640, 480, seed=16)).save(stored)
    stored.write_bytes(stored.read_bytes()[:40000])   # cut off part-way
    damaged = harness.sha256(stored)
    use_fake_desktop(prefix)
    face = button_face(prefix)

    def box_then_window():
        saver = start_saver("/S")
        boxes = harness.wait_for(lambda: saver_boxes(prefix), harness.START_TIMEOUT, "the error box")
        assert boxes == ["Bitmap image is not valid."], boxes
        prefix.probe("press", "Skyvane!", "OK")
        saver.wait_for_window()
        return saver

    saver = box_then_window()
    expected = scene_as_screen(harness.load_rgb(stock), (display.height, display.width, 3), face)
    harness.wait_for(lambda: harness.shows_picture_but_a_plane(display.screenshot(), expected, tolerance=8),
                     harness.START_TIMEOUT, "the stock picture at the top-left corner")
    harness.wait_for(lambda: harness.difference_box(display.screenshot(), expected, tolerance=8),
                     harness.START_TIMEOUT, "a plane over the stock picture")
    assert not saver_boxes(prefix), "a second error box"
    display.key("a")
    saver.wait_ended()
    assert harness.sha256(stored) == damaged, "the user's screen.bmp was written over"

    # Without a stock picture either: the background colour only, as ever.
    stock.unlink()
    saver = box_then_window()
    plain = np.empty((display.height, display.width, 3), dtype=np.uint8)
    plain[:, :] = face
    harness.wait_for(lambda: np.array_equal(display.screenshot(), plain), harness.START_TIMEOUT,
                     "the button face colour over the whole screen")
    display.key("a")
    saver.wait_ended()
    assert harness.sha256(stored) == damaged
