"""Zips the program, its data files and its help for those who install by
hand, the same bytes every time: the names in a fixed order, every entry
dated SOURCE_DATE_EPOCH (in UTC), no owner or permission of the build machine.

usage: release_zip.py STAGE_DIR ZIP_FILE FOLDER
  STAGE_DIR  the folder installer/stage.py filled
  FOLDER     the folder the zip unpacks into (skyvane-VERSION)
"""
import os
import sys
import time
import zipfile
from pathlib import Path

SHIPPED = ("skyvane.scr", "screen.jpg", "background.jpg", "background2x.jpg", "help.txt", "credits.txt")


def shipped_files(stage):
    containers = sorted(stage.glob("In*.sdd"), key=lambda path: int(path.name[2:-4]))
    twice_the_size = sorted(stage.glob("In*x2.sd2"), key=lambda path: int(path.name[2:-6]))
    return [stage / name for name in SHIPPED] + containers + twice_the_size


def main(stage, zip_file, folder):
    stamp = time.gmtime(max(int(os.environ.get("SOURCE_DATE_EPOCH", "0")), 315532800))[:6]
    with zipfile.ZipFile(zip_file, "w") as archive:
        for path in shipped_files(Path(stage)):
            entry = zipfile.ZipInfo("%s/%s" % (folder, path.name), date_time=stamp)
            entry.create_system = 0   # MS-DOS: no Unix permissions
            entry.external_attr = 0x20   # the archive attribute, as Windows sets it
            archive.writestr(entry, path.read_bytes(), compress_type=zipfile.ZIP_DEFLATED, compresslevel=9)


if __name__ == "__main__":
    if len(sys.argv) != 4:
        sys.exit(__doc__)
    main(*sys.argv[1:])
