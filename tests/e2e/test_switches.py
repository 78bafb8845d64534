"""The command line: which switches start the saver, which end at once, and
how a running saver keeps every new start from doing anything."""
import shutil

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


class PasswordRouter:
    """The stand-in MPR.DLL put over Wine's own in the system directory, for
    skyvane.scr alone (a DLL override in its application defaults)."""

    def __init__(self, prefix):
        self.directory = prefix.system_dir
        existing = [p for p in self.directory.iterdir() if p.name.lower() == "mpr.dll"]
        target = existing[0] if existing else self.directory / "mpr.dll"
        shutil.copy(harness.FIXTURES / "MPR.DLL", target)
        prefix.reg_add(r"HKCU\Software\Wine\AppDefaults\skyvane.scr\DllOverrides", "mpr", "REG_SZ", "native")

    def calls(self):
        log = self.directory / "skyvane-mpr-calls.log"
        return log.read_text().splitlines() if log.exists() else []


@pytest.mark.parametrize("switch", ["/a", "/A", "/A:777", "/a 1234"])
def test_a_hands_the_password_change_to_the_system_and_shows_nothing(display, desktop, prefix, saver_program,
                                                                      switch):
    router = PasswordRouter(prefix)
    appeared = run_and_watch(display, prefix, saver_program, switch.split())
    assert not appeared, "skyvane.scr %s mapped windows %s" % (switch, sorted(appeared))
    assert router.calls() == ["change provider=SCRSAVE owner=0 flags=0 reserved=0"], (
        "PwdChangePasswordA calls after %s: %s" % (switch, router.calls()))


def test_a_does_nothing_while_a_saver_runs(display, desktop, prefix, saver_program, start_saver):
    router = PasswordRouter(prefix)
    saver = start_saver("/S")
    saver.wait_for_window()
    run_and_watch(display, prefix, saver_program, ["/a"])
    assert router.calls() == [], "the password change ran beside a saver: %s" % router.calls()
    display.key("a")
    saver.wait_ended()
