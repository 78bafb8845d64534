"""The Windows installer, run silently in a clean prefix that Wine presents as
Windows 98 or as Windows 10: it puts the program and its data files into the
Windows directory, makes Skyvane the active screen saver the way that family
keeps it (SYSTEM.INI on 9x, the user's desktop settings on NT), registers
itself for removal; its uninstaller, run by the Add/Remove entry's command
and waited for as a deployment tool does, ends a running saver and takes away
exactly what the setup and the saver made (the settings key, the decoded
plane images, screen.bmp, the uninstalling user's virtual-store copies and
temporary folder, also of a user named outside the code page), gives back
the saver the user had chosen before while the entry still names Skyvane and
that saver still exists, and leaves the user's own pictures and nothing in
the temporary folders; a file held open goes at the next restart, and its
exit code says so, and a setup run before that restart stays whole through
it. An account that may not write the Windows directory can neither install
nor remove it; the comparison of the setup's account with the
desktop's is tried on its own, with given accounts, and end to end with a
stand-in that names the account logged on in the session (another account,
no one)."""
import configparser
import re
import shutil
import subprocess

import pytest

import harness
import program_facts

UNINSTALL_KEY = r"HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Skyvane"
SETTINGS_KEY = r"HKLM\Software\Brelmor\Skyvane"
DESKTOP_KEY = r"HKCU\Control Panel\Desktop"
VIRTUAL_STORE_KEY = r"HKCU\Software\Classes\VirtualStore\MACHINE\SOFTWARE"
OTHER_SAVER = r"C:\windows\system32\other.scr"
RECORD_KEY = r"HKCU\Software\Brelmor"   # where the setup keeps the user's earlier saver (NT)
UNINSTALLER = r"C:\windows\skyvane-uninstall.exe"
EXIT_RESTART_PENDING = 3010   # ERROR_SUCCESS_REBOOT_REQUIRED
EXIT_RESTART_WORK_UNCHECKED = 1603   # ERROR_INSTALL_FAILURE
PROBE_FILE = "skyvane-setup.probe"
SESSION_MANAGER_KEY = r"HKLM\System\CurrentControlSet\Control\Session Manager"
USER_SHELL_FOLDERS = r"Software\Microsoft\Windows\CurrentVersion\Explorer\User Shell Folders"
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
    # A saver killed while the Windows directory refused its images left
    # them in its own folder of the user's temporary directory, one beside
    # another saver in its run's folder there.
    own_folder = user_temporary_folder(prefix)
    (own_folder / "4242").mkdir(parents=True, exist_ok=True)
    for name in ["In1.jpg", "In2x2.jpg", r"4242/In3.jpg"]:
        (own_folder / name).write_bytes(b"\xff\xd8")


def user_temporary_folder(prefix):
    """The saver's own folder in the user's temporary directory."""
    return prefix.unix_path(prefix.run("cmd", "/c", "echo %TEMP%").stdout.strip()) / "Skyvane"


def choose_other_saver(prefix, entry=OTHER_SAVER):
    """The user's own choice before the setup: another saver (the program in
    the system directory, named by entry), switched on."""
    prefix.unix_path(OTHER_SAVER).write_bytes(b"MZ")
    if prefix.version == "win98":
        ini = prefix.windows_dir / "system.ini"
        ini.write_bytes(ini.read_bytes() + b"[boot]\r\nSCRNSAVE.EXE=" + entry.encode() + b"\r\n")
    else:
        prefix.reg_add(DESKTOP_KEY, "SCRNSAVE.EXE", "REG_SZ", entry)
    prefix.reg_add(DESKTOP_KEY, "ScreenSaveActive", "REG_SZ", "1")


def chosen_saver(prefix):
    """The screen saver entry; on the NT family as the registry holds it, in
    Unicode (reg query answers in the code page)."""
    if prefix.version == "win98":
        return boot_saver(prefix)
    exported = prefix.path / "drive_c" / "desktop.reg"
    assert prefix.run("reg", "export", DESKTOP_KEY, r"C:\desktop.reg", "/y").returncode == 0
    text = exported.read_bytes().decode("utf-16")
    exported.unlink()
    match = re.search(r'^"SCRNSAVE\.EXE"="(.*)"\r?$', text, re.MULTILINE)
    return match.group(1).replace("\\\\", "\\") if match else None


