"""What the tests know of the program itself: its registry key and values, its
captions, its catalogue's slots and images, and its web address. One home for
these names, so that a test never spells them on its own."""

SETTINGS_KEY = r"HKLM\Software\Brelmor\Skyvane"
SETTINGS_KEY_IN_FULL = r"HKEY_LOCAL_MACHINE\Software\Brelmor\Skyvane"   # as REGEDIT4 files name it
VENDOR_ADDRESS = "http://www.brelmor.example/"

# The registry values of the 11 plane types, in the order the dialog writes them.
TYPE_VALUES = ["F16", "F15", "Awac", "U2", "B52", "SR71", "Wing", "F117", "B2", "F22", "Other"]

# Check box captions of the 11 plane types.
TYPE_BOXES = {
    "F16": "F-16 Jets", "SR71": "SR-71 Blackbird", "Awac": "AWAC Air Reconnaisance", "U2": "U-2 Spy Plane",
    "B52": "B-52 Bomber", "Wing": "The Flying Wing", "F117": "F-117 Stealth Nighthawk",
    "B2": "B-2 Stealth Bomber", "F22": "F-22 Raptor", "F15": "F-15 Jets", "Other": "All Others",
}

# (white image, black image) of every slot, slot 1 first: In<white>.jpg is the
# AND mask, In<black>.jpg the OR colours.
SLOT_IMAGES = [(1, 2), (11, 12), (5, 6), (17, 18), (3, 4), (7, 8), (45, 46), (15, 16), (19, 20), (33, 34),
               (23, 24), (25, 26), (43, 44), (27, 28), (31, 32), (29, 30), (37, 38), (39, 40), (41, 42),
               (9, 10)]

TYPE_OF_SLOT = dict(enumerate(
    ["F16", "Wing", "SR71", "F22", "F16", "Awac", "B2", "F22", "Other", "F117", "B52", "F22", "B2", "F15",
     "Other", "Other", "F22", "U2", "F16", "F16"], start=1))

# The slots of the F-16 and their images.
F16_SLOT_IMAGES = {slot: SLOT_IMAGES[slot - 1] for slot, kind in TYPE_OF_SLOT.items() if kind == "F16"}


def all_types(on):
    """Every type's registry value switched on (1) or off (0)."""
    return {name: 1 if on else 0 for name in TYPE_VALUES}


def decoded_image_names():
    """The 40 "In<n>.jpg" names the saver decodes its containers into."""
    return sorted("In%d.jpg" % number for pair in SLOT_IMAGES for number in pair)
