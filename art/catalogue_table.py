"""The saver's table of its 20 flights, read from where the saver keeps it: catalogueTable in
saver/catalogue.cpp. The picture build places each drawing by its flight's direction and steps,
and the installer names the decoded images after its containers, so neither keeps a copy.
"""
import re
from dataclasses import dataclass
from pathlib import Path

CATALOGUE_SOURCE = Path(__file__).resolve().parent.parent / "saver" / "catalogue.cpp"
SLOT_COUNT = 20

DIRECTIONS = {"enterLeft": 1, "enterRight": 2}

# One row: {"In<white>.jpg", "In<black>.jpg", direction, horizontal step, vertical step, type},
ROW = re.compile(r'\{\s*"In(\d+)\.jpg"\s*,\s*"In(\d+)\.jpg"\s*,\s*(enterLeft|enterRight)\s*,'
                 r'\s*(-?\d+)\s*,\s*(-?\d+)\s*,\s*PlaneType::(\w+)\s*\}\s*,?')
TABLE = re.compile(r"catalogueTable\s*\{\{(.*?)\}\};", re.DOTALL)


@dataclass(frozen=True)
class CatalogueRow:
    slot: int
    white: int          # In<white>.jpg: the plane on white
    black: int          # In<black>.jpg: the plane on black
    direction: int      # 1 = enters at the left and flies to the right, 2 = the other way
    hstep: int          # pixels per tick, positive to the right
    vstep: int          # pixels per tick, negative = climbing
    type: str           # the PlaneType the user switches on and off


def parse_catalogue(source: str) -> list:
    """The table's rows, slot 1 first; anything in it that is not a whole row is an error."""
    table = TABLE.search(source)
    if not table:
        raise ValueError("no catalogueTable{{ ... }}; in the catalogue's source")
    rows = [CatalogueRow(slot, int(white), int(black), DIRECTIONS[direction], int(hstep), int(vstep), kind)
            for slot, (white, black, direction, hstep, vstep, kind)
            in enumerate(ROW.findall(table.group(1)), start=1)]
    unread = ROW.sub("", table.group(1)).strip()
    if unread:
        raise ValueError(f"catalogueTable: cannot read {unread[:60]!r}")
    if len(rows) != SLOT_COUNT:
        raise ValueError(f"catalogueTable: {len(rows)} rows, expected {SLOT_COUNT}")
    return rows


def read_catalogue(path=CATALOGUE_SOURCE) -> list:
    return parse_catalogue(Path(path).read_text())
