"""The settings dialog (skyvane.scr /c): what it shows from the settings key,
where its controls sit, its keyboard, every way of closing it (each saves all
14 values), a backdrop or a stored value that cannot be read, a screen too
small for the designed place, and the More Software button."""

import numpy as np
import pytest

import harness
from dialog_driver import SC_CLOSE, browser_stand_in, opened_addresses, stored_values
from program_facts import SETTINGS_KEY, TYPE_BOXES, VENDOR_ADDRESS, all_types


def set_values(prefix, **values):
    numbers = {name: value for name, value in values.items() if isinstance(value, int)}
    if numbers:
        prefix.set_dwords(SETTINGS_KEY, numbers)
    for name, value in values.items():
        if name not in numbers:
            prefix.reg_add(SETTINGS_KEY, name, "REG_DWORD", value)


def expect_stored(prefix, expected):
    stored = stored_values(prefix)
    assert stored == expected, "settings key: got %s, expected %s" % (stored, expected)


# --------------------------------------------------------------------- showing

def test_first_run_shows_every_type_four_seconds_in_order_on_the_live_desktop(prefix, open_dialog):
    prefix.reg_delete(SETTINGS_KEY)
    dialog = open_dialog()
    controls = dialog.controls()
    unchecked = [name for name, caption in TYPE_BOXES.items() if not dialog.checked(caption, controls)]
    assert not unchecked, "type boxes unchecked on first run: %s" % unchecked
    bar = dialog.scroll_bar(controls)
    assert (bar["pos"], bar["min"], bar["max"], bar["page"]) == (4, 1, 300, 0), bar
    assert dialog.label1(controls)["text"] == "4"
    radios = {text: dialog.checked(text, controls)
              for text in ("In Order", "Random Order", "Use Your Desktop", "Use Fake Desktop")}
    assert radios == {"In Order": True, "Random Order": False, "Use Your Desktop": True,
                      "Use Fake Desktop": False}, radios
    # The load only read: the dialog's first close creates the key and writes it.
    assert stored_values(prefix) is None

    dialog.click("OK")
    dialog.wait_ended()
    expect_stored(prefix, dict(all_types(True), Delay=4, Random=0, Fake=0))


# (caption or None, parent caption or None, left, top, width, height); labels
# are sized to their text, so only their place is fixed.
LAYOUT = [
    ("Planes Appear Every:", None, 420, 3, 121, 52),
    ("Seconds", "Planes Appear Every:", 41, 33, None, None),
    ("Background", None, 421, 73, 124, 73),
    ("Use Your Desktop", "Background", 5, 15, 113, 17),
    ("Use Fake Desktop", "Background", 5, 31, 113, 17),
    ("Get Fake Desktop", "Background", 8, 52, 107, 16),
    ("Show Planes:", None, 432, 178, 103, 51),
    ("In Order", "Show Planes:", 6, 13, 83, 17),
    ("Random Order", "Show Planes:", 6, 29, 91, 17),
    ("Show Following Planes:", None, 5, 205, 156, 193),
    ("F-16 Jets", "Show Following Planes:", 5, 13, 97, 17),
    ("SR-71 Blackbird", "Show Following Planes:", 5, 29, 97, 17),
    ("AWAC Air Reconnaisance", "Show Following Planes:", 5, 45, 147, 17),
    ("U-2 Spy Plane", "Show Following Planes:", 5, 61, 97, 17),
    ("B-52 Bomber", "Show Following Planes:", 5, 77, 97, 17),
    ("The Flying Wing", "Show Following Planes:", 5, 93, 97, 17),
    ("F-117 Stealth Nighthawk", "Show Following Planes:", 5, 109, 146, 17),
    ("B-2 Stealth Bomber", "Show Following Planes:", 5, 125, 149, 17),
    ("F-22 Raptor", "Show Following Planes:", 5, 141, 138, 17),
    ("F-15 Jets", "Show Following Planes:", 5, 157, 97, 17),
    ("All Others", "Show Following Planes:", 5, 173, 97, 17),
    ("More Software", None, 431, 326, 109, 22),
    ("About", None, 431, 352, 109, 22),
    ("OK", None, 431, 376, 109, 22),
]

