"""The import audit of what ships: Windows loads a program only when every
function it imports is exported, and Wine exports everything, so only the
files' own tables show whether Windows 95, 98, ME and NT 4.0 can start them.

The program: its imports (windows-imports.txt), its header (a 32-bit GUI
program for Windows 4.0) and the absence of an execution-level request, which
would switch off Windows' redirection of a standard user's writes to
HKEY_LOCAL_MACHINE and the Windows directory.
The setup program, its uninstaller and the NSIS plugins the setup carries
(NSIS's System.dll and its own SkyvaneSetup.dll): their imports
(setup-imports.txt), none of them wide-character, and their header.

SKYVANE_PROGRAM, SKYVANE_SETUP, SKYVANE_UNINSTALLER and SKYVANE_SETUP_PLUGIN
name the files (default build/cross/skyvane.scr, skyvane-setup.exe,
skyvane-uninstall.exe, the last a copy the installer's build keeps,
SkyvaneSetup.dll); SKYVANE_NSIS_PLUGINS the folder of NSIS's ANSI plugins.
"""
import os
import pathlib

import pefile
import pytest

ROOT = pathlib.Path(__file__).resolve().parents[2]
CROSS = ROOT / "build" / "cross"
PROGRAM = pathlib.Path(os.environ.get("SKYVANE_PROGRAM", CROSS / "skyvane.scr"))
SETUP = pathlib.Path(os.environ.get("SKYVANE_SETUP", CROSS / "skyvane-setup.exe"))
UNINSTALLER = pathlib.Path(os.environ.get("SKYVANE_UNINSTALLER", CROSS / "skyvane-uninstall.exe"))
SETUP_PLUGIN = pathlib.Path(os.environ.get("SKYVANE_SETUP_PLUGIN", CROSS / "SkyvaneSetup.dll"))
NSIS_PLUGINS = pathlib.Path(os.environ.get("SKYVANE_NSIS_PLUGINS", "/usr/share/nsis/Plugins/x86-ansi"))
ALLOWLIST = pathlib.Path(__file__).with_name("windows-imports.txt")
SETUP_ALLOWLIST = pathlib.Path(__file__).with_name("setup-imports.txt")
# The plugins skyvane.nsi calls; makensis packs them into the setup program.
SETUP_FAMILY = {"setup": SETUP, "uninstaller": UNINSTALLER, "System plugin": NSIS_PLUGINS / "System.dll",
                "setup's own plugin": SETUP_PLUGIN}

OLDEST_9X = {"95"}
OLDEST_9X_CRT = {"95+IE4"}   # msvcrt.dll comes with Windows 98 and Internet Explorer 4
OLDEST_NT = {"3.1", "3.5", "3.51", "4.0"}
RT_MANIFEST = 24


def allowlist(path=ALLOWLIST):
    """{(DLL in upper case, function): (9x, NT)} from an allowlist file."""
    entries = {}
    for number, line in enumerate(path.read_text().splitlines(), start=1):
        if not line.strip() or line.startswith("#"):
            continue
        fields = line.split(None, 4)
        assert len(fields) >= 4, "%s:%d: want DLL, function, 9x, NT" % (path.name, number)
        dll, function, nine_x, nt = fields[:4]
        key = (dll.upper(), function)
        assert key not in entries, "%s:%d: %s!%s twice" % (path.name, number, dll, function)
        entries[key] = (nine_x, nt)
    return entries


@pytest.fixture(scope="module")
def program():
    assert PROGRAM.is_file(), "%s is not built" % PROGRAM
    pe = pefile.PE(str(PROGRAM))
    yield pe
    pe.close()


def imports_of(pe):
    found = []
    for entry in getattr(pe, "DIRECTORY_ENTRY_IMPORT", []):
        dll = entry.dll.decode().upper()
        for symbol in entry.imports:
            found.append((dll, symbol.name.decode() if symbol.name else "#%d" % symbol.ordinal))
    return found