def compile_nsis(directory, name, script, *defines):
    """Compiles an NSIS script (text) into directory/name.exe."""
    source = directory / (name + ".nsi")
    source.write_text("Unicode false\nOutFile %s.exe\nRequestExecutionLevel user\nSilentInstall silent\n" % name
                      + script)
    result = subprocess.run(["makensis", "-V2", *("-D" + d for d in defines), source.name], cwd=directory,
                            capture_output=True, text=True, timeout=120)
    assert result.returncode == 0, result.stdout + result.stderr
    return directory / (name + ".exe")


def temporary_folders(prefix):
    """Everything in the temporary folders the setup, its uninstaller and
    NSIS may use: the user's and the Windows directory's."""
    folders = [prefix.unix_path(prefix.run("cmd", "/c", "echo %TEMP%").stdout.strip()), prefix.windows_dir / "temp"]
    return {path for folder in folders if folder.is_dir() for path in folder.rglob("*")}


def exit_code(prefix, command_line, answer=None):
    """Runs a Windows command line as a deployment tool does and waits for it;
    returns its exit code (all of it: a Unix exit status would keep only the
    low eight bits). answer(): answers a box while the command runs."""
    script = prefix.path / "drive_c" / "run-and-tell.bat"
    script.write_bytes(('@echo off\r\nstart /wait "" %s\r\necho %%errorlevel%%\r\n' % command_line).encode())
    process = prefix.popen("cmd", "/c", r"C:\run-and-tell.bat")
    if answer:
        answer()
    process.wait(120)
    output = (prefix.path / ("program-%d.log" % (len(prefix.processes) - 1))).read_text(errors="replace")
    script.unlink()
    assert output.split() and output.split()[-1].isdigit(), output
    return int(output.split()[-1])


def uninstall(prefix, command="QuietUninstallString", answer=None):
    """Runs the Add/Remove entry's command (exit_code); nothing of the
    uninstaller may stay in the temporary folders."""
    temporary = temporary_folders(prefix)
    entry = prefix.reg_query(UNINSTALL_KEY)
    assert entry and command in entry, "no %s in the uninstall entry: %r" % (command, entry)
    code = exit_code(prefix, entry[command][1], answer)
    left = sorted(str(path) for path in temporary_folders(prefix) - temporary)
    assert not left, "the uninstaller left in the temporary folders: %s" % left
    return code


def pending_at_restart(prefix):
    """The file operations Windows carries out at the next restart, in lower case."""
    return (prefix.reg_query(SESSION_MANAGER_KEY) or {}).get("PendingFileRenameOperations", ("", ""))[1].lower()