KEYBOARD_ORDER = ["<scroll bar>", "In Order", "F-16 Jets", "F-15 Jets", "U-2 Spy Plane",
                  "AWAC Air Reconnaisance", "B-52 Bomber", "The Flying Wing", "B-2 Stealth Bomber",
                  "F-117 Stealth Nighthawk", "F-22 Raptor", "All Others", "SR-71 Blackbird", "About", "OK",
                  "More Software", "Use Your Desktop", "Get Fake Desktop"]

WS_HSCROLL, WS_VSCROLL = 0x00100000, 0x00200000
WS_OVERLAPPEDWINDOW = 0x00CF0000
SC_MAXIMIZE = 0xF030


def test_the_window_and_its_controls_sit_where_they_were_designed_over_the_backdrop(
        prefix, display, open_dialog, backdrop):
    dialog = open_dialog()
    form, controls = dialog.snapshot()
    assert (form["title"], form["left"], form["top"], form["right"], form["bottom"]) == (
        "Skyvane", 380, 189, 380 + 555, 189 + 441), form
    assert form["style"] & WS_OVERLAPPEDWINDOW == WS_OVERLAPPEDWINDOW, "not an ordinary sizeable window"
    assert not form["style"] & (WS_HSCROLL | WS_VSCROLL), "the form shows a scroll bar"

    ids = {c["id"]: c for c in controls}
    for caption, parent, left, top, width, height in LAYOUT:
        control = dialog.control(caption, controls)
        parent_caption = ids[control["parent"]]["text"] if control["parent"] else None
        got = (parent_caption, control["left"], control["top"], control["width"], control["height"])
        expected = (parent, left, top, width if width else got[3], height if height else got[4])
        assert got == expected, "%s: got %s, expected %s" % (caption, got, expected)
        assert control["visible"] and control["enabled"], "%s is hidden or disabled" % caption
    bar = dialog.scroll_bar(controls)
    assert (ids[bar["parent"]]["text"], bar["left"], bar["top"], bar["width"], bar["height"]) == (
        "Planes Appear Every:", 14, 18, 92, 11)
    label = dialog.label1(controls)
    assert (label["left"], label["top"]) == (20, 33)

    # Keyboard: the focus starts on the scroll bar; Tab visits the rest in order.
    by_id = {c["id"]: ("<scroll bar>" if c["class"] == "ScrollBar" else c["text"]) for c in controls}
    assert by_id.get(form["focus"]) == "<scroll bar>", "focus on %r" % by_id.get(form["focus"])
    order = [by_id[int(line.split('"id": ')[1].rstrip("}"))]
             for line in dialog.inspect("taborder").stdout.splitlines() if line.startswith("{")]
    assert order == KEYBOARD_ORDER, order

    # The backdrop is drawn at its own size from the client area's top-left
    # corner; right of it the button face shows (no control stands there).
    shot = display.screenshot()
    x, y = form["client_left"], form["client_top"]
    height, width = backdrop.shape[:2]
    drawn = shot[y:y + height, x:x + width].astype(int)
    assert np.abs(drawn - backdrop).mean() < 3, "the backdrop is not at the client area's top-left"
    beside = shot[y + 10:y + 190, x + width + 10:x + 400]
    face = beside[0, 0]
    assert np.all(beside == face) and not np.array_equal(face, backdrop[0, -1]), (
        "right of the backdrop the form is not plain")

    # Resizing moves nothing: maximised, every control keeps its place.
    places = {c["id"]: (c["x"], c["y"], c["width"], c["height"]) for c in controls}
    dialog.inspect("syscommand", str(SC_MAXIMIZE))
    harness.wait_for(lambda: dialog.snapshot()[0]["client_width"] > 555, harness.END_TIMEOUT, "the maximised form")
    moved = {c["text"]: (places[c["id"]], (c["x"], c["y"], c["width"], c["height"]))
             for c in dialog.controls() if places[c["id"]] != (c["x"], c["y"], c["width"], c["height"])}
    assert not moved, "controls moved when the form was resized: %s" % moved


@pytest.mark.parametrize("stored, position", [(0, 1), (500, 300), (-7, 1)], ids=["0", "500", "-7"])
def test_a_delay_outside_the_scroll_range_is_shown_as_stored_and_saved_unchanged(
        prefix, open_dialog, stored, position):
    set_values(prefix, Delay="0x%X" % (stored & 0xFFFFFFFF))
    dialog = open_dialog()
    controls = dialog.controls()
    assert dialog.scroll_bar(controls)["pos"] == position
    assert dialog.label1(controls)["text"] == str(stored)
    dialog.click("OK")
    dialog.wait_ended()
    expect_stored(prefix, dict(all_types(True), Delay=stored & 0xFFFFFFFF, Random=0, Fake=0))


