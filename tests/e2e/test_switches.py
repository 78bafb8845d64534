"""The command line: which switches start the saver, which end at once, and
how a running saver keeps every new start from doing anything."""
import pytest

import harness


def run_and_watch(display, prefix, program, args):
    """Runs program with args to its end; returns the X windows it mapped meanwhile."""
    before = display.visible_windows()
    process = prefix.popen(program, *args)
    appeared = set()

    def ended():
        appeared.update(display.visible_windows() - before)
        return process.poll() is not None

    harness.wait_for(ended, harness.END_TIMEOUT, "wine skyvane.scr %s to end by itself" % " ".join(args),
                     interval=0.1)
    return appeared


@pytest.mark.parametrize("args", [[], ["/p", "1234"], ["/P"], ["/SAVE"], ["/s:5"], ["/x"], ["S"], ["-s"]],
                         ids=["none", "preview", "preview-upper", "SAVE", "s-colon-5", "unknown", "no-slash",
                              "dash"])
def test_other_switches_end_at_once_without_a_window(display, desktop, prefix, saver_program, args):
    appeared = run_and_watch(display, prefix, saver_program, args)
    assert not appeared, "skyvane.scr %s mapped windows %s" % (" ".join(args), sorted(appeared))
    assert not prefix.saver_windows()


@pytest.mark.parametrize("switch", ["/s", "/S"])
def test_s_in_either_case_starts_the_saver(display, desktop, prefix, start_saver, switch):
    saver = start_saver(switch)
    saver.wait_for_window()
    display.key("a")
    saver.wait_ended()


def test_while_a_saver_runs_every_new_start_ends_at_once(display, desktop, prefix, saver_program, start_saver):
    first = start_saver("/S")
    first.wait_for_window()
    for args in (["/S"], ["/s"], ["/C"], ["/c:1234"], ["/config"], ["/A"], ["/a:777"]):
        run_and_watch(display, prefix, saver_program, args)
        windows = prefix.saver_windows()
        assert len(windows) == 1, "after a second start with %s: %d saver windows" % (args, len(windows))
        dialogs = [w for w in prefix.probe("windows", "*", "*")
                   if w["visible"] and w["class"] != "TForm1"]
        assert not dialogs, "a second start with %s showed windows %s" % (args, dialogs)
        assert first.running(), "the running saver ended when a second start with %s came" % args
    display.key("a")
    first.wait_ended()