def pending_deletions(prefix):
    """The files Windows deletes at the next restart, in lower case, sorted."""
    strings = pending_at_restart(prefix).split("\\0")
    return sorted(strings[i].removeprefix("\\??\\") for i in range(0, len(strings) - 1, 2)
                  if strings[i] and not strings[i + 1])


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
    # The Start menu runs the uninstaller in place too, as the entry's commands do.
    uninstall_link = (start_menu_folders(prefix)[0] / "Uninstall Skyvane.lnk").read_bytes()
    assert any(r"_?=C:\windows".encode(encoding) in uninstall_link for encoding in ("ascii", "utf-16-le"))
    assert entry.get("UninstallString") == ("REG_SZ", r'"%s" _?=C:\windows' % UNINSTALLER), entry
    assert_skyvane_is_the_active_saver(prefix)

    leave_what_the_saver_and_the_user_make(prefix, containers)
    # A running saver holds its program: the uninstaller ends it, and the
    # system is told that no saver runs any more. The saver shows an error
    # box meanwhile (the fake desktop picture left above is damaged), whose
    # own message loop must not swallow the request: a close on Windows 10, a
    # key on Windows 98.
    prefix.reg_add(SETTINGS_KEY, "Fake", "REG_DWORD", 1)
    saver = harness.Saver(prefix, r"C:\windows\skyvane.scr", "/S")
    harness.wait_for(lambda: harness.message_box(prefix, "Skyvane!"), harness.START_TIMEOUT, "the saver's error box")
    assert uninstall(prefix) == 0
    saver.wait_ended()
    assert not prefix.saver_windows()
    assert prefix.probe("system")[0]["saver_running"] == 0
    # The uninstaller's own file, which cannot go while it runs, alone goes
    # at the next restart.
    assert pending_deletions(prefix) == [UNINSTALLER.lower()]

    left, expected = windows_files(windows), before | set(USER_PICTURES) | {"skyvane-uninstall.exe"}
    assert left == expected, "after uninstalling, left behind: %s; gone: %s" % (
        sorted(left - expected), sorted(expected - left))
    assert not (windows / "Skyvane").exists(), "the help folder outlived the uninstaller"
    assert not user_temporary_folder(prefix).exists(), "the saver's temporary folder outlived the uninstaller"
    assert not start_menu_folders(prefix), "the Start menu folder outlived the uninstaller"
    for key in [SETTINGS_KEY, r"HKLM\Software\Brelmor", UNINSTALL_KEY]:
        assert prefix.reg_query(key) is None, "%s outlived the uninstaller" % key
    assert boot_saver(prefix) is None and desktop_value(prefix, "SCRNSAVE.EXE") is None, "the saver entry stayed"
    assert desktop_value(prefix, "ScreenSaveActive") == "0"
    if prefix.version == "win10":
        assert sorted(p.name for p in virtual_store_dir(prefix).iterdir()) == ["Intro.jpg"]
        for node in ["", "WOW6432Node\\"]:
            assert prefix.reg_query(VIRTUAL_STORE_KEY + "\\" + node + "Brelmor") is None, "virtual store key %s" % node

    # Installed again before the restart: the uninstaller's deletion, the
    # list's only entry, is taken out, and the list with it.
    assert prefix.run(setup_program, "/S", timeout=120).returncode == 0
    assert "PendingFileRenameOperations" not in (prefix.reg_query(SESSION_MANAGER_KEY) or {})


@pytest.mark.parametrize("clean_prefix", ["win10"], indirect=True)
def test_uninstall_leaves_a_saver_the_user_chose_since(clean_prefix, setup_program):
    """... and finds the folders of a user whose name has a letter outside the
    system's code page, which the ANSI calls name wrongly."""
    prefix = clean_prefix
    assert prefix.run(setup_program, "/S", timeout=120).returncode == 0
    assert_skyvane_is_the_active_saver(prefix)
    prefix.reg_add(DESKTOP_KEY, "SCRNSAVE.EXE", "REG_SZ", OTHER_SAVER)
    profile = prefix.path / "drive_c" / "users" / "Łukasz"
    for name, kind, folder in [("TEMP", "Environment", "Temp"), ("TMP", "Environment", "Temp"),
                               ("Local AppData", USER_SHELL_FOLDERS, r"AppData\Local")]:
        prefix.reg_add("HKCU\\" + kind, name, "REG_SZ", "C:\\users\\Łukasz\\" + folder)
    decoded = [profile / "Temp" / "Skyvane" / "In1.jpg",
               profile / "AppData" / "Local" / "VirtualStore" / "windows" / "In1.jpg"]
    for path in decoded:
        path.parent.mkdir(parents=True)
        path.write_bytes(b"\xff\xd8")

    assert uninstall(prefix) == 0

    assert desktop_value(prefix, "SCRNSAVE.EXE") == OTHER_SAVER
    assert desktop_value(prefix, "ScreenSaveActive") == "1"
    assert not decoded[0].parent.exists(), "the saver's temporary folder of Łukasz outlived the uninstaller"
    assert not decoded[1].exists(), "the virtual-store copy of Łukasz outlived the uninstaller"