@pytest.mark.parametrize("screen", [
    pytest.param((640, 480), marks=pytest.mark.screen("640x480x24"), id="640x480"),
    pytest.param((800, 600), marks=pytest.mark.screen("800x600x24"), id="800x600"),
])
def test_on_a_small_screen_the_dialog_moves_just_far_enough_to_lie_on_it(display, open_dialog, screen):
    dialog = open_dialog()
    form, controls = dialog.snapshot()
    width, height = screen
    # No taskbar here: the work area is the whole screen.
    assert (form["left"], form["top"], form["right"], form["bottom"]) == (
        width - 555, height - 441, width, height), form
    ok = dialog.control("OK", controls)
    x, y = dialog.screen_point(ok, form)
    assert x < width and y < height, "the OK button is off the screen at %d,%d" % (x, y)


def test_the_scroll_bar_moves_by_keys_arrows_clicks_and_dragging_and_the_label_follows(
        prefix, display, open_dialog):
    set_values(prefix, Delay=2)
    dialog = open_dialog()
    dialog.focus_window(display)

    def position_and_label():
        controls = dialog.controls()
        return dialog.scroll_bar(controls)["pos"], dialog.label1(controls)["text"]

    def after(expected, what):
        harness.wait_for(lambda: position_and_label() == expected, harness.END_TIMEOUT,
                         "%s: scroll bar and label at %s (last %s)" % (what, expected, position_and_label()))

    display.key("End")
    after((300, "300"), "End")
    display.key("Home")
    after((1, "1"), "Home")
    display.key("Right")
    after((2, "2"), "Right arrow key")

    form, controls = dialog.snapshot()
    bar = dialog.scroll_bar(controls)
    left = form["client_left"] + bar["x"]
    middle = form["client_top"] + bar["y"] + bar["height"] // 2
    right = left + bar["width"] - 1
    display.move_mouse(right - 3, middle)      # the right arrow
    display.click(1)
    after((3, "3"), "a click on the right arrow")
    display.move_mouse(right - 25, middle)     # beside the thumb
    display.click(1)
    after((4, "4"), "a click beside the thumb")

    # Dragging: the label follows the thumb while the button is still down.
    thumb_x = left + bar["arrow"] + 4          # the thumb stands right of the left arrow
    display.move_mouse(thumb_x, middle)
    display.x("xdotool", "mousedown", "1")
    try:
        display.move_mouse(thumb_x + 20, middle)
        display.move_mouse(thumb_x + 40, middle)
        harness.wait_for(lambda: position_and_label()[0] > 20 and
                         position_and_label()[1] == str(position_and_label()[0]),
                         harness.END_TIMEOUT, "the label to follow the dragged thumb")
    finally:
        display.x("xdotool", "mouseup", "1")
    dragged = position_and_label()
    assert dragged[1] == str(dragged[0])

    dialog.click("OK")
    dialog.wait_ended()
    assert stored_values(prefix)["Delay"] == dragged[0]


def test_with_no_box_checked_all_others_is_saved_as_the_only_type(prefix, open_dialog):
    dialog = open_dialog()
    for caption in TYPE_BOXES.values():
        dialog.click(caption)
    harness.wait_for(lambda: not any(dialog.checked(c) for c in TYPE_BOXES.values()), harness.END_TIMEOUT,
                     "every type box unchecked")
    dialog.click("OK")
    dialog.wait_ended()
    expect_stored(prefix, dict(all_types(False), Other=1, Delay=4, Random=0, Fake=0))


def lock_settings_key(prefix):
    """Everybody may read the settings key and nobody change it, as for a
    standard user of Windows NT."""
    locked = prefix.run(harness.FIXTURES / "registry_lock.exe", SETTINGS_KEY.split("\\", 1)[1])
    assert locked.returncode == 0, "could not make the settings key read-only"


