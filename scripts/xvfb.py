"""Starts Xvfb on a free display number: the one way the scripts and the tests
start their virtual displays.

    python3 scripts/xvfb.py [WIDTHxHEIGHTxDEPTH]

prints ":N PID" once the server accepts connections and leaves it running.
"""
import os
import subprocess
import sys
import tempfile
import time
from pathlib import Path

FIRST_DISPLAY, DISPLAYS = 100, 300


def _taken(number):
    return Path("/tmp/.X11-unix/X%d" % number).exists() or Path("/tmp/.X%d-lock" % number).exists()


def _try(number, screen, timeout):
    """Xvfb on :number, or None. Xvfb writes the number to -displayfd once it
    accepts connections and exits without writing when the number is taken,
    so an answer there is always from this server. -noreset: the server must
    not reset (and refuse connections meanwhile) whenever its last client
    leaves."""
    with tempfile.TemporaryFile() as ready:
        process = subprocess.Popen(
            ["Xvfb", ":%d" % number, "-screen", "0", screen, "-nolisten", "tcp", "-noreset",
             "-displayfd", str(ready.fileno())],
            pass_fds=(ready.fileno(),), stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
            stderr=subprocess.DEVNULL)
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline and process.poll() is None:
            ready.seek(0)
            answer = ready.read()
            if answer.endswith(b"\n"):
                if answer.strip() == str(number).encode():
                    return process
                break
            time.sleep(0.05)
    process.kill()
    process.wait()
    return None


def start(screen="1024x768x24", timeout=30):
    """(process, ":N") of a new Xvfb on the first free display from a
    per-process starting point, so parallel runs rarely race for a number
    (a lost race just moves on)."""
    first = os.getpid() % DISPLAYS
    for attempt in range(DISPLAYS):
        number = FIRST_DISPLAY + (first + attempt) % DISPLAYS
        if _taken(number):
            continue
        process = _try(number, screen, timeout)
        if process:
            return process, ":%d" % number
    raise RuntimeError("no free X display for Xvfb")


if __name__ == "__main__":
    process, name = start(*sys.argv[1:2])
    print(name, process.pid)
