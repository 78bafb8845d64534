"""Drives the settings dialog (skyvane.scr /c) from outside: starts it in a test
prefix, reads its controls through dialog_inspector.exe, clicks, types and
closes it, and reads the settings key afterwards."""
import json
import os
import signal
import subprocess

from pathlib import Path

import numpy as np
from PIL import Image

import harness
from program_facts import SETTINGS_KEY

INSPECTOR = harness.FIXTURES / "dialog_inspector.exe"
SC_CLOSE = 0xF060


def write_backdrop(path, width=300, height=200):
    """A JPEG of large flat blocks (few artefacts), returned as RGB pixels as decoded."""
    image = Image.new("RGB", (width, height))
    pixels = np.zeros((height, width, 3), dtype=np.uint8)
    pixels[:, :] = (30, 110, 200)
    pixels[: height // 2, : width // 2] = (220, 60, 40)
    pixels[height // 2:, width // 2:] = (40, 180, 70)
    image = Image.fromarray(pixels)
    image.save(path, quality=100, subsampling=0)
    # The test's backdrop alone: none drawn at twice the size beside it.
    (Path(path).parent / "background2x.jpg").unlink(missing_ok=True)
    return harness.load_rgb(path)


def use_own_window_frames(prefix):
    """Wine draws the title bar itself (there is no window manager on Xvfb), so
    the close box and the system menu exist."""
    prefix.reg_add(r"HKCU\Software\Wine\X11 Driver", "Managed", "REG_SZ", "N")


def browser_stand_in(directory):
    """A recording `xdg-open` (Wine's browser hand-off ends there); returns the
    directory to put first on PATH and the file that collects the addresses."""
    directory.mkdir(parents=True, exist_ok=True)
    record = directory / "opened.txt"
    stand_in = directory / "xdg-open"
    stand_in.write_text('#!/bin/sh\nprintf "%%s\\n" "$@" >> "%s"\n' % record)
    stand_in.chmod(0o755)
    return directory, record


def opened_addresses(record):
    return record.read_text().split() if record.exists() else []


class Dialog:
    """One run of `wine skyvane.scr /c` in a test prefix."""

    CLASS, TITLE = "TForm2", "Skyvane"

    def __init__(self, prefix, program, path_first=None):
        self.prefix = prefix
        env = dict(prefix.env)
        if path_first:
            env["PATH"] = "%s:%s" % (path_first, env.get("PATH", ""))
        log = open(prefix.path / ("dialog-%d.log" % len(prefix.processes)), "wb")
        self.process = subprocess.Popen(["wine", str(program), "/c"], env=env, stdin=subprocess.DEVNULL,
                                        stdout=log, stderr=subprocess.STDOUT, start_new_session=True)
        log.close()
        prefix.processes.append(self.process)

    # --- looking -------------------------------------------------------------

    def inspect(self, *args, form_class=None, title=None):
        """Runs dialog_inspector COMMAND CLASS TITLE ARGS... on the dialog (or another form)."""
        result = self.prefix.run(INSPECTOR, args[0], form_class or self.CLASS, title or self.TITLE, *args[1:])
        assert result.returncode in (0, 1), "dialog_inspector %s: %s" % (args, result.stderr)
        return result

    def snapshot(self, form_class=None, title=None):
        """(form, controls) as the inspector reports them, or (None, []) when absent."""
        out = self.inspect("controls", form_class=form_class, title=title).stdout
        lines = [json.loads(line) for line in out.splitlines() if line.startswith("{")]
        forms = [line for line in lines if line.get("form")]
        return (forms[0] if forms else None), [line for line in lines if not line.get("form")]

    def controls(self):
        return self.snapshot()[1]

    def control(self, text, controls=None):
        found = [c for c in (controls or self.controls()) if c["text"] == text]
        assert len(found) == 1, "expected one control %r, found %s" % (text, found)
        return found[0]

    def label1(self, controls=None):
        """The delay label: the first label inside the "Planes Appear Every:" box."""
        controls = controls or self.controls()
        box = self.control("Planes Appear Every:", controls)
        labels = [c for c in controls if c["parent"] == box["id"] and c["class"] == "Static" and c["left"] == 20]
        assert len(labels) == 1, "no single label at left 20 in the delay box: %s" % labels
        return labels[0]

    def scroll_bar(self, controls=None):
        bars = [c for c in (controls or self.controls()) if c["class"] == "ScrollBar"]
        assert len(bars) == 1, bars
        return bars[0]

    def checked(self, text, controls=None):
        return self.control(text, controls)["checked"] == 1

    def focus_dots(self, display, text):
        """Pixels of the control drawn in the inverse of its face colour: the dotted focus
        rectangle that DrawFocusRect inverts into the face around the caption (the caption is in
        the text colour, the check box in its own). None but it draws in that colour."""
        form, controls = self.snapshot()
        control = self.control(text, controls)
        left, top = form["client_left"] + control["x"], form["client_top"] + control["y"]
        pixels = display.screenshot()[top:top + control["height"], left:left + control["width"]].reshape(-1, 3)
        colours, counts = np.unique(pixels, axis=0, return_counts=True)
        face = colours[counts.argmax()]
        return int((pixels == 255 - face).all(axis=1).sum())

    def running(self):
        return self.process.poll() is None

    def wait_shown(self):
        def shown():
            assert self.running(), "the dialog ended before it showed (exit code %s)" % self.process.returncode
            form, controls = self.snapshot()
            return form if form and form["visible"] else None
        return harness.wait_for(shown, harness.START_TIMEOUT, "the settings dialog to show")

    def wait_ended(self):
        try:
            self.process.wait(harness.END_TIMEOUT)
        except subprocess.TimeoutExpired:
            raise AssertionError("the dialog was still open %ss later" % harness.END_TIMEOUT)

    def message_boxes(self, caption):
        """Texts of the message boxes with that caption that are on the screen."""
        controls = self.prefix.probe("dialog", caption)
        return [c["text"] for c in controls if c["class"] == "Static" and not c["icon"] and c["text"]]

    def wait_message_box(self, caption):
        return harness.wait_for(lambda: self.message_boxes(caption), harness.START_TIMEOUT,
                                "a message box captioned %r" % caption)

    def dismiss(self, caption):
        pressed = self.prefix.run(harness.FIXTURES / "window_probe.exe", "press", caption, "OK")
        assert pressed.returncode == 0, "no %r box with an OK button to press" % caption
        harness.wait_for(lambda: not self.message_boxes(caption), harness.END_TIMEOUT,
                         "the %r box to go" % caption)

    # --- touching ------------------------------------------------------------

    def click(self, text):
        control = self.control(text)
        assert self.inspect("click", str(control["id"])).returncode == 0

    def screen_point(self, control, form=None):
        """The middle of a control on the screen."""
        form = form or self.snapshot()[0]
        return (form["client_left"] + control["x"] + control["width"] // 2,
                form["client_top"] + control["y"] + control["height"] // 2)

    def focus_window(self, display):
        """Gives the dialog the X keyboard focus, as a click on it would."""
        ids = display.windows_named(self.TITLE)
        assert ids, "no X window named %r" % self.TITLE
        display.x("xdotool", "windowfocus", "--sync", ids[0])

    def kill(self):
        if self.running():
            os.killpg(self.process.pid, signal.SIGKILL)
            self.process.wait()


def stored_values(prefix):
    """{value name: int} of the settings key, or None without a key."""
    values = prefix.reg_query(SETTINGS_KEY)
    if values is None:
        return None
    return {name: int(data, 16) & 0xFFFFFFFF for name, (kind, data) in values.items() if kind == "REG_DWORD"}


def signed(value):
    return value - (1 << 32) if value >= 1 << 31 else value
