"""The about box: borderless and centred over a disabled settings dialog, its
texts, the link line that opens the vendor's page, and its keyboard (Enter and
Space close it, Escape does nothing)."""

import pytest

import harness
from program_facts import VENDOR_ADDRESS
from dialog_driver import (Dialog, browser_stand_in, opened_addresses, use_own_window_frames,
                           write_backdrop)

SETTLE = 3
WS_POPUP, WS_CAPTION, WS_THICKFRAME = 0x80000000, 0x00C00000, 0x00040000


@pytest.fixture
def dialog(prefix, saver_program, tmp_path):
    use_own_window_frames(prefix)
    write_backdrop(prefix.windows_dir / "background.jpg")
    bin_dir, record = browser_stand_in(tmp_path / "bin")
    opened = Dialog(prefix, saver_program, path_first=bin_dir)
    opened.record = record
    opened.wait_shown()
    yield opened
    opened.kill()


def about_box(dialog):
    form, controls = dialog.snapshot(form_class="TFrmabout", title="*")
    return (form, controls) if form and form["visible"] else (None, [])


def open_about(dialog):
    dialog.click("About")
    return harness.wait_for(lambda: about_box(dialog)[0] and about_box(dialog), harness.START_TIMEOUT,
                            "the about box")


def wait_closed(dialog):
    harness.wait_for(lambda: not about_box(dialog)[0], harness.END_TIMEOUT, "the about box to close")
    form, _ = dialog.snapshot()
    assert form["enabled"], "the settings dialog stayed disabled"


def test_the_about_box_is_borderless_centred_modal_and_says_who_and_which_version(display, dialog):
    form, controls = open_about(dialog)
    width, height = form["right"] - form["left"], form["bottom"] - form["top"]
    assert (width, height, form["client_width"], form["client_height"]) == (559, 354, 559, 354)
    assert (form["left"], form["top"]) == ((display.width - 559) // 2, (display.height - 354) // 2)
    style = form["style"] & 0xFFFFFFFF
    assert style & WS_POPUP and not style & (WS_CAPTION | WS_THICKFRAME), "the box has a frame: %#x" % style
    assert not dialog.snapshot()[0]["enabled"], "the settings dialog is usable under the modal box"

    texts = [c["text"] for c in controls]
    assert any("Brelmor" in t and "Version 2.3" in t for t in texts), texts
    assert "Disclaimer" in texts
    link = [c for c in controls if c["text"].startswith(VENDOR_ADDRESS)]
    assert len(link) == 1 and "click" in link[0]["text"].lower(), texts
    buttons = [c for c in controls if c["class"] == "Button" and c["text"] == "Return"]
    assert len(buttons) == 1 and (buttons[0]["x"], buttons[0]["y"], buttons[0]["width"], buttons[0]["height"]) == (
        468, 324, 75, 25)
    assert form["focus"] == buttons[0]["id"], "the focus is not on Return"

    button = buttons[0]
    assert dialog.inspect("click", str(button["id"]), form_class="TFrmabout", title="*").returncode == 0
    wait_closed(dialog)
    assert dialog.running()


@pytest.mark.parametrize("key", ["Return", "space"])
def test_enter_and_space_close_the_box_and_escape_does_nothing(display, dialog, key):
    open_about(dialog)
    display.key("Escape")
    harness.holds(lambda: about_box(dialog)[0], "the about box open after Escape")
    display.key(key)
    wait_closed(dialog)
    # The dialog is unchanged and works: its OK still closes it.
    assert dialog.label1()["text"] == "4"
    dialog.click("OK")
    dialog.wait_ended()


def test_the_link_line_opens_the_vendor_page_and_the_box_stays(display, dialog):
    form, controls = open_about(dialog)
    link = [c for c in controls if c["text"].startswith(VENDOR_ADDRESS)][0]
    x, y = dialog.screen_point(link, form)
    display.move_mouse(x, y)
    display.click(1)
    harness.wait_for(lambda: opened_addresses(dialog.record), harness.START_TIMEOUT, "the browser to be asked")
    assert opened_addresses(dialog.record) == [VENDOR_ADDRESS]
    assert about_box(dialog)[0], "the about box closed after the link"
    display.key("Return")
    wait_closed(dialog)