# Each row: the family, how the entry names the earlier saver, whether that
# program is still there at the uninstall.
@pytest.mark.parametrize("clean_prefix, entry, kept", [
    ("win98", OTHER_SAVER, True),
    ("win10", "other.scr", True),        # a bare name, found in the system directory
    ("win10", OTHER_SAVER, False),       # deleted since: given back as none, switched off
    # in a profile folder whose name the code page cannot spell
    ("win10", "C:\\users\\\u0141ukasz\\other.scr", True),
], indirect=["clean_prefix"])
def test_uninstall_gives_back_the_saver_chosen_before(clean_prefix, entry, kept, setup_program):
    prefix = clean_prefix
    choose_other_saver(prefix, entry)
    if entry.startswith("C:\\users"):
        prefix.unix_path(entry).parent.mkdir(parents=True, exist_ok=True)
        prefix.unix_path(entry).write_bytes(b"MZ")
    # The second setup finds Skyvane chosen already: that is not the user's earlier saver.
    for _ in range(2):
        assert prefix.run(setup_program, "/S", timeout=120).returncode == 0
        assert_skyvane_is_the_active_saver(prefix)
    # The saver's first run writes its first-run settings only into a key it
    # does not find: the setup's record of the earlier saver must not make it.
    assert prefix.reg_query(SETTINGS_KEY) is None, "the setup made the settings key: %s" % (
        prefix.reg_query(SETTINGS_KEY),)
    if prefix.version == "win98":
        # SYSTEM.INI serves every user profile: another profile's uninstaller,
        # whose HKEY_CURRENT_USER holds nothing of this one's, gives it back too.
        prefix.reg_delete(RECORD_KEY)
    if not kept:
        prefix.unix_path(OTHER_SAVER).unlink()

    assert uninstall(prefix) == 0

    if kept:
        assert chosen_saver(prefix) == entry
        assert desktop_value(prefix, "ScreenSaveActive") == "1", "the saver the user had is switched off"
    else:
        assert chosen_saver(prefix) is None, "a missing program given back as the saver"
        assert desktop_value(prefix, "ScreenSaveActive") == "0"
    for key in [RECORD_KEY, r"HKLM\Software\Brelmor", UNINSTALL_KEY]:
        assert prefix.reg_query(key) is None, "the record of the earlier saver outlived the uninstaller: %s" % key


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

    # The Add/Remove entry's commands, quiet and not, as a tool or the user runs them.
    assert uninstall(prefix) == 5
    texts = []
    assert uninstall(prefix, "UninstallString", answer=lambda: texts.append(refusal_box(prefix))) == 5
    assert texts == [[
        "Skyvane must be removed by an administrator.\r\n\r\nThis account may not change the Windows folder. "
        "Log on as an administrator and remove Skyvane again."]]
    assert refused(prefix, setup_program, "/S") is None
    assert refused(prefix, setup_program) == [
        "Skyvane must be installed by an administrator.\r\n\r\nThis account may not change the Windows folder. "
        "Log on as an administrator and start the setup again."]
    assert machine_state(prefix) == before


def assert_skyvane_is_whole(prefix):
    """Every file the setup installs, its uninstall entry and Start menu, and
    Skyvane the active saver."""
    stage = harness.CROSS / "installer-stage"
    installed = [p.name for p in stage.iterdir()
                 if p.is_file() and p.name not in ("files.nsh", "help.txt", "credits.txt")]
    for name in installed:
        assert (prefix.windows_dir / name).read_bytes() == (stage / name).read_bytes(), name
    assert (prefix.windows_dir / "skyvane-uninstall.exe").read_bytes() == (
        harness.CROSS / "skyvane-uninstall.exe").read_bytes()
    assert sorted(p.name for p in (prefix.windows_dir / "Skyvane").iterdir()) == [
        "Picture credits.txt", "Skyvane - help.txt"]
    assert len([p for folder in start_menu_folders(prefix) for p in folder.iterdir()]) == 4
    assert "QuietUninstallString" in (prefix.reg_query(UNINSTALL_KEY) or {})
    assert_skyvane_is_the_active_saver(prefix)


def hold(prefix, path):
    """A program holding the file open, sharing it with no one, until killed."""
    marker = prefix.windows_dir.parent / (path.rsplit("\\", 1)[-1] + ".held")
    holder = prefix.popen(harness.FIXTURES / "file_holder.exe", path, "C:\\" + marker.name)
    harness.wait_for(marker.exists, harness.START_TIMEOUT, path + " held open")
    return holder


