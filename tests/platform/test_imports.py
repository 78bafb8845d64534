"""The import audit of the shipped program: Windows loads a program only when
every function it imports is exported, and Wine exports everything, so only
the program's own tables show whether Windows 95, 98, ME and NT 4.0 can start
it. Also its header (a 32-bit GUI program for Windows 4.0) and the absence of
an execution-level request, which would switch off Windows' redirection of a
standard user's writes to HKEY_LOCAL_MACHINE and the Windows directory.

SKYVANE_PROGRAM names the program (default build/cross/skyvane.scr).
"""
import os
import pathlib

import pefile
import pytest

ROOT = pathlib.Path(__file__).resolve().parents[2]
PROGRAM = pathlib.Path(os.environ.get("SKYVANE_PROGRAM", ROOT / "build" / "cross" / "skyvane.scr"))
ALLOWLIST = pathlib.Path(__file__).with_name("windows-imports.txt")

OLDEST_9X = {"95"}
OLDEST_9X_CRT = {"95+IE4"}   # msvcrt.dll comes with Windows 98 and Internet Explorer 4
OLDEST_NT = {"3.1", "3.5", "3.51", "4.0"}
RT_MANIFEST = 24


def allowlist():
    """{(DLL in upper case, function): (9x, NT)} from the allowlist file."""
    entries = {}
    for number, line in enumerate(ALLOWLIST.read_text().splitlines(), start=1):
        if not line.strip() or line.startswith("#"):
            continue
        fields = line.split(None, 4)
        assert len(fields) >= 4, "%s:%d: want DLL, function, 9x, NT" % (ALLOWLIST.name, number)
        dll, function, nine_x, nt = fields[:4]
        key = (dll.upper(), function)
        assert key not in entries, "%s:%d: %s!%s twice" % (ALLOWLIST.name, number, dll, function)
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


def test_the_allowlist_holds_only_functions_of_the_oldest_targets():
    entries = allowlist()
    assert entries
    newer = ["%s!%s (%s, NT %s)" % (dll, function, nine_x, nt)
             for (dll, function), (nine_x, nt) in sorted(entries.items())
             if nt not in OLDEST_NT
             or nine_x not in (OLDEST_9X_CRT if dll == "MSVCRT.DLL" else OLDEST_9X)]
    assert not newer, "newer than Windows 95 and NT 4.0: %s" % ", ".join(newer)
    dlls = {dll for dll, _ in entries}
    assert dlls <= {"KERNEL32.DLL", "USER32.DLL", "GDI32.DLL", "ADVAPI32.DLL", "SHELL32.DLL", "MSVCRT.DLL"}, dlls


def test_every_import_is_on_the_allowlist(program):
    imported = imports_of(program)
    assert imported, "no import table read"
    entries = allowlist()
    missing = sorted("%s!%s" % key for key in imported if key not in entries)
    assert not missing, "imports not known to load on Windows 95 and NT 4.0: %s" % ", ".join(missing)
    # Imports that bind late are imports all the same.
    assert not getattr(program, "DIRECTORY_ENTRY_DELAY_IMPORT", None), "delay-loaded imports"


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
