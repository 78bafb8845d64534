"""Drives skyvane.scr from outside: an Xvfb display, a private Wine prefix, the
saver process, and the probes that look at windows, files and the registry.

Everything here waits by polling a condition with a generous timeout; nothing
measures how long something took.
"""
import hashlib
import io
import json
import os
import random
import re
import signal
import struct
import subprocess
import sys
import tempfile
import time
from pathlib import Path

import numpy as np
from PIL import Image, ImageDraw

REPO = Path(__file__).resolve().parents[2]
sys.path.insert(0, str(REPO / "scripts"))
import xvfb  # noqa: E402  the one way Xvfb is started, shared with scripts/wine-env.sh

BUILD = Path(os.environ.get("SKYVANE_BUILD", REPO / "build"))
CROSS = Path(os.environ.get("SKYVANE_CROSS_BUILD", BUILD / "cross"))
FIXTURES = CROSS / "tests" / "win32" / "fixtures"
PREFIXES = BUILD / "wine-prefixes"

# Generous: Wine on two shared cores can be slow to start a program.
START_TIMEOUT = 60
END_TIMEOUT = 30
# No Gecko or Mono, and no copies of Start menu entries into the host's menus.
WINE_VARIABLES = {"WINEARCH": "win32", "WINEDEBUG": "-all",
                  "WINEDLLOVERRIDES": "mscoree,mshtml=;winemenubuilder.exe=d"}

FULL_ROOT_KEYS = {"HKLM": "HKEY_LOCAL_MACHINE", "HKCU": "HKEY_CURRENT_USER"}

# The largest rectangle a flying plane changes: the save buffer under it.
PLANE_AREA = (637, 462)


def wait_for(condition, timeout, what, interval=0.2):
    """Polls condition() until it returns something true; fails naming what."""
    deadline = time.monotonic() + timeout
    while True:
        result = condition()
        if result:
            return result
        if time.monotonic() > deadline:
            raise AssertionError("timed out after %ss waiting for %s" % (timeout, what))
        time.sleep(interval)


# How long a test watches for something that must not happen (a window that
# closes, a box that opens, a scene that changes) before it takes the quiet as
# the answer: long enough for a wrongly started reaction to have shown.
QUIET_SECONDS = 3


def holds(condition, what, seconds=QUIET_SECONDS, interval=0.2):
    """Checks condition() again and again for seconds; fails at the first
    moment it is false, naming what should have held."""
    deadline = time.monotonic() + seconds
    while True:
        assert condition(), "%s no longer held" % what
        if time.monotonic() > deadline:
            return
        time.sleep(interval)


def files_named(directory, prefix="", suffix=""):
    """The files of directory whose names start with prefix and end with
    suffix, as Windows matches them (ignoring case), sorted by name."""
    return sorted((p for p in Path(directory).iterdir() if p.is_file()
                   and p.name.lower().startswith(prefix.lower()) and p.name.lower().endswith(suffix.lower())),
                  key=lambda p: p.name)


def wine_env_function(name, *args):
    """Runs one of the shell functions of scripts/wine-env.sh; returns its output."""
    return subprocess.run(
        ["bash", "-c", 'source "$1" && shift && "$@"', "-", str(REPO / "scripts" / "wine-env.sh"), name,
         *map(str, args)],
        check=True, capture_output=True, text=True, env=dict(os.environ, SKYVANE_BUILD=str(BUILD))).stdout


def template_prefix():
    """The run's template prefix, booted once (scripts/wine-env.sh keeps it)."""
    return Path(wine_env_function("skyvane_template_prefix").strip().splitlines()[-1])


def saver_program():
    """skyvane.scr wherever the cross build put it (or SKYVANE_SAVER_PROGRAM), or None."""
    if os.environ.get("SKYVANE_SAVER_PROGRAM"):
        return Path(os.environ["SKYVANE_SAVER_PROGRAM"])
    for candidate in (CROSS / "skyvane.scr", CROSS / "app" / "skyvane.scr"):
        if candidate.is_file():
            return candidate
    found = sorted(CROSS.rglob("skyvane.scr")) if CROSS.is_dir() else []
    return found[0] if found else None


