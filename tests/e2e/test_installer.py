"""The Windows installer, run silently in a clean prefix: it puts the program and
its data files into the Windows directory, registers itself for removal, and its
uninstaller takes everything away again, the settings key included."""
import pytest

import harness

UNINSTALL_KEY = r"HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Skyvane"
SETTINGS_KEY = r"HKLM\Software\Brelmor\Skyvane"


@pytest.fixture
def setup_program():
    program = harness.CROSS / "skyvane-setup.exe"
    assert program.is_file(), "the installer is not built (looked for %s)" % program
    return program


@pytest.fixture
def clean_prefix(template, display, fixture_programs):
    """A prefix whose Windows directory has none of the data files."""
    wine = harness.Prefix(template, display)
    try:
        wine.start()
        yield wine
    finally:
        wine.stop()


def installed_files(windows_dir):
    return {p.name for p in windows_dir.iterdir() if p.is_file()}


def test_install_then_uninstall_leaves_nothing_behind(clean_prefix, setup_program):
    data = sorted(p.name for p in (harness.CROSS / "data").iterdir() if p.is_file())
    containers = [name for name in data if name.startswith("In") and name.endswith(".sdd")]
    assert len(containers) == 40, "expected the 40 plane containers in the build, got %d" % len(containers)

    result = clean_prefix.run(setup_program, "/S", timeout=120)
    assert result.returncode == 0, result.stderr
    windows = clean_prefix.windows_dir
    harness.wait_for(lambda: "skyvane.scr" in installed_files(windows), 60, "skyvane.scr installed")

    present = installed_files(windows)
    for name in ["skyvane.scr", "screen.jpg", "background.jpg", *containers]:
        assert name in present, "%s missing from C:\\windows after setup" % name
    assert (harness.CROSS / "skyvane.scr").read_bytes() == (windows / "skyvane.scr").read_bytes()
    entry = clean_prefix.reg_query(UNINSTALL_KEY)
    assert entry is not None and "UninstallString" in entry, "no uninstall entry: %r" % entry

    # The saver's settings, as a run of the saver or the dialog leaves them.
    clean_prefix.reg_add(SETTINGS_KEY, "Delay", "REG_DWORD", 7)
    (windows / "screen.bmp").write_bytes(b"BM")

    result = clean_prefix.run(r"C:\windows\skyvane-uninstall.exe", "/S", timeout=120)
    assert result.returncode == 0, result.stderr
    # The uninstaller runs on from a temporary copy of itself.
    harness.wait_for(lambda: "skyvane-uninstall.exe" not in installed_files(windows), 60,
                     "the uninstaller to finish")

    left = installed_files(windows)
    for name in ["skyvane.scr", "screen.jpg", "screen.bmp", "background.jpg", *containers]:
        assert name not in left, "%s is still in C:\\windows after uninstalling" % name
    assert clean_prefix.reg_query(SETTINGS_KEY) is None, "the settings key outlived the uninstaller"
    assert clean_prefix.reg_query(UNINSTALL_KEY) is None, "the uninstall entry outlived the uninstaller"