def short_names(prefix, directory, *paths):
    """The short (8.3) names of existing files, as Windows 9x writes them."""
    lines = "".join('  GetFullPathName /SHORT $0 "%s"\n  FileWrite $9 "$0$\\r$\\n"\n' % path for path in paths)
    program = compile_nsis(directory, "short", 'Section\n  FileOpen $9 "$EXEDIR\\short.txt" w\n%s'
                           '  FileClose $9\nSectionEnd\n' % lines)
    assert prefix.run(program).returncode == 0
    return [name.upper() for name in (directory / "short.txt").read_text().splitlines()]


@pytest.mark.parametrize("clean_prefix", ["win98", "win10"], indirect=True)
def test_files_that_cannot_be_deleted_at_once_go_at_the_next_restart(clean_prefix, setup_program, tmp_path):
    """A program that holds the setup's probe file open without letting it be
    deleted (as a virus scanner may) is no refusal of the setup; an installed
    file held open so goes at the uninstaller's next restart, and the
    uninstaller's exit code says the removal is not complete yet. Skyvane
    installed again before that restart stays whole through it, and another
    program's restart work is still done."""
    prefix = clean_prefix
    holder = compile_nsis(tmp_path, "holder", r'''
Section
  ; GENERIC_READ, shared for reading and writing but not deleting, OPEN_ALWAYS
  System::Call 'kernel32::CreateFileA(t "C:\windows\%s", i 0x80000000, i 3, i 0, i 4, i 0, i 0) i .r0'
  Sleep 600000
SectionEnd
''' % PROBE_FILE)
    probe_holder = prefix.popen(holder)
    harness.wait_for(lambda: (prefix.windows_dir / PROBE_FILE).exists(), harness.START_TIMEOUT, "the held file")

    assert prefix.run(setup_program, "/S", timeout=120).returncode == 0
    assert "skyvane.scr" in windows_files(prefix.windows_dir)
    assert PROBE_FILE in pending_at_restart(prefix), "the probe file is not deleted at the next restart: %r" % (
        pending_at_restart(prefix),)

    probe_holder.kill()
    probe_holder.wait()
    # A container and the fake desktop the saver made, held open.
    (prefix.windows_dir / "screen.bmp").write_bytes(b"BM")
    holders = [hold(prefix, "C:\\windows\\" + name) for name in ("In3.sdd", "screen.bmp")]
    assert uninstall(prefix) == EXIT_RESTART_PENDING
    for name in (r"c:\windows\in3.sdd", r"c:\windows\screen.bmp"):
        assert name in pending_deletions(prefix), "%s is not deleted at the next restart: %r" % (
            name, pending_at_restart(prefix))
    assert "skyvane.scr" not in windows_files(prefix.windows_dir)
    assert prefix.reg_query(UNINSTALL_KEY) is None

    # Another program's restart work, which must still be done: a deletion
    # in the registry's list and, as Windows 9x keeps it, in WININIT.INI,
    # beside the deletions of Skyvane's files by their short names.
    for name in ["other-registry.tmp", "other-wininit.tmp"]:
        (prefix.windows_dir / name).write_bytes(b"x")
    assert prefix.run(compile_nsis(tmp_path, "other", r'''
Section
  System::Call 'kernel32::MoveFileExA(t "C:\windows\other-registry.tmp", i 0, i 4)'
SectionEnd
''')).returncode == 0
    if prefix.version == "win98":
        # The uninstaller's own file goes at the restart too.
        names = short_names(prefix, tmp_path, r"C:\windows\In3.sdd", UNINSTALLER, r"C:\windows\other-wininit.tmp")
        assert "~" in names[1] and "~" in names[2], names
        wininit = ["[rename]"] + ["NUL=" + name for name in names]
        (prefix.windows_dir / "wininit.ini").write_bytes("\r\n".join(wininit + [""]).encode())

    # An upgrade: the held files let go, Skyvane installed again, then the restart.
    for holder in holders:
        holder.kill()
        holder.wait()
    if prefix.version == "win98":
        # A WININIT.INI the setup cannot read is no success: its work may
        # delete the new files.
        wininit_holder = hold(prefix, r"C:\windows\wininit.ini")
        shutil.copy(setup_program, prefix.path / "drive_c" / "setup.exe")
        assert exit_code(prefix, r"C:\setup.exe /S") == EXIT_RESTART_WORK_UNCHECKED
        wininit_holder.kill()
        wininit_holder.wait()
    assert prefix.run(setup_program, "/S", timeout=120).returncode == 0
    assert prefix.run("wineboot", "-r", timeout=120).returncode == 0
    assert "other-registry.tmp" not in windows_files(prefix.windows_dir), "the restart's work was not done"
    if prefix.version == "win98":
        assert "other-wininit.tmp" not in windows_files(prefix.windows_dir), "WININIT.INI's work was not done"
    assert_skyvane_is_whole(prefix)
    assert "screen.bmp" in windows_files(prefix.windows_dir), "the restart deleted the fake desktop's name"


