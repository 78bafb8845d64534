"""Fixtures of the end-to-end tests: per session one booted template prefix;
per test an Xvfb display, a copy of the prefix with the data files in its
C:\\windows and its own wineserver, and the saver runs started in it. All of
them are stopped and removed at the end of the test.

A test asks for another screen with @pytest.mark.screen("800x600x24"), and for
more than one monitor with @pytest.mark.monitors("1024x768+800+0", "800x600+0+0").
"""
import shutil

import pytest

import harness
from dialog_driver import Dialog, use_own_window_frames, write_backdrop


def pytest_configure(config):
    config.addinivalue_line("markers", "screen(geometry): Xvfb screen as WIDTHxHEIGHTxDEPTH")
    config.addinivalue_line("markers", "monitors(*geometries): the screen split into monitors, "
                            "each WIDTHxHEIGHT+X+Y, the first the primary")


@pytest.fixture(scope="session")
def template():
    return harness.template_prefix()


@pytest.fixture(scope="session")
def saver_program():
    program = harness.saver_program()
    assert program, "skyvane.scr is not built (looked in %s)" % harness.CROSS
    return program


@pytest.fixture(scope="session")
def fixture_programs():
    probe = harness.FIXTURES / "window_probe.exe"
    assert probe.is_file(), "the test fixtures are not built (looked for %s)" % probe
    return harness.FIXTURES


@pytest.fixture
def display(request):
    marker = request.node.get_closest_marker("screen")
    screen = harness.Display(marker.args[0] if marker else "1024x768x24").start()
    monitors = request.node.get_closest_marker("monitors")
    if monitors:
        screen.set_monitors(*monitors.args)
    yield screen
    screen.stop()


@pytest.fixture
def data_files():
    """The data files the build made (containers, screen.jpg, background.jpg)."""
    directory = harness.CROSS / "data"
    return sorted(p for p in directory.iterdir() if p.is_file()) if directory.is_dir() else []


@pytest.fixture
def prefix(template, display, fixture_programs, data_files):
    wine = harness.Prefix(template, display)
    try:
        for data_file in data_files:
            shutil.copy(data_file, wine.windows_dir / data_file.name)
        wine.start()
        yield wine
    finally:
        wine.stop()


@pytest.fixture
def desktop(display, prefix, tmp_path):
    """A known picture shown as the desktop (after the prefix's first program);
    returns the screen's pixels as they then are."""
    picture = harness.make_desktop_picture(tmp_path / "desktop.png", display.width, display.height)
    return display.show_desktop(picture)


@pytest.fixture
def start_saver(prefix, saver_program):
    """start_saver(*args) runs skyvane.scr with args (default /S) in the test's prefix."""
    started = []

    def start(*args):
        saver = harness.Saver(prefix, saver_program, *(args or ("/S",)))
        started.append(saver)
        return saver

    yield start
    for saver in started:
        saver.kill()


@pytest.fixture
def backdrop(prefix):
    """The dialog's backdrop as a test knows it (large flat blocks), with the
    prefix's own window frames; returns its pixels as decoded."""
    use_own_window_frames(prefix)
    return write_backdrop(prefix.windows_dir / "background.jpg")


@pytest.fixture
def open_dialog(prefix, saver_program, backdrop):
    """open_dialog(path_first=None, wait=True) starts skyvane.scr /c over the
    test backdrop; every dialog opened is killed at the end of the test."""
    opened = []

    def open_(path_first=None, wait=True):
        dialog = Dialog(prefix, saver_program, path_first)
        opened.append(dialog)
        if wait:
            dialog.wait_shown()
        return dialog

    yield open_
    for dialog in opened:
        dialog.kill()
