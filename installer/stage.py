"""Gathers what the installer and the release zip ship into one folder, the
same bytes and dates on every machine that builds the same commit:

  skyvane.scr, the image containers In*.sdd and the same pictures at twice
  the size In*x2.sd2, screen.jpg, background.jpg and background2x.jpg (the
  dialog's backdrop at twice the size)
  help.txt, credits.txt    with CR LF line ends (Notepad before Windows 10
                           shows bare line feeds as one long line)
  files.nsh                the installer's file lists: what it installs, and
                           so exactly what its uninstaller deletes and what
                           it keeps from a removal left for the next restart,
                           and the decoded plane images by the catalogue's
                           own names and by the names of those at twice the
                           size
  plugins/                 the setup's own NSIS plug-in, SkyvaneSetup.dll

Every file gets the modification time SOURCE_DATE_EPOCH, or else the date of
the commit the sources are at: the installer stores these dates, the zip too.

usage: stage.py SKYVANE_SCR DATA_DIR SOURCE_DIR STAGE_DIR SETUP_PLUGIN
"""
import os
import shutil
import subprocess
import sys
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent.parent / "art"))
import catalogue_table  # noqa: E402  (the catalogue's own table, read where the saver keeps it)

SHIPPED_TEXTS = ("help.txt", "credits.txt")
PICTURES = ("screen.jpg", "background.jpg", "background2x.jpg")
PLANE_IMAGES = 40


def build_epoch(source_dir):
    if os.environ.get("SOURCE_DATE_EPOCH"):
        return int(os.environ["SOURCE_DATE_EPOCH"])
    found = subprocess.run(["git", "-C", str(source_dir), "log", "-1", "--format=%ct"],
                           capture_output=True, text=True)
    return int(found.stdout.strip()) if found.returncode == 0 and found.stdout.strip() else 0


def with_crlf(text):
    return text.replace("\r\n", "\n").replace("\n", "\r\n")


def catalogue_images(catalogue_source):
    """The decoded plane images the saver writes, as its catalogue names them."""
    try:
        rows = catalogue_table.read_catalogue(catalogue_source)
    except ValueError as error:
        sys.exit("stage: %s: %s" % (catalogue_source, error))
    names = sorted({"In%d.jpg" % number for row in rows for number in (row.white, row.black)},
                   key=lambda name: int(name[2:-4]))
    if len(names) != PLANE_IMAGES:
        sys.exit("stage: %d plane images in %s, expected %d" % (len(names), catalogue_source, PLANE_IMAGES))
    return names


def containers(data_dir):
    return sorted((p.name for p in data_dir.glob("In*.sdd")), key=lambda name: int(name[2:-4]))


def double_density(name):
    """The picture at twice the size of In<n>.sdd or In<n>.jpg: In<n>x2.sd2, decoded to In<n>x2.jpg."""
    stem, extension = name.rsplit(".", 1)
    return stem + ("x2.jpg" if extension == "jpg" else "x2.sd2")


def nsis_lists(installed, decoded):
    lines = ["; Written by installer/stage.py: the files the installer puts into the",
             "; Windows directory, and the decoded plane images the saver writes there.",
             "!macro InstallProgramFiles"]
    lines += ['  File "${STAGE}\\%s"' % name for name in installed]
    # A file another program holds open goes at the next restart.
    lines += ["!macroend", "!macro RemoveProgramFiles DIR"]
    lines += ['  Delete /REBOOTOK "${DIR}\\%s"' % name for name in installed]
    # What a setup run before the restart an uninstaller left work for keeps.
    lines += ["!macroend", "!macro PushInstalledFiles DIR"]
    lines += ['  Push "${DIR}\\%s"' % name for name in installed]
    lines += ["!macroend", "!macro RemoveDecodedImages DIR"]
    lines += ['  Delete /REBOOTOK "${DIR}\\%s"' % name for name in decoded]
    lines += ["!macroend", ""]
    return "\r\n".join(lines)


def main(scr, data_dir, source_dir, stage, plugin):
    scr, data_dir, source_dir, stage, plugin = Path(scr), Path(data_dir), Path(source_dir), Path(stage), Path(plugin)
    if stage.exists():
        shutil.rmtree(stage)
    stage.mkdir(parents=True)
    plane_containers = containers(data_dir)
    installed = ["skyvane.scr", *plane_containers, *map(double_density, plane_containers), *PICTURES]
    shutil.copyfile(scr, stage / "skyvane.scr")
    for name in installed[1:]:
        shutil.copyfile(data_dir / name, stage / name)
    for name in SHIPPED_TEXTS:
        text = (source_dir / "installer" / name).read_text(encoding="ascii")
        (stage / name).write_bytes(with_crlf(text).encode("ascii"))
    decoded = catalogue_images(source_dir / "saver" / "catalogue.cpp")
    decoded += [double_density(name) for name in decoded]
    (stage / "files.nsh").write_bytes(nsis_lists(installed, decoded).encode("ascii"))
    plugins = stage / "plugins"
    plugins.mkdir(parents=True)
    shutil.copyfile(plugin, plugins / plugin.name)
    epoch = build_epoch(source_dir)
    for path in [*stage.iterdir(), plugins / plugin.name]:
        os.utime(path, (epoch, epoch))


if __name__ == "__main__":
    if len(sys.argv) != 6:
        sys.exit(__doc__)
    main(*sys.argv[1:])