def sha256(path):
    return hashlib.sha256(Path(path).read_bytes()).hexdigest()


class Display:
    """An Xvfb server on a free display number, with the X-side helpers."""

    def __init__(self, screen="1024x768x24"):
        self.screen = screen
        self.width, self.height, self.depth = (int(part) for part in screen.split("x"))
        self.process = None
        self.name = None

    def start(self):
        self.process, self.name = xvfb.start(self.screen)
        return self

    @property
    def env(self):
        return dict(os.environ, DISPLAY=self.name)

    def set_monitors(self, *geometries):
        """Splits the screen into monitors ("WIDTHxHEIGHT+X+Y" each, the first
        the primary) through RandR 1.5, whose pseudo-Xinerama Wine's 32-bit
        X11 driver reads (it has no 32-bit XRandR to ask) before its first
        program starts."""
        for index, geometry in enumerate(geometries):
            width, height, x, y = (int(part) for part in re.match(r"(\d+)x(\d+)\+(\d+)\+(\d+)$", geometry).groups())
            # The first takes the screen's only output, so Xvfb's own whole-screen monitor goes.
            self.x("xrandr", "--setmonitor", "SKYVANE%d" % index, "%d/%dx%d/%d+%d+%d" % (
                width, width * 254 // 960, height, height * 254 // 960, x, y), "screen" if index == 0 else "none")
        listed = self.x("xrandr", "--listmonitors").stdout
        assert listed.startswith("Monitors: %d" % len(geometries)), listed

    def x(self, *command):
        return subprocess.run(list(command), env=self.env, capture_output=True, text=True, timeout=60)

    def stop(self):
        if self.process:
            self.process.terminate()
            try:
                self.process.wait(10)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()
            self.process = None
    
    # --- the desktop picture -------------------------------------------------
    #
    # The desktop is a picture painted on the root window. It stays there while
    # programs start and windows close because the server runs with -noreset
    # (without it, the server resets, and the root turns black, whenever its
    # last client leaves).

    def show_desktop(self, picture):
        """Paints picture (a file of exactly the screen's size) on the root and
        returns the screen's pixels then: the picture itself at 24 bits, its
        reduction to the display's colours at lower depths."""
        subprocess.run(["display", "-window", "root", str(picture)], env=self.env,
                       stdin=subprocess.DEVNULL, capture_output=True, timeout=60)
        expected = load_rgb(picture)
        if self.depth >= 24:
            wait_for(lambda: np.array_equal(self.screenshot(), expected), START_TIMEOUT,
                     "the desktop picture on the screen")
            return expected

        def close_and_steady():
            first = self.screenshot()
            near = np.abs(first.astype(int) - expected.astype(int)).mean() < 16
            return near and np.array_equal(first, self.screenshot()) and [first]
        return wait_for(close_and_steady, START_TIMEOUT, "the desktop picture on the screen")[0]

    def change_desktop(self, directory):
        """Paints a different picture (the negative of the usual one) on the
        root; windows above it keep what they show."""
        picture = Path(directory) / "changed-desktop.png"
        make_desktop_picture(picture, self.width, self.height)
        with Image.open(picture) as image:
            Image.eval(image, lambda value: 255 - value).save(picture)
        subprocess.run(["display", "-window", "root", str(picture)], env=self.env,
                       stdin=subprocess.DEVNULL, capture_output=True, timeout=60)

    # --- looking and touching --------------------------------------------------

    def screenshot(self, save_to=None):
        """The screen's pixels as (height, width, 3) bytes; save_to keeps them as a PNG."""
        pixels = true_colour_pixels(self.window_dump())
        if pixels is None:   # a screen of fewer colours: ImageMagick reads its colour map
            out = subprocess.run(["import", "-window", "root", "png:-"], env=self.env,
                                 capture_output=True, check=True, timeout=60).stdout
            with Image.open(io.BytesIO(out)) as image:
                pixels = np.asarray(image.convert("RGB")).copy()
        if save_to:
            Image.fromarray(pixels).save(save_to)
        return pixels

    def window_dump(self, attempts=10):
        """xwd's dump of the root window. xwd looks at every window on the
        screen for its colours, and a window that closes meanwhile fails it:
        then it is asked again."""
        for _ in range(attempts - 1):
            dump = subprocess.run(["xwd", "-root", "-silent"], env=self.env, capture_output=True, timeout=60)
            if dump.returncode == 0:
                return dump.stdout
        return subprocess.run(["xwd", "-root", "-silent"], env=self.env, capture_output=True, check=True,
                              timeout=60).stdout

    def windows_named(self, name):
        """X window ids of the mapped windows whose name is exactly name."""
        result = self.x("xdotool", "search", "--onlyvisible", "--name", "^%s$" % name)
        return result.stdout.split()

    def visible_windows(self):
        """Ids of every mapped X window."""
        return set(self.x("xdotool", "search", "--onlyvisible", "--name", "").stdout.split())

    def key(self, *keys):
        self.x("xdotool", "key", *keys)

    def click(self, button):
        self.x("xdotool", "click", str(button))

    def move_mouse(self, x, y):
        self.x("xdotool", "mousemove", str(x), str(y))


# The fields of an X window dump's header (XWDFileHeader), big-endian words.
XWD_FIELDS = ("header_size", "file_version", "pixmap_format", "pixmap_depth", "pixmap_width", "pixmap_height",
              "xoffset", "byte_order", "bitmap_unit", "bitmap_bit_order", "bitmap_pad", "bits_per_pixel",
              "bytes_per_line", "visual_class", "red_mask", "green_mask", "blue_mask", "bits_per_rgb",
              "colormap_entries", "ncolors")


def true_colour_pixels(dump):
    """The pixels of an xwd dump of a 24-bit screen (32 bits a pixel, blue in
    the low byte), or None for any other layout. xwd hands over the server's
    pixels as they are: no encoding on the way, which a 4K screen needs to be
    looked at often on a busy machine."""
    header = dict(zip(XWD_FIELDS, struct.unpack(">20I", dump[:80])))
    if (header["pixmap_format"], header["pixmap_depth"], header["bits_per_pixel"], header["byte_order"]) != (2, 24, 32, 0) \
            or (header["red_mask"], header["green_mask"], header["blue_mask"]) != (0xFF0000, 0xFF00, 0xFF):
        return None
    width, height, stride = header["pixmap_width"], header["pixmap_height"], header["bytes_per_line"]
    start = header["header_size"] + 12 * header["ncolors"]
    rows = np.frombuffer(dump, dtype=np.uint8, count=stride * height, offset=start).reshape(height, stride)
    return rows[:, :4 * width].reshape(height, width, 4)[:, :, 2::-1].copy()


def load_rgb(path):
    with Image.open(path) as image:
        return np.asarray(image.convert("RGB")).copy()


def make_desktop_picture(path, width, height, seed=7):
    """A busy picture, unlike any plain colour a window could fill the screen with."""
    rng = random.Random(seed)
    image = Image.new("RGB", (width, height))
    draw = ImageDraw.Draw(image)
    for y in range(height):
        draw.line([(0, y), (width - 1, y)], fill=(y * 255 // height, 90, 255 - y * 255 // height))
    for _ in range(40):
        x, y = rng.randrange(width), rng.randrange(height)
        colour = tuple(rng.randrange(256) for _ in range(3))
        draw.rectangle([x, y, x + rng.randrange(20, 200), y + rng.randrange(20, 150)], fill=colour)
    image.save(path)
    return path


def difference_box(shot, picture, tolerance=0):
    """Bounding box (left, top, right, bottom) of the pixels that differ in a
    channel by more than tolerance, or None."""
    differs = np.any(np.abs(shot.astype(int) - picture.astype(int)) > tolerance, axis=2)
    if not differs.any():
        return None
    rows = np.flatnonzero(differs.any(axis=1))
    cols = np.flatnonzero(differs.any(axis=0))
    return int(cols[0]), int(rows[0]), int(cols[-1]) + 1, int(rows[-1]) + 1


def shows_picture_but_a_plane(shot, picture, tolerance=0):
    """True when shot equals picture except inside one plane-sized rectangle
    (a plane may already be flying when the screenshot is taken)."""
    box = difference_box(shot, picture, tolerance)
    if box is None:
        return True
    left, top, right, bottom = box
    return right - left <= PLANE_AREA[0] and bottom - top <= PLANE_AREA[1]


class Prefix:
    """A private Wine prefix copied from the template, with its own wineserver."""

    def __init__(self, template, display):
        PREFIXES.mkdir(parents=True, exist_ok=True)
        self.path = Path(tempfile.mkdtemp(prefix="e2e-", dir=PREFIXES))
        wine_env_function("skyvane_copy_template", template, self.path)
        self.display = display
        self.windows_dir = self.path / "drive_c" / "windows"
        self.processes = []
        self._system = None

    @property
    def env(self):
        env = dict(os.environ, WINEPREFIX=str(self.path), DISPLAY=self.display.name, **WINE_VARIABLES)
        return env

    def start(self):
        """Starts the prefix's wineserver and its first program (Wine's own
        desktop processes come up with it)."""
        subprocess.run(["wineserver", "-p"], env=self.env, check=True, timeout=60)
        self._system = self.probe("system")[0]
        return self

    def stop(self):
        for process in self.processes:
            if process.poll() is None:
                process.kill()
                process.wait()
        # Not -k9: a server killed at once leaves its programs behind, for good.
        subprocess.run(["wineserver", "-k"], env=self.env, capture_output=True, timeout=60)
        subprocess.run(["wineserver", "-w"], env=self.env, capture_output=True, timeout=60)
        wine_env_function("skyvane_remove_prefix", self.path)

    # --- paths ---------------------------------------------------------------

    def unix_path(self, windows_path):
        """C:\\windows\\system32 -> <prefix>/drive_c/windows/system32 (case as on disk)."""
        drive, rest = windows_path.split(":", 1)
        assert drive.upper() == "C", windows_path
        path = self.path / "drive_c"
        for part in [p for p in rest.split("\\") if p]:
            matches = [c for c in path.iterdir() if c.name.lower() == part.lower()] if path.is_dir() else []
            path = matches[0] if matches else path / part
        return path

    @property
    def button_face(self):
        """The system's button-face colour as (red, green, blue)."""
        return tuple(self._system["button_face"])

    @property
    def windows_dir_windows(self):
        return self._system["windows_dir"]

    @property
    def system_dir(self):
        return self.unix_path(self._system["system_dir"])

    @property
    def system_dir_windows(self):
        return self._system["system_dir"]

    # --- programs ------------------------------------------------------------

    def popen(self, program, *args):
        """Starts a program; its output goes to a log file in the prefix."""
        log = open(self.path / ("program-%d.log" % len(self.processes)), "wb")
        process = subprocess.Popen(["wine", str(program), *args], env=self.env,
                                   stdin=subprocess.DEVNULL, stdout=log, stderr=subprocess.STDOUT,
                                   start_new_session=True)
        log.close()
        self.processes.append(process)
        return process

    def run(self, program, *args, timeout=START_TIMEOUT):
        """Runs a program to its end and returns (exit code, stdout, stderr).

        Output goes through files, not pipes: Wine's service processes that a
        program may start inherit its handles and would keep a pipe open."""
        with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
            process = subprocess.Popen(["wine", str(program), *args], env=self.env,
                                       stdin=subprocess.DEVNULL, stdout=out, stderr=err)
            try:
                process.wait(timeout)
            except subprocess.TimeoutExpired:
                process.kill()
                process.wait()
                raise AssertionError("wine %s %s did not end within %ss" % (program, args, timeout))
            out.seek(0)
            err.seek(0)
            return subprocess.CompletedProcess(
                process.args, process.returncode,
                out.read().decode("utf-8", "replace"), err.read().decode("utf-8", "replace"))

    def probe(self, *args):
        """Runs window_probe.exe and returns its JSON lines as dicts."""
        result = self.run(FIXTURES / "window_probe.exe", *args)
        assert result.returncode in (0, 1), "window_probe %s: %s" % (args, result.stderr)
        return [json.loads(line) for line in result.stdout.splitlines() if line.startswith("{")]

    def saver_windows(self):
        return self.probe("windows", "TForm1", "quillon7")

    def processor_ticks(self, program_name):
        """User plus system clock ticks of this prefix's Wine process whose command
        line names program_name (fields 14 and 15 of /proc/PID/stat)."""
        prefix = ("WINEPREFIX=%s" % self.path).encode()
        for entry in Path("/proc").iterdir():
            if not entry.name.isdigit():
                continue
            try:
                if program_name.encode() not in (entry / "cmdline").read_bytes():
                    continue
                if prefix not in (entry / "environ").read_bytes().split(b"\0"):
                    continue
                fields = (entry / "stat").read_text().rsplit(")", 1)[1].split()
            except OSError:
                continue
            return int(fields[11]) + int(fields[12])
        raise AssertionError("no Wine process of %s in %s" % (program_name, self.path))

    # --- registry ------------------------------------------------------------

    def reg(self, *args):
        result = self.run("reg", *args)
        return result

    def reg_import(self, text):
        """Imports registry text in the REGEDIT4 format."""
        reg_file = self.path / "import.reg"
        reg_file.write_text(text.replace("\n", "\r\n"))
        result = self.run("reg", "import", "Z:" + str(reg_file).replace("/", "\\"))
        assert result.returncode == 0, "reg import failed: %s" % (result.stdout + result.stderr)

    def set_dwords(self, key, values):
        """Writes REG_DWORD values ({name: number}) under key (HKLM\\... or
        HKCU\\...) in one import: one Wine program for them all."""
        root, rest = key.split("\\", 1)
        lines = "".join('"%s"=dword:%08x\n' % (name, value & 0xFFFFFFFF) for name, value in values.items())
        self.reg_import("REGEDIT4\n\n[%s\\%s]\n%s" % (FULL_ROOT_KEYS[root.upper()], rest, lines))

    def reg_add(self, key, name, kind, data):
        result = self.reg("add", key, "/v", name, "/t", kind, "/d", str(data), "/f")
        assert result.returncode == 0, "reg add %s %s: %s" % (key, name, result.stdout + result.stderr)

    def reg_delete(self, key, name=None):
        args = ["delete", key] + (["/v", name] if name else []) + ["/f"]
        return self.reg(*args).returncode == 0

    def reg_query(self, key):
        """{value name: (type, data text)} of key, or None when the key is missing."""
        result = self.reg("query", key)
        if result.returncode != 0:
            return None
        values = {}
        for line in result.stdout.splitlines():
            # "    NAME    REG_TYPE    DATA": fields apart by four spaces; a name may hold spaces.
            match = re.match(r"^    (.*?)    (REG_[A-Z_]+)(?:    (.*))?$", line.rstrip("\r"))
            if match:
                values[match.group(1)] = (match.group(2), match.group(3) or "")
        return values


def message_box(prefix, caption):
    """The text, buttons and icon of the visible message box with caption, or None."""
    controls = [c for c in prefix.probe("dialog", caption) if c["visible"]]
    if not controls:
        return None
    texts = [c["text"] for c in controls if c["class"] == "Static" and not c["icon"] and c["text"]]
    return {
        "texts": texts,
        "buttons": [c["text"] for c in controls if c["class"] == "Button"],
        "icons": [c for c in controls if c["icon"] and c["has_image"]],
    }


class Saver:
    """One run of `wine skyvane.scr ARGS`."""

    def __init__(self, prefix, program, *args):
        self.prefix = prefix
        self.process = prefix.popen(program, *args)

    def running(self):
        return self.process.poll() is None

    def wait_ended(self, timeout=END_TIMEOUT):
        try:
            self.process.wait(timeout)
        except subprocess.TimeoutExpired:
            raise AssertionError("the saver process was still running %ss later" % timeout)

    def wait_for_window(self, timeout=START_TIMEOUT):
        """Waits until the saver window is on the screen and returns the probe's view of it."""
        def shown():
            assert self.running(), "the saver ended before its window showed (exit code %s)" % (
                self.process.returncode,)
            windows = [w for w in self.prefix.saver_windows() if w["visible"]]
            return windows
        return wait_for(shown, timeout, "the saver window (TForm1, \"quillon7\") to show")

    def kill(self):
        if self.running():
            os.killpg(self.process.pid, signal.SIGKILL)
            self.process.wait()
