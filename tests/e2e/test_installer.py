"""The Windows installer, run silently in a clean prefix that Wine presents as
Windows 98 or as Windows 10: it puts the program and its data files into the
Windows directory, makes Skyvane the active screen saver the way that family
keeps it (SYSTEM.INI on 9x, the user's desktop settings on NT), registers
itself for removal; its uninstaller takes away exactly what the setup and the
saver made (the settings key, the decoded plane images, screen.bmp, the
uninstalling user's virtual-store copies), gives back the saver entry while it
still names Skyvane, and leaves the user's own pictures."""
import configparser

import pytest

import harness

UNINSTALL_KEY = r"HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Skyvane"
SETTINGS_KEY = r"HKLM\Software\Brelmor\Skyvane"
DESKTOP_KEY = r"HKCU\Control Panel\Desktop"
VIRTUAL_STORE_KEY = r"HKCU\Software\Classes\VirtualStore\MACHINE\SOFTWARE"
OTHER_SAVER = r"C:\windows\system32\other.scr"
USER_PICTURES = ["Intro.jpg", "In99.jpg"]   # look like decoded images; no container beside them


@pytest.fixture
def setup_program():
    program = harness.CROSS / "skyvane-setup.exe"
    assert program.is_file(), "the installer is not built (looked for %s)" % program
    return program


@pytest.fixture
def clean_prefix(request, template, display, fixture_programs):
    """A prefix whose Windows directory has none of the data files, set to the
    Windows version the test names, with the screen saver switched off."""
    wine = harness.Prefix(template, display)
    try:
        wine.start()
        # Wine would copy the Start menu shortcuts into the host's own menus.
        wine.reg_add(r"HKCU\Software\Wine\DllOverrides", "winemenubuilder.exe", "REG_SZ", "")
        result = wine.run("winecfg", "-v", request.param)
        assert result.returncode == 0, result.stderr
        wine.reg_add(DESKTOP_KEY, "ScreenSaveActive", "REG_SZ", "0")
        wine.version = request.param
        yield wine
    finally:
        wine.stop()


def windows_files(windows_dir):
    return {p.name for p in windows_dir.iterdir() if p.is_file()}


def boot_saver(prefix):
    """SYSTEM.INI's [boot] SCRNSAVE.EXE, or None."""
    ini = configparser.ConfigParser(strict=False, interpolation=None)
    ini.read_string((prefix.windows_dir / "system.ini").read_bytes().decode("latin-1"))
    return ini.get("boot", "scrnsave.exe", fallback=None) or None


def desktop_value(prefix, name):
    value = (prefix.reg_query(DESKTOP_KEY) or {}).get(name)
    return value[1] if value else None


def virtual_store_dir(prefix):
    """The user's %LOCALAPPDATA%\\VirtualStore\\Windows."""
    local = [p for p in (prefix.path / "drive_c" / "users").glob("*/AppData/Local") if p.parts[-3] != "Public"]
    assert len(local) == 1, "no single user's AppData\\Local: %s" % local
    return local[0] / "VirtualStore" / "windows"


def start_menu_folders(prefix):
    return list((prefix.path / "drive_c").glob("**/Start Menu/Programs/Skyvane"))


def assert_skyvane_is_the_active_saver(prefix):
    if prefix.version == "win98":
        chosen = boot_saver(prefix)
        assert chosen and chosen.lower() == r"c:\windows\skyvane.scr", "SYSTEM.INI [boot] SCRNSAVE.EXE: %r" % chosen
        assert desktop_value(prefix, "SCRNSAVE.EXE") is None, "the NT entry written on Windows 98"
    else:
        chosen = desktop_value(prefix, "SCRNSAVE.EXE")
        assert chosen and chosen.lower() == r"c:\windows\skyvane.scr", "HKCU SCRNSAVE.EXE: %r" % chosen
        assert boot_saver(prefix) is None, "SYSTEM.INI written on Windows 10"
    assert desktop_value(prefix, "ScreenSaveActive") == "1", "the screen saver was not switched on"


def leave_what_the_saver_and_the_user_make(prefix, containers):
    """A saver ended by force leaves its decoded images (at 200 % also those of
    the pictures at twice the size); the dialog and the
    saver leave the settings and screen.bmp, on Vista and later for a
    standard user in the virtual store; the user keeps pictures of their own."""
    windows = prefix.windows_dir
    decoded = [c.replace(".sdd", ".jpg") for c in containers] + [c.replace(".sdd", "x2.jpg") for c in containers]
    for name in decoded + ["screen.bmp"] + USER_PICTURES:
        (windows / name).write_bytes(b"\xff\xd8")
    prefix.reg_add(SETTINGS_KEY, "Delay", "REG_DWORD", 7)
    if prefix.version == "win10":
        store = virtual_store_dir(prefix)
        store.mkdir(parents=True, exist_ok=True)
        for name in ["screen.bmp", "In1.jpg", "In46.jpg", "Intro.jpg"]:
            (store / name).write_bytes(b"\xff\xd8")
        for node in ["", "WOW6432Node\\"]:
            prefix.reg_add(VIRTUAL_STORE_KEY + "\\" + node + r"Brelmor\Skyvane", "Delay", "REG_DWORD", 9)


