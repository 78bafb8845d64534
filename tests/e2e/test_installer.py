"""The Windows installer, run silently in a clean prefix that Wine presents as
Windows 98 or as Windows 10: it puts the program and its data files into the
Windows directory, makes Skyvane the active screen saver the way that family
keeps it (SYSTEM.INI on 9x, the user's desktop settings on NT), registers
itself for removal; its uninstaller takes away exactly what the setup and the
saver made (the settings key, the decoded plane images, screen.bmp, the
uninstalling user's virtual-store copies), gives back the saver the user had
chosen before while the entry still names Skyvane, and leaves the user's own
pictures. An account that may not write the Windows directory can neither
install nor remove it; the comparison of the setup's account with the
desktop's is tried on its own, with given accounts."""
import configparser
import subprocess

import pytest

import harness
import program_facts

UNINSTALL_KEY = r"HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Skyvane"
SETTINGS_KEY = r"HKLM\Software\Brelmor\Skyvane"
DESKTOP_KEY = r"HKCU\Control Panel\Desktop"
VIRTUAL_STORE_KEY = r"HKCU\Software\Classes\VirtualStore\MACHINE\SOFTWARE"
OTHER_SAVER = r"C:\windows\system32\other.scr"
RECORD_KEY = r"HKCU\Software\Brelmor"   # where the setup keeps the user's earlier saver
PROBE_FILE = "skyvane-setup.probe"
SESSION_MANAGER_KEY = r"HKLM\System\CurrentControlSet\Control\Session Manager"
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


def choose_other_saver(prefix):
    """The user's own choice before the setup: another saver, switched on."""
    if prefix.version == "win98":
        ini = prefix.windows_dir / "system.ini"
        ini.write_bytes(ini.read_bytes() + b"[boot]\r\nSCRNSAVE.EXE=" + OTHER_SAVER.encode() + b"\r\n")
    else:
        prefix.reg_add(DESKTOP_KEY, "SCRNSAVE.EXE", "REG_SZ", OTHER_SAVER)
    prefix.reg_add(DESKTOP_KEY, "ScreenSaveActive", "REG_SZ", "1")


def chosen_saver(prefix):
    return boot_saver(prefix) if prefix.version == "win98" else desktop_value(prefix, "SCRNSAVE.EXE")


def compile_nsis(directory, name, script, *defines):
    """Compiles an NSIS script (text) into directory/name.exe."""
    source = directory / (name + ".nsi")
    source.write_text("Unicode false\nOutFile %s.exe\nRequestExecutionLevel user\nSilentInstall silent\n" % name
                      + script)
    result = subprocess.run(["makensis", "-V2", *("-D" + d for d in defines), source.name], cwd=directory,
                            capture_output=True, text=True, timeout=120)
    assert result.returncode == 0, result.stdout + result.stderr
    return directory / (name + ".exe")


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
    for name in ["skyvane.scr", "screen.jpg", "background.jpg", "background2x.jpg", "skyvane-uninstall.exe",
                 *containers, *twice_the_size]:
        assert name in present, "%s missing from C:\\windows after setup" % name
    assert (harness.CROSS / "skyvane.scr").read_bytes() == (windows / "skyvane.scr").read_bytes()
    # The audited copy of the uninstaller (tests/platform) is the one installed.
    assert (harness.CROSS / "skyvane-uninstall.exe").read_bytes() == (windows / "skyvane-uninstall.exe").read_bytes()
    help_text = (windows / "Skyvane" / "Skyvane - help.txt").read_bytes()
    assert b"\r\n" in help_text and b"\n" not in help_text.replace(b"\r\n", b""), "the help has bare line feeds"
    entry = prefix.reg_query(UNINSTALL_KEY)
    assert entry is not None and "UninstallString" in entry, "no uninstall entry: %r" % entry
    assert entry.get("URLInfoAbout") == ("REG_SZ", program_facts.VENDOR_ADDRESS), entry
    assert entry.get("HelpLink") == ("REG_SZ", r"C:\windows\Skyvane\Skyvane - help.txt"), entry
    installed = [windows / name for name in ["skyvane.scr", "screen.jpg", "background.jpg", "background2x.jpg",
                                             *containers, *twice_the_size]]
    installed += list((windows / "Skyvane").iterdir())
    size_kb = sum(path.stat().st_size for path in installed) / 1024
    kind, estimate = entry.get("EstimatedSize", (None, "0"))
    assert kind == "REG_DWORD" and size_kb <= int(estimate, 16) <= size_kb + len(installed), (
        "EstimatedSize %s KB for %.0f KB of files" % (int(estimate, 16), size_kb))
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