# Each row: the setup's account, the desktop's account ("" no one logged on,
# "?" the session not asked), whether they count as the same.
ACCOUNT_PAIRS = [
    (r"PC\anna", r"PC\anna", 1),
    (r"PC\Admin", r"pc\ADMIN", 1),       # account names ignore case
    (r"PC\admin", r"PC\anna", 0),        # another account's password typed at the prompt
    (r"DOMAIN\anna", r"PC\anna", 0),     # the same name in another domain is another account
    ("", r"PC\anna", 1),                 # the setup's account not named: NT 4.0
    ("", "", 1),
    (r"PC\admin", "", 0),                # no one logged on: the system account's setup in session 0
    (r"PC\admin", "?", 1),               # terminal services not running: as the setup always did
]

# Each row: an account's name, its SID as the uninstaller finds it ("" none).
ACCOUNT_SIDS = [
    (r"NT AUTHORITY\LOCAL SERVICE", "S-1-5-19"),
    (r"NOWHERE\nobody", ""),
]


# Each row: a wide name, and its spelling in the code page ("" none): a
# letter outside it has none, not a look-alike's.
SPELLINGS = [
    ("\u0141ukasz", ""),
    ("Lukasz", "Lukasz"),
]


@pytest.mark.parametrize("clean_prefix", ["win10"], indirect=True)
def test_the_setup_tells_the_desktops_account_from_its_own(clean_prefix, tmp_path):
    """The comparison with given accounts and the SIDs of given accounts;
    and under Wine, where the setup runs as the one account logged on, the
    accounts it finds are the same."""
    rows = "".join('  Push "%s"\n  Push "%s"\n  Call SameAccount\n  Pop $0\n  FileWrite $9 "$0$\\r$\\n"\n'
                   % (setup, desktop) for setup, desktop, _ in ACCOUNT_PAIRS)
    rows += "".join('  Push "%s"\n  Call AccountSid\n  Pop $0\n  FileWrite $9 "$0$\\r$\\n"\n'
                    % account for account, _ in ACCOUNT_SIDS)
    rows += "".join("  System::Call '*(%s, &i2 0) i .r1'\n  Push $1\n  Call ExactAnsiSpelling\n  Pop $0\n"
                    '  System::Free $1\n  FileWrite $9 "[$0]$\\r$\\n"\n'
                    % ", ".join("&i2 %d" % ord(c) for c in wide) for wide, _ in SPELLINGS)
    program = compile_nsis(tmp_path, "accounts", r'''
!include "${ACCOUNTS}"
!insertmacro ACCOUNT_FUNCTIONS ""
!insertmacro ACCOUNT_SID_FUNCTION ""
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
    rows = len(ACCOUNT_PAIRS) + len(ACCOUNT_SIDS) + len(SPELLINGS)
    assert lines[:rows] == ([str(same) for _, _, same in ACCOUNT_PAIRS] + [sid for _, sid in ACCOUNT_SIDS]
                            + ["[%s]" % spelling for _, spelling in SPELLINGS])
    setup, desktop = lines[rows].split("|")
    assert setup and "\\" in setup and setup == desktop, lines
    assert lines[rows + 1:] == ["1"]


class SessionStandIn:
    """The stand-in WTSAPI32.DLL over Wine's own, for the setup and its
    uninstaller alone (a DLL override in their application defaults): it
    names the account logged on in the session as the test says."""

    def __init__(self, prefix):
        directory = prefix.system_dir
        existing = [p for p in directory.iterdir() if p.name.lower() == "wtsapi32.dll"]
        shutil.copy(harness.FIXTURES / "WTSAPI32.DLL", existing[0] if existing else directory / "wtsapi32.dll")
        for program in ["skyvane-setup.exe", "skyvane-uninstall.exe"]:
            prefix.reg_add(r"HKCU\Software\Wine\AppDefaults\%s\DllOverrides" % program, "wtsapi32", "REG_SZ",
                           "native")
        self.answer = directory / "skyvane-session.txt"

    def logged_on(self, account):
        """account: "DOMAIN\\name", or "" for no one."""
        self.answer.write_text(account + "\r\n", encoding="utf-8")


# Wine finds the SIDs of its own user and of the well-known accounts only:
# one of these stands in for the user at the desktop, with a registry of its
# own under HKEY_USERS as Windows loads it while that user is logged on.
DESKTOP_USER, DESKTOP_USER_HIVE = r"NT AUTHORITY\LOCAL SERVICE", r"HKU\S-1-5-19"


@pytest.mark.parametrize("clean_prefix", ["win10"], indirect=True)
def test_another_accounts_setup_leaves_the_saver_and_its_uninstaller_gives_the_desktop_users_back(
        clean_prefix, setup_program):
    prefix = clean_prefix
    session = SessionStandIn(prefix)
    choose_other_saver(prefix)   # the choice of the account the setup runs as
    # Pushed as the system account: no one is logged on in the setup's session.
    session.logged_on("")
    assert prefix.run(setup_program, "/S", timeout=120).returncode == 0
    assert "skyvane.scr" in windows_files(prefix.windows_dir)
    assert chosen_saver(prefix) == OTHER_SAVER, "the setup chose the saver of an account no one is logged on as"
    assert prefix.reg_query(RECORD_KEY) is None

    # The desktop's user had made Skyvane their saver with a setup of their
    # own, over another saver they had switched off.
    desktop_key, record_key = DESKTOP_USER_HIVE + r"\Control Panel\Desktop", DESKTOP_USER_HIVE + r"\Software\Brelmor"
    prefix.reg_add(desktop_key, "SCRNSAVE.EXE", "REG_SZ", r"C:\windows\skyvane.scr")
    prefix.reg_add(desktop_key, "ScreenSaveActive", "REG_SZ", "1")
    prefix.reg_add(record_key + r"\Skyvane", "ScreenSaverBefore", "REG_SZ", OTHER_SAVER)
    prefix.reg_add(record_key + r"\Skyvane", "ScreenSaveActiveBefore", "REG_DWORD", 0)
    # Another user, whose name differs from that account's by a letter outside
    # the code page (which an ANSI call spells as a look-alike), is at the
    # desktop: no account of that name is found, and the look-alike's saver stays.
    session.logged_on("NT AUTHORITY\\\u0141OCAL SERVICE")
    assert uninstall(prefix) == 0
    assert prefix.reg_query(desktop_key).get("SCRNSAVE.EXE") == ("REG_SZ", r"C:\windows\skyvane.scr")
    assert prefix.reg_query(record_key + r"\Skyvane"), "the look-alike account's record went"
    session.logged_on("")
    assert prefix.run(setup_program, "/S", timeout=120).returncode == 0

    session.logged_on(DESKTOP_USER)
    assert uninstall(prefix) == 0

    given_back = prefix.reg_query(desktop_key)
    assert given_back.get("SCRNSAVE.EXE") == ("REG_SZ", OTHER_SAVER), given_back
    assert given_back.get("ScreenSaveActive") == ("REG_SZ", "0"), given_back
    assert prefix.reg_query(record_key) is None, "the desktop user's record outlived the uninstaller"
    # The uninstalling account's own choice, another saver, stays.
    assert chosen_saver(prefix) == OTHER_SAVER
    assert desktop_value(prefix, "ScreenSaveActive") == "1"