def test_a_key_the_user_may_only_read_is_shown_and_a_failed_save_is_reported(prefix, open_dialog):
    stored = dict(all_types(True), F16=0, Delay=12, Random=1, Fake=0)
    set_values(prefix, **stored)
    lock_settings_key(prefix)

    dialog = open_dialog()
    controls = dialog.controls()
    assert dialog.label1(controls)["text"] == "12"
    assert not dialog.checked(TYPE_BOXES["F16"], controls)
    assert dialog.checked("Random Order", controls)

    dialog.click(TYPE_BOXES["F16"])
    dialog.click("OK")
    texts = dialog.wait_message_box("Skyvane!")
    assert texts == ["Cannot save the settings to HKEY_LOCAL_MACHINE\\Software\\Brelmor\\Skyvane."], texts
    dialog.dismiss("Skyvane!")
    # Told once, the user is not kept in a dialog that can never save.
    dialog.wait_ended()
    expect_stored(prefix, stored)


# --------------------------------------------------------------------- closing

def close_by(route, dialog, display):
    if route == "OK button":
        dialog.click("OK")
    elif route == "close box":
        point = [line for line in dialog.inspect("closebox").stdout.splitlines() if line.startswith("{")]
        assert point, "no close box in the title bar"
        import json
        where = json.loads(point[0])
        display.move_mouse(where["x"], where["y"])
        display.click(1)
    elif route == "system menu":
        dialog.inspect("syscommand", str(SC_CLOSE))
    elif route == "Alt+F4":
        dialog.focus_window(display)
        display.key("alt+F4")
    elif route == "Enter":
        dialog.focus_window(display)
        display.key("Return")
    elif route == "shutdown":
        out = dialog.inspect("endsession").stdout
        assert '"query_result": 1' in out, "the dialog refused the end of the session: %s" % out
    else:
        raise ValueError(route)


@pytest.mark.parametrize("route", ["OK button", "close box", "system menu", "Alt+F4", "Enter", "shutdown"])
def test_every_way_of_closing_saves_all_values(prefix, display, open_dialog, route):
    set_values(prefix, F16=0, F15=1, Awac=0, U2=1, B52=0, SR71=1, Wing=0, F117=1, B2=0, F22=1, Other=0,
               Delay=17, Random=1, Fake=0)
    dialog = open_dialog()
    dialog.click("B-52 Bomber")
    dialog.click("In Order")
    harness.wait_for(lambda: dialog.checked("B-52 Bomber") and dialog.checked("In Order"),
                     harness.END_TIMEOUT, "the clicks to take effect")
    # Nothing reaches the key before the close.
    assert stored_values(prefix)["B52"] == 0 and stored_values(prefix)["Random"] == 1

    close_by(route, dialog, display)
    dialog.wait_ended()
    expect_stored(prefix, dict(F16=0, F15=1, Awac=0, U2=1, B52=1, SR71=1, Wing=0, F117=1, B2=0, F22=1,
                               Other=0, Delay=17, Random=0, Fake=0))


def wait_focus_rectangle(dialog, display, text):
    """Waits for the focus on the control and a dotted focus rectangle around its caption (even
    the shortest caption's rectangle has some 50 dots)."""
    harness.wait_for(lambda: dialog.snapshot()[0]["focus"] == dialog.control(text)["id"],
                     harness.END_TIMEOUT, "the focus on %s" % text)
    harness.wait_for(lambda: dialog.focus_dots(display, text) >= 30, harness.END_TIMEOUT,
                     "the focus rectangle around %s" % text)


def test_keys_keep_the_focus_rectangle_escape_does_nothing_and_enter_on_a_check_box_presses_ok(
        prefix, display, open_dialog):
    dialog = open_dialog()
    dialog.focus_window(display)
    display.key("Tab", "Tab")                    # scroll bar -> In Order -> F-16 Jets
    wait_focus_rectangle(dialog, display, "F-16 Jets")
    display.key("space")
    harness.wait_for(lambda: not dialog.checked("F-16 Jets"), harness.END_TIMEOUT, "Space to uncheck F-16")
    # The focus rectangle stays where the focus is after Space and after an arrow key in a
    # radio group, drawn by the system in its own colours (the button face inverted).
    wait_focus_rectangle(dialog, display, "F-16 Jets")
    display.key("shift+Tab", "Down")             # F-16 Jets -> In Order, the arrow to Random Order
    harness.wait_for(lambda: dialog.checked("Random Order"), harness.END_TIMEOUT, "Down to choose Random Order")
    wait_focus_rectangle(dialog, display, "Random Order")
    assert dialog.focus_dots(display, "In Order") == 0, "a focus rectangle left on In Order"
    display.key("Tab")                           # Random Order -> F-16 Jets
    wait_focus_rectangle(dialog, display, "F-16 Jets")
    display.key("Escape")
    harness.holds(dialog.running, "the dialog running after Escape")
    assert stored_values(prefix) is None, "Escape saved something"
    display.key("Return")
    dialog.wait_ended()
    expect_stored(prefix, dict(all_types(True), F16=0, Delay=4, Random=1, Fake=0))