@pytest.mark.parametrize("clean_prefix", ["win98", "win10"], indirect=True)
def test_uninstall_gives_back_the_saver_chosen_before(clean_prefix, setup_program):
    prefix = clean_prefix
    choose_other_saver(prefix)
    # The second setup finds Skyvane chosen already: that is not the user's earlier saver.
    for _ in range(2):
        assert prefix.run(setup_program, "/S", timeout=120).returncode == 0
        assert_skyvane_is_the_active_saver(prefix)

    uninstall(prefix)

    assert chosen_saver(prefix) == OTHER_SAVER
    assert desktop_value(prefix, "ScreenSaveActive") == "1", "the saver the user had is switched off"
    assert prefix.reg_query(RECORD_KEY) is None, "the record of the earlier saver outlived the uninstaller"


def machine_state(prefix):
    """What the setup and the uninstaller change, as far as a test sees it."""
    windows = prefix.windows_dir
    return {
        "windows": windows_files(windows),
        "help": sorted(p.name for p in (windows / "Skyvane").iterdir()) if (windows / "Skyvane").is_dir() else None,
        "start menu": sorted(p.name for folder in start_menu_folders(prefix) for p in folder.iterdir()),
        "keys": [prefix.reg_query(key) for key in [UNINSTALL_KEY, SETTINGS_KEY, RECORD_KEY + r"\Skyvane"]],
        "saver": [desktop_value(prefix, "SCRNSAVE.EXE"), desktop_value(prefix, "ScreenSaveActive")],
    }


@pytest.fixture
def read_only_windows_dir(clean_prefix):
    """makes the prefix's Windows directory one that may not be written: a
    read-only mount of it over itself (Wine runs as root here, so no file
    permission would refuse it anything)."""
    mounted = []

    def make():
        directory = str(clean_prefix.windows_dir)
        subprocess.run(["mount", "--bind", directory, directory], check=True)
        mounted.append(directory)
        subprocess.run(["mount", "-o", "remount,bind,ro", directory], check=True)
        assert subprocess.run(["touch", directory + "/write-test"], capture_output=True).returncode != 0

    yield make
    for directory in mounted:
        subprocess.run(["umount", "-l", directory], check=True)


def refusal_box(prefix):
    """The texts of the one visible message box, after pressing its OK."""
    def shown():
        boxes = [w for w in prefix.probe("windows", "#32770", "*") if w["visible"]]
        return boxes and harness.message_box(prefix, boxes[0]["title"]) and boxes[0]["title"]
    caption = harness.wait_for(shown, harness.START_TIMEOUT, "the refusal's message box")
    box = harness.message_box(prefix, caption)
    assert box["buttons"] == ["OK"], box
    assert prefix.run(harness.FIXTURES / "window_probe.exe", "press", caption, "OK").returncode == 0
    return box["texts"]


def refused(prefix, program, *args):
    """Runs program (with /S, or answering its box) and returns the box's texts."""
    if "/S" in args:
        assert prefix.run(program, *args, timeout=120).returncode == 5
        return None
    process = prefix.popen(program, *args)
    texts = refusal_box(prefix)
    process.wait(harness.END_TIMEOUT)
    assert process.returncode == 5
    return texts