@pytest.mark.parametrize("path", [ALLOWLIST, SETUP_ALLOWLIST], ids=lambda path: path.name)
def test_the_allowlist_holds_only_functions_of_the_oldest_targets(path):
    entries = allowlist(path)
    assert entries
    newer = ["%s!%s (%s, NT %s)" % (dll, function, nine_x, nt)
             for (dll, function), (nine_x, nt) in sorted(entries.items())
             if nt not in OLDEST_NT
             or nine_x not in (OLDEST_9X_CRT if dll == "MSVCRT.DLL" else OLDEST_9X)]
    assert not newer, "newer than Windows 95 and NT 4.0: %s" % ", ".join(newer)
    dlls = {dll for dll, _ in entries}
    allowed = {"KERNEL32.DLL", "USER32.DLL", "GDI32.DLL", "ADVAPI32.DLL", "SHELL32.DLL", "MSVCRT.DLL"}
    if path == SETUP_ALLOWLIST:
        allowed |= {"COMCTL32.DLL", "OLE32.DLL"}   # both part of Windows 95 and NT 4.0
    assert dlls <= allowed, dlls


def test_every_import_is_on_the_allowlist(program):
    imported = imports_of(program)
    assert imported, "no import table read"
    entries = allowlist()
    missing = sorted("%s!%s" % key for key in imported if key not in entries)
    assert not missing, "imports not known to load on Windows 95 and NT 4.0: %s" % ", ".join(missing)
    # Imports that bind late are imports all the same.
    assert not getattr(program, "DIRECTORY_ENTRY_DELAY_IMPORT", None), "delay-loaded imports"


def unlisted_imports(pe, path):
    entries = allowlist(path)
    return sorted("%s!%s" % key for key in imports_of(pe) if key not in entries)


@pytest.fixture(scope="module", params=sorted(SETUP_FAMILY), ids=str)
def setup_file(request):
    path = SETUP_FAMILY[request.param]
    assert path.is_file(), "%s (the %s) is not built" % (path, request.param)
    pe = pefile.PE(str(path))
    yield pe
    pe.close()


def test_the_setup_family_imports_only_what_windows_95_and_nt_4_export(setup_file):
    assert imports_of(setup_file), "no import table read"
    missing = unlisted_imports(setup_file, SETUP_ALLOWLIST)
    assert not missing, "imports not known to load on Windows 95 and NT 4.0: %s" % ", ".join(missing)
    assert not getattr(setup_file, "DIRECTORY_ENTRY_DELAY_IMPORT", None), "delay-loaded imports"


def test_the_setup_family_is_ansi(setup_file):
    # Windows 9x exports most wide functions only as stubs that fail.
    wide = sorted("%s!%s" % (dll, name) for dll, name in imports_of(setup_file) if name.endswith("W"))
    assert not wide, "wide-character imports (a Unicode installer, NT only): %s" % ", ".join(wide)


def test_the_setup_family_is_32_bit_for_windows_4(setup_file):
    header = setup_file.OPTIONAL_HEADER
    assert setup_file.FILE_HEADER.Machine == pefile.MACHINE_TYPE["IMAGE_FILE_MACHINE_I386"]
    assert (header.MajorOperatingSystemVersion, header.MajorSubsystemVersion) == (4, 4)


def test_the_header_is_a_32_bit_gui_program_for_windows_4(program):
    header = program.OPTIONAL_HEADER
    assert program.FILE_HEADER.Machine == pefile.MACHINE_TYPE["IMAGE_FILE_MACHINE_I386"]
    assert header.Magic == pefile.OPTIONAL_HEADER_MAGIC_PE
    assert header.Subsystem == pefile.SUBSYSTEM_TYPE["IMAGE_SUBSYSTEM_WINDOWS_GUI"]
    assert (header.MajorOperatingSystemVersion, header.MinorOperatingSystemVersion) == (4, 0)
    assert (header.MajorSubsystemVersion, header.MinorSubsystemVersion) == (4, 0)


def manifests(pe):
    texts = []
    resources = getattr(pe, "DIRECTORY_ENTRY_RESOURCE", None)
    for kind in resources.entries if resources else []:
        if kind.id != RT_MANIFEST:
            continue
        for name in kind.directory.entries:
            for language in name.directory.entries:
                data = language.data.struct
                texts.append(pe.get_data(data.OffsetToData, data.Size).decode("utf-8", "replace"))
    return texts


def test_no_manifest_asks_for_an_execution_level(program):
    asking = [text for text in manifests(program) if "requestedExecutionLevel" in text]
    assert not asking, "a manifest requests an execution level:\n%s" % asking[0]