def uninstall(prefix):
    result = prefix.run(r"C:\windows\skyvane-uninstall.exe", "/S", timeout=120)
    assert result.returncode == 0, result.stderr
    # The uninstaller runs on from a temporary copy of itself.
    harness.wait_for(lambda: "skyvane-uninstall.exe" not in windows_files(prefix.windows_dir), 60,
                     "the uninstaller to finish")


@pytest.mark.parametrize("clean_prefix", ["win98", "win10"], indirect=True)
def test_install_chooses_the_saver_and_uninstall_takes_back_only_its_own(clean_prefix, setup_program):
    prefix, windows = clean_prefix, clean_prefix.windows_dir
    containers = sorted(p.name for p in (harness.CROSS / "data").glob("In*.sdd"))
    assert len(containers) == 40, "expected the 40 plane containers in the build, got %d" % len(containers)
    before = windows_files(windows)

    result = prefix.run(setup_program, "/S", timeout=120)
    assert result.returncode == 0, result.stderr
    present = windows_files(windows)
    twice_the_size = [c.replace(".sdd", "x2.sd2") for c in containers]
    for name in ["skyvane.scr", "screen.jpg", "background.jpg", "skyvane-uninstall.exe", *containers, *twice_the_size]:
        assert name in present, "%s missing from C:\\windows after setup" % name
    assert (harness.CROSS / "skyvane.scr").read_bytes() == (windows / "skyvane.scr").read_bytes()
    # The audited copy of the uninstaller (tests/platform) is the one installed.
    assert (harness.CROSS / "skyvane-uninstall.exe").read_bytes() == (windows / "skyvane-uninstall.exe").read_bytes()
    help_text = (windows / "Skyvane" / "Skyvane - help.txt").read_bytes()
    assert b"\r\n" in help_text and b"\n" not in help_text.replace(b"\r\n", b""), "the help has bare line feeds"
    entry = prefix.reg_query(UNINSTALL_KEY)
    assert entry is not None and "UninstallString" in entry, "no uninstall entry: %r" % entry
    shortcuts = sorted(p.name for folder in start_menu_folders(prefix) for p in folder.iterdir())
    assert shortcuts == ["Picture credits.lnk", "Skyvane - help.lnk", "Skyvane settings.lnk",
                         "Uninstall Skyvane.lnk"], shortcuts
    assert_skyvane_is_the_active_saver(prefix)

    leave_what_the_saver_and_the_user_make(prefix, containers)
    uninstall(prefix)

    left, expected = windows_files(windows), before | set(USER_PICTURES)
    assert left == expected, "after uninstalling, left behind: %s; gone: %s" % (
        sorted(left - expected), sorted(expected - left))
    assert not (windows / "Skyvane").exists(), "the help folder outlived the uninstaller"
    assert not start_menu_folders(prefix), "the Start menu folder outlived the uninstaller"
    for key in [SETTINGS_KEY, r"HKLM\Software\Brelmor", UNINSTALL_KEY]:
        assert prefix.reg_query(key) is None, "%s outlived the uninstaller" % key
    assert boot_saver(prefix) is None and desktop_value(prefix, "SCRNSAVE.EXE") is None, "the saver entry stayed"
    assert desktop_value(prefix, "ScreenSaveActive") == "0"
    if prefix.version == "win10":
        assert sorted(p.name for p in virtual_store_dir(prefix).iterdir()) == ["Intro.jpg"]
        for node in ["", "WOW6432Node\\"]:
            assert prefix.reg_query(VIRTUAL_STORE_KEY + "\\" + node + "Brelmor") is None, "virtual store key %s" % node


@pytest.mark.parametrize("clean_prefix", ["win10"], indirect=True)
def test_uninstall_leaves_a_saver_the_user_chose_since(clean_prefix, setup_program):
    prefix = clean_prefix
    assert prefix.run(setup_program, "/S", timeout=120).returncode == 0
    assert_skyvane_is_the_active_saver(prefix)
    prefix.reg_add(DESKTOP_KEY, "SCRNSAVE.EXE", "REG_SZ", OTHER_SAVER)

    uninstall(prefix)

    assert desktop_value(prefix, "SCRNSAVE.EXE") == OTHER_SAVER
    assert desktop_value(prefix, "ScreenSaveActive") == "1"