@pytest.mark.parametrize("clean_prefix", ["win10"], indirect=True)
def test_an_account_that_may_not_write_the_windows_directory_changes_nothing(clean_prefix, setup_program,
                                                                           read_only_windows_dir):
    prefix = clean_prefix
    choose_other_saver(prefix)
    assert prefix.run(setup_program, "/S", timeout=120).returncode == 0
    before = machine_state(prefix)
    read_only_windows_dir()

    # Started with _?= the uninstaller runs in place, and its exit code is its own.
    uninstaller = (r"C:\windows\skyvane-uninstall.exe", r"_?=C:\windows")
    assert refused(prefix, *uninstaller, "/S") is None
    assert refused(prefix, *uninstaller) == [
        "Skyvane must be removed by an administrator.\r\n\r\nThis account may not change the Windows folder. "
        "Log on as an administrator and remove Skyvane again."]
    assert refused(prefix, setup_program, "/S") is None
    assert refused(prefix, setup_program) == [
        "Skyvane must be installed by an administrator.\r\n\r\nThis account may not change the Windows folder. "
        "Log on as an administrator and start the setup again."]
    assert machine_state(prefix) == before


@pytest.mark.parametrize("clean_prefix", ["win10"], indirect=True)
def test_a_probe_file_that_cannot_be_deleted_at_once_goes_at_the_next_restart(clean_prefix, setup_program,
                                                                              tmp_path):
    """A program that holds the setup's probe file open without letting it be
    deleted (as a virus scanner may) is no refusal of the setup."""
    prefix = clean_prefix
    holder = compile_nsis(tmp_path, "holder", r'''
Section
  ; GENERIC_READ, shared for reading and writing but not deleting, OPEN_ALWAYS
  System::Call 'kernel32::CreateFileA(t "C:\windows\%s", i 0x80000000, i 3, i 0, i 4, i 0, i 0) i .r0'
  Sleep 600000
SectionEnd
''' % PROBE_FILE)
    prefix.popen(holder)
    harness.wait_for(lambda: (prefix.windows_dir / PROBE_FILE).exists(), harness.START_TIMEOUT, "the held file")

    assert prefix.run(setup_program, "/S", timeout=120).returncode == 0
    assert "skyvane.scr" in windows_files(prefix.windows_dir)
    pending = (prefix.reg_query(SESSION_MANAGER_KEY) or {}).get("PendingFileRenameOperations", ("", ""))[1]
    assert PROBE_FILE in pending.lower(), "the probe file is not deleted at the next restart: %r" % pending


# Each row: the setup's account, the desktop's account, whether they count as the same.
ACCOUNT_PAIRS = [
    (r"PC\anna", r"PC\anna", 1),
    (r"PC\Admin", r"pc\ADMIN", 1),       # account names ignore case
    (r"PC\admin", r"PC\anna", 0),        # another account's password typed at the prompt
    (r"DOMAIN\anna", r"PC\anna", 0),     # the same name in another domain is another account
    ("", r"PC\anna", 1),                 # no name known: Windows 9x, NT 4.0
    (r"PC\admin", "", 1),
]


@pytest.mark.parametrize("clean_prefix", ["win10"], indirect=True)
def test_the_setup_tells_the_desktops_account_from_its_own(clean_prefix, tmp_path):
    """The comparison with given accounts; and under Wine, where the setup
    runs as the one account logged on, the accounts it finds are the same."""
    rows = "".join('  Push "%s"\n  Push "%s"\n  Call SameAccount\n  Pop $0\n  FileWrite $9 "$0$\\r$\\n"\n'
                   % (setup, desktop) for setup, desktop, _ in ACCOUNT_PAIRS)
    program = compile_nsis(tmp_path, "accounts", r'''
!include "${ACCOUNTS}"
Section
  FileOpen $9 "$EXEDIR\results.txt" w
%s  Call SetupAccount
  Call DesktopAccount
  Pop $1
  Pop $0
  FileWrite $9 "$0|$1$\r$\n"
  Call SetupRunsAsTheDesktopUser
  Pop $0
  FileWrite $9 "$0$\r$\n"
  FileClose $9
SectionEnd
''' % rows, "ACCOUNTS=" + str(harness.REPO / "installer" / "accounts.nsh"))
    assert clean_prefix.run(program).returncode == 0
    lines = (tmp_path / "results.txt").read_text().splitlines()
    assert lines[:len(ACCOUNT_PAIRS)] == [str(same) for _, _, same in ACCOUNT_PAIRS]
    setup, desktop = lines[len(ACCOUNT_PAIRS)].split("|")
    assert setup and "\\" in setup and setup == desktop, lines
    assert lines[len(ACCOUNT_PAIRS) + 1:] == ["1"]