@pytest.mark.parametrize("damage", ["missing", "no-jpeg"])
def test_a_backdrop_that_cannot_be_shown_is_reported_once_and_the_settings_load_and_save(
        prefix, open_dialog, damage):
    chosen = dict(all_types(False), F16=1, B2=1, Delay=7, Random=1, Fake=0)
    set_values(prefix, **chosen)
    backdrop = prefix.windows_dir / "background.jpg"
    if damage == "missing":
        backdrop.unlink()
    else:
        backdrop.write_bytes(b"GIF89a, not a JPEG")
    dialog = open_dialog(wait=False)
    texts = dialog.wait_message_box("Skyvane!")
    if damage == "missing":
        assert texts == ["Cannot open file C:\\windows\\background.jpg."], texts
    else:
        assert len(texts) == 1 and texts[0], texts
    dialog.dismiss("Skyvane!")
    dialog.wait_shown()

    controls = dialog.controls()
    checked = sorted(c["text"] for c in controls if c["checked"] == 1)
    assert checked == sorted([TYPE_BOXES["F16"], TYPE_BOXES["B2"], "Random Order", "Use Your Desktop"]), checked
    assert dialog.label1(controls)["text"] == "7"
    harness.holds(lambda: not dialog.message_boxes("Skyvane!"), "no second report of the backdrop")
    dialog.click("OK")
    dialog.wait_ended()
    expect_stored(prefix, chosen)


def test_a_value_that_cannot_be_read_is_reported_and_costs_none_of_the_others(prefix, open_dialog):
    # The user's choices, with F16 left as text by a hand edit.
    chosen = dict(all_types(True), B52=1, Other=0, Delay=9, Random=1, Fake=0)
    set_values(prefix, **chosen)
    prefix.reg_add(SETTINGS_KEY, "F16", "REG_SZ", "on")
    dialog = open_dialog(wait=False)
    texts = dialog.wait_message_box("Skyvane!")
    assert texts == ["Invalid data type for 'F16'"], texts
    dialog.dismiss("Skyvane!")
    dialog.wait_shown()

    # Every other value as stored; F16 as assumed for a missing value: on.
    controls = dialog.controls()
    checked = sorted(c["text"] for c in controls if c["checked"] == 1)
    expected = [caption for name, caption in TYPE_BOXES.items() if name != "Other"]
    assert checked == sorted(expected + ["Random Order", "Use Your Desktop"]), checked
    assert dialog.scroll_bar(controls)["pos"] == 9
    assert dialog.label1(controls)["text"] == "9"
    assert not dialog.message_boxes("Skyvane!"), "the value was reported twice"

    # Closed unchanged, the dialog writes the user's values back, F16 as a number.
    dialog.click("OK")
    dialog.wait_ended()
    expect_stored(prefix, dict(chosen, F16=1))


# --------------------------------------------------------------------- More Software

def test_more_software_opens_the_vendor_page_or_says_where_to_find_it(prefix, open_dialog, tmp_path):
    bin_dir, record = browser_stand_in(tmp_path / "bin")
    dialog = open_dialog(path_first=bin_dir)
    dialog.click("More Software")
    harness.wait_for(lambda: opened_addresses(record), harness.START_TIMEOUT, "the browser to be asked")
    assert opened_addresses(record) == [VENDOR_ADDRESS]
    assert not dialog.message_boxes("Skyvane!")

    # Without any program for web addresses the shell fails and the dialog says so.
    assert prefix.reg_delete(r"HKCR\http"), "could not remove the http association"
    dialog.click("More Software")
    texts = dialog.wait_message_box("Skyvane!")
    assert len(texts) == 1 and VENDOR_ADDRESS in texts[0], texts
    box = prefix.probe("dialog", "Skyvane!")
    assert not [c for c in box if c["icon"] and c["has_image"]], "the message box shows an icon"
    assert [c["text"] for c in box if c["class"] == "Button"] == ["OK"]
    dialog.dismiss("Skyvane!")
    assert dialog.running()
    assert opened_addresses(record) == [VENDOR_ADDRESS]
