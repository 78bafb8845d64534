"""Runs the flight benchmark; see scripts/bench.sh.

Everything runs on a private 1920x1080 Xvfb and a private Wine prefix, both
stopped at the end. The saver is the benchmark build (SKYVANE_BENCH), driven by
the SKYVANE_BENCH_* variables described in bench/flight_bench.h.
"""
import argparse
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time
from pathlib import Path

import numpy as np
from PIL import Image

ROOT = Path(__file__).resolve().parents[1]
sys.path.insert(0, str(ROOT / "tests" / "e2e"))
import flight_images  # noqa: E402
import harness  # noqa: E402

WIDTH, HEIGHT = 1920, 1080
WINE = {"WINEARCH": "win32", "WINEDEBUG": "-all", "WINEDLLOVERRIDES": "mscoree,mshtml="}
# Ticks at which both repaints dump their frames: slot 1 crossing (22 px a
# tick from x = -1094), then slot 5 (14 px a tick from the right).
DUMP_TICKS = [40, 60, 90, 120, 190, 240, 290]
CLOCK_TICKS = os.sysconf("SC_CLK_TCK")
STARTUP_ROUNDS = 7
INSTALLED_PLANES = "the 40 installed containers, every type on"


def log(*parts):
    print(*parts, file=sys.stderr, flush=True)


def cpu_seconds(pid):
    """User plus system CPU seconds of a process (0 when it is gone)."""
    try:
        fields = Path("/proc/%d/stat" % pid).read_text().rsplit(")", 1)[1].split()
    except OSError:
        return 0.0
    return (int(fields[11]) + int(fields[12])) / CLOCK_TICKS


def parse_stats(path):
    values = {}
    for line in Path(path).read_text().splitlines():
        if "=" in line:
            key, value = line.split("=", 1)
            values[key] = value
    return values


class Bench:
    def __init__(self, build, size=(WIDTH, HEIGHT), monitors=()):
        self.build = Path(build)
        self.width, self.height = size
        self.monitors = monitors
        self.work = Path(tempfile.mkdtemp(prefix="skyvane-bench-"))
        self.screen = None
        self.xvfb = None
        self.display = None
        self.prefix = None
        self.desktop = None

    # --- set-up and clean-up ------------------------------------------------------

    def start_display(self):
        self.screen = harness.Display("%dx%dx24" % (self.width, self.height)).start()
        self.xvfb, self.display = self.screen.process, self.screen.name
        if self.monitors:
            self.screen.set_monitors(*self.monitors)

    def env(self, **extra):
        return dict(os.environ, DISPLAY=self.display, WINEPREFIX=str(self.prefix), **WINE, **extra)

    def start_prefix(self, containers=None, **settings):
        """A Wine prefix with the benchmark's programs, its own planes and settings.

        containers: a directory of In*.sdd files to fly instead of the F16 test
        planes; settings: registry values over the F16-only, Delay 1 defaults."""
        template = subprocess.run(
            ["bash", "-c", 'source "$1" && skyvane_template_prefix', "-", str(ROOT / "scripts" / "wine-env.sh")],
            check=True, capture_output=True, text=True).stdout.strip().splitlines()[-1]
        self.prefix = self.work / "prefix"
        subprocess.run(["cp", "-a", template + "/.", str(self.prefix)], check=True)
        subprocess.run(["wineserver", "-p"], env=self.env(), check=True)
        windows = self.prefix / "drive_c" / "windows"
        if containers:
            self.install_containers(containers)
        else:
            # Only the F16 slots fly (1, 5, 19, 20), in catalogue order, 1 s apart.
            colours = {slot: colour for slot, colour in flight_images.SLOT_COLOURS.items()}
            for slot, (white, black) in flight_images.F16_SLOT_IMAGES.items():
                for number, background in ((white, (255, 255, 255)), (black, (0, 0, 0))):
                    jpeg = flight_images.jpeg_bytes(background, colours[slot], size=(577, 365),
                                                    box=(30, 80, 550, 290))
                    (windows / ("In%d.sdd" % number)).write_bytes(flight_images.container_bytes(jpeg))
        values = {name: 0 for name in ("F15", "Awac", "U2", "B52", "SR71", "Wing", "F117", "B2", "F22", "Other",
                                       "Random", "Fake")}
        values.update(F16=1, Delay=1)
        values.update(settings)
        self.write_settings(values)
        shutil.copy(self.build / "bench" / "skyvane.scr", self.prefix / "drive_c" / "skyvane.scr")
        shutil.copy(self.build / "bench" / "empty_window.exe", self.prefix / "drive_c" / "empty_window.exe")
        shutil.copy(self.build / "bench" / "tick_passes.exe", self.prefix / "drive_c" / "tick_passes.exe")
        shutil.copy(self.build / "tests" / "win32" / "fixtures" / "window_probe.exe",
                    self.prefix / "drive_c" / "window_probe.exe")

    def install_containers(self, directory):
        windows = self.prefix / "drive_c" / "windows"
        for container in Path(directory).glob("In*.sdd"):
            shutil.copy(container, windows / container.name)

    def write_settings(self, values):
        reg = self.work / "settings.reg"
        reg.write_text("REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\Software\\Brelmor\\Skyvane]\r\n" + "".join(
            '"%s"=dword:%08x\r\n' % item for item in values.items()))
        # Wine's own background processes inherit the output: send it nowhere,
        # or waiting for its end would wait for them.
        subprocess.run(["wine", "regedit", "/S", self.windows_path(reg)], env=self.env(), check=True,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=120)

    def show_desktop(self):
        """A busy desktop picture in an X window at (0, 0): the live desktop the saver copies."""
        picture = harness.make_desktop_picture(self.work / "desktop.png", self.width, self.height, seed=11)
        image = Image.open(picture).convert("RGB")
        self.desktop_pixels = np.asarray(image)
        self.desktop = subprocess.Popen(["display", "-geometry", "+0+0", "-borderwidth", "0", str(picture)],
                                        env=self.env(), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        harness.wait_for(lambda: np.array_equal(self.screenshot(), self.desktop_pixels), 60, "the desktop picture", 0.5)

    def screenshot(self):
        out = subprocess.run(["import", "-window", "root", "png:-"], env=self.env(), capture_output=True,
                             timeout=60).stdout
        shot = self.work / "shot.png"
        shot.write_bytes(out)
        with Image.open(shot) as image:
            return np.asarray(image.convert("RGB"))

    def wineserver_pid(self):
        return self.prefix_pid(lambda entry: (entry / "comm").read_text().strip() == "wineserver")

    def prefix_pid(self, matches):
        """The first process of this prefix that matches(its /proc entry), or None."""
        for entry in Path("/proc").iterdir():
            if not entry.name.isdigit():
                continue
            try:
                if not matches(entry):
                    continue
                environ = (entry / "environ").read_bytes().split(b"\0")
            except OSError:
                continue
            if ("WINEPREFIX=%s" % self.prefix).encode() in environ:
                return int(entry.name)
        return None

    def stop(self):
        if self.desktop:
            self.desktop.terminate()
            self.desktop.wait()
        if self.prefix:
            subprocess.run(["wineserver", "-k"], env=self.env(), capture_output=True)
            subprocess.run(["wineserver", "-w"], env=self.env(), capture_output=True)
        if self.screen:
            self.screen.stop()
        shutil.rmtree(self.work, ignore_errors=True)

    # --- runs -------------------------------------------------------------------------

    def windows_path(self, path):
        return "Z:" + str(path).replace("/", "\\")

    def run(self, program, args=(), timeout=180, **variables):
        """Starts a program, returns (launch time, stats, Xvfb and wineserver CPU during the flight)."""
        stats = self.work / ("stats-%d.txt" % time.monotonic_ns())
        started = Path(str(stats) + ".started")
        env = self.env(SKYVANE_BENCH_STATS=self.windows_path(stats), **variables)
        server = self.wineserver_pid()
        launched = time.time()
        process = subprocess.Popen(["wine", program, *args], env=env, stdout=subprocess.DEVNULL,
                                   stderr=subprocess.DEVNULL)
        try:
            harness.wait_for(started.exists, timeout, "the first tick of " + program, 0.02)
            x0, s0 = cpu_seconds(self.xvfb.pid), cpu_seconds(server) if server else 0.0
            process.wait(timeout)
            x1, s1 = cpu_seconds(self.xvfb.pid), cpu_seconds(server) if server else 0.0
        finally:
            if process.poll() is None:
                process.kill()
                process.wait()
        result = parse_stats(stats) if stats.exists() else {}
        result.update(parse_stats(started))
        samples = Path(str(stats) + ".samples")
        result["samples"] = samples.read_text().splitlines() if samples.exists() else []
        result["launched_unix_ms"] = launched * 1000
        result["xvfb_cpu_seconds"] = x1 - x0
        result["wineserver_cpu_seconds"] = s1 - s0
        return result

    def saver(self, **variables):
        return self.run("C:\\skyvane.scr", ["/S"], **variables)

    def program_pid(self, name):
        """The Wine process of this prefix whose command line names the program."""
        return self.prefix_pid(lambda entry: name.encode() in (entry / "cmdline").read_bytes())

    def monitor_power(self, value):
        """Sends the saver window the monitor-power command (2 off, -1 on), as Windows XP does."""
        subprocess.run(["wine", "C:\\window_probe.exe", "monitor", "TForm1", "quillon7", str(value)],
                       env=self.env(), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=True, timeout=120)


def read_bmp(path):
    with Image.open(path) as image:
        return np.asarray(image.convert("RGB"))


def frames_check(bench):
    """Both repaints, the same seed and the same ticks: are the painted frames identical?"""
    dumps = {}
    for mode in ("whole", "rect"):
        prefix = bench.work / ("frames-" + mode)
        bench.saver(SKYVANE_BENCH_REPAINT=mode, SKYVANE_BENCH_SEED="7",
                    SKYVANE_BENCH_DUMP=bench.windows_path(prefix),
                    SKYVANE_BENCH_DUMP_TICKS=",".join(map(str, DUMP_TICKS)))
        dumps[mode] = prefix
    rows = []
    identical = True
    for tick in DUMP_TICKS:
        whole = read_bmp("%s-%d-window.bmp" % (dumps["whole"], tick))
        rect = read_bmp("%s-%d-window.bmp" % (dumps["rect"], tick))
        scene = read_bmp("%s-%d-scene.bmp" % (dumps["rect"], tick))
        same = whole.shape == rect.shape and np.array_equal(whole, rect)
        matches_scene = np.array_equal(rect, scene[: rect.shape[0], : rect.shape[1]])
        plane_pixels = int(np.any(rect != bench.desktop_pixels, axis=2).sum())
        identical = identical and same and matches_scene
        rows.append((tick, same, matches_scene, plane_pixels))
    return identical, rows


def spread(values, form="%.3f"):
    """Median with the fastest and slowest round: "m (lo-hi)"."""
    return (form + " (" + form + "-" + form + ")") % (statistics.median(values), min(values), max(values))


def timing(bench, seconds, rounds):
    """Rounds of both repaints, one after the other, so each pair sees the same load."""
    results = {"whole": [], "rect": []}
    for _ in range(rounds):
        for mode in ("whole", "rect"):
            stats = bench.saver(SKYVANE_BENCH_REPAINT=mode, SKYVANE_BENCH_SECONDS=str(seconds), timeout=seconds + 120)
            flight = float(stats["flight_seconds"])
            saver_cpu = float(stats["saver_cpu_seconds"])
            results[mode].append({
                "ticks_per_second": int(stats["ticks"]) / flight,
                "saver": saver_cpu / flight,
                "xvfb": stats["xvfb_cpu_seconds"] / flight,
                "wineserver": stats["wineserver_cpu_seconds"] / flight,
                "total": (saver_cpu + stats["xvfb_cpu_seconds"] + stats["wineserver_cpu_seconds"]) / flight,
            })
    ratios = {key: [rect[key] / whole[key] for whole, rect in zip(results["whole"], results["rect"])]
              for key in ("saver", "total")}
    return results, ratios


# The saver's start-up in parts, each ending at the named time (Wine's start of
# the process and the window's creation up to FormCreate, then its steps).
STARTUP_PARTS = [
    ("Wine's start of the process", "step_entered"),
    ("WinMain to FormCreate: desktop, window", "step_begun"),
    ("settings (steps 1-7)", "step_settings"),
    ("decode pass (step 8)", "step_decode"),
    ("catalogue, input watch (9-10)", "step_catalogue"),
    ("background (11-13)", "step_background"),
    ("first plane (14-15)", "step_first_plane"),
    ("window shown, first paint", "step_shown"),
    ("to the first tick", "first_tick"),
]


def startup(bench, rounds):
    """The saver, the empty program and the empty program with the decode's file
    work (the floor), in turn, so each round's three saw the same load."""
    runs = {"saver": [], "empty": [], "floor": []}
    for _ in range(rounds):
        runs["saver"].append(bench.saver(SKYVANE_BENCH_DUMP_TICKS="1"))
        runs["empty"].append(bench.run("C:\\empty_window.exe"))
        runs["floor"].append(bench.run("C:\\empty_window.exe", SKYVANE_BENCH_FILE_WORK="1"))
    return runs


def first_frame_ms(stats):
    return float(stats["first_tick_unix_ms"]) - stats["launched_unix_ms"]


def startup_parts(stats):
    """Milliseconds of each part of the saver's start-up."""
    times = [stats["launched_unix_ms"]] + [float(stats[key + "_unix_ms"]) for _, key in STARTUP_PARTS]
    return [later - earlier for earlier, later in zip(times, times[1:])]
def installed_planes_startup(bench, rounds):
    """The start-up again with the program's own 40 containers and every type on."""
    bench.install_containers(bench.build / "data")
    bench.write_settings({name: 1 for name in ("F16", "F15", "Awac", "U2", "B52", "SR71", "Wing", "F117", "B2",
                                               "F22", "Other", "Delay")} | {"Random": 0, "Fake": 0})
    return startup(bench, rounds)


def display_sleep(bench, seconds, rounds):
    """Processor time per second with the display on, then off, in one run of the
    saver per round: the off and on figures of a round saw the same load."""
    results = {"on": [], "off": []}
    for _ in range(rounds):
        stats = bench.work / ("sleep-%d.txt" % time.monotonic_ns())
        started = Path(str(stats) + ".started")
        process = subprocess.Popen(["wine", "C:\\skyvane.scr", "/S"],
                                   env=bench.env(SKYVANE_BENCH_STATS=bench.windows_path(stats)),
                                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        try:
            harness.wait_for(started.exists, 180, "the saver's first tick", 0.05)
            saver = harness.wait_for(lambda: bench.program_pid("skyvane.scr"), 60, "the saver's process")
            server = bench.wineserver_pid() or 0
            for state in ("on", "off"):
                if state == "off":
                    bench.monitor_power(2)
                    time.sleep(0.5)   # the command's own work is done
                before = [cpu_seconds(pid) for pid in (saver, bench.xvfb.pid, server)]
                begun = time.monotonic()
                time.sleep(seconds)
                elapsed = time.monotonic() - begun
                after = [cpu_seconds(pid) for pid in (saver, bench.xvfb.pid, server)]
                used = [(a - b) / elapsed for a, b in zip(after, before)]
                results[state].append({"saver": used[0], "xvfb": used[1], "wineserver": used[2], "total": sum(used)})
            bench.monitor_power(-1)
            bench.screen.key("a")
            process.wait(60)
        finally:
            if process.poll() is None:
                process.kill()
                process.wait()
    return results


def report_display_sleep(results, seconds):
    print("Processor seconds per second, the display on and then off (%d rounds of %gs each, one saver run a round):"
          % (len(results["on"]), seconds))
    print()
    print("| CPU s/s | display on | display off |")
    print("|---|---|---|")
    for label, key in (("saver process", "saver"), ("Xvfb", "xvfb"), ("wineserver", "wineserver"),
                       ("total", "total")):
        print("| %s | %s | %s |" % (label, spread([r[key] for r in results["on"]]),
                                    spread([r[key] for r in results["off"]])))


def report_startup(runs, planes="the 8 F16 test containers"):
    saver = [first_frame_ms(r) for r in runs["saver"]]
    empty = [first_frame_ms(r) for r in runs["empty"]]
    floor = [first_frame_ms(r) for r in runs["floor"]]
    file_work = [float(r["file_work_unix_ms"]) - float(r["entered_unix_ms"]) for r in runs["floor"]]
    print("Start-up to the first frame with %s (%d rounds, the three programs in turn):" % (planes, len(saver)))
    print()
    print("| | ms | / empty program | / floor |")
    print("|---|---|---|---|")
    print("| saver | %s | %s | %s |" % (spread(saver, "%.0f"), spread([s / e for s, e in zip(saver, empty)], "%.2f"),
                                       spread([s / f for s, f in zip(saver, floor)], "%.2f")))
    print("| floor: empty program after the decode's file work | %s | %s | |"
          % (spread(floor, "%.0f"), spread([f / e for f, e in zip(floor, empty)], "%.2f")))
    print("| (of which the file work) | %s | | |" % spread(file_work, "%.1f"))
    print("| empty program | %s | | |" % spread(empty, "%.0f"))
    print()
    print("| the empty program, by part | ms |")
    print("|---|---|")
    for label, start, end in (("Wine's start of the process", None, "entered"),
                              ("WinMain to the window created", "entered", "window"),
                              ("window shown, first paint", "window", "shown"),
                              ("to the first tick", "shown", "first_tick")):
        print("| %s | %s |" % (label, spread([float(r[end + "_unix_ms"]) - (
            float(r[start + "_unix_ms"]) if start else r["launched_unix_ms"]) for r in runs["empty"]], "%.1f")))
    print()
    parts = [startup_parts(r) for r in runs["saver"]]
    print("| the saver's start-up, by part | ms | share of the whole |")
    print("|---|---|---|")
    for index, (label, _) in enumerate(STARTUP_PARTS):
        print("| %s | %s | %s |" % (label, spread([p[index] for p in parts], "%.1f"),
                                    spread([p[index] / sum(p) for p in parts], "%.2f")))
    return 0


def micro(bench):
    output = bench.work / "tick_passes.txt"
    with open(output, "w") as sink:
        subprocess.run(["wine", "C:\\tick_passes.exe"], env=bench.env(), stdout=sink,
                       stderr=subprocess.DEVNULL, timeout=300)
    out = output.read_text()
    return {key: value for key, value in (line.split("=", 1) for line in out.splitlines() if "=" in line)}


# Two monitors of the benchmark's size side by side, the primary on the left.
TWO_MONITORS = ("%dx%d+0+0" % (WIDTH, HEIGHT), "%dx%d+%d+0" % (WIDTH, HEIGHT, WIDTH))


def monitors_comparison(build, seconds, rounds):
    """The saver on one monitor and on two of its size, each on its own display
    and prefix, in turn every round so that each pair saw the same load:
    processor time per second of flight, then the start-up to the first frame."""
    benches = {"one": Bench(build), "two": Bench(build, (2 * WIDTH, HEIGHT), TWO_MONITORS)}
    results = {name: {"flight": [], "startup": []} for name in benches}
    try:
        for bench in benches.values():
            bench.start_display()
            bench.start_prefix()
            bench.show_desktop()
        for _ in range(rounds):
            for name, bench in benches.items():
                stats = bench.saver(SKYVANE_BENCH_SECONDS=str(seconds), timeout=seconds + 120)
                flight = float(stats["flight_seconds"])
                saver_cpu = float(stats["saver_cpu_seconds"])
                results[name]["flight"].append({
                    "saver": saver_cpu / flight,
                    "total": (saver_cpu + stats["xvfb_cpu_seconds"] + stats["wineserver_cpu_seconds"]) / flight})
        for _ in range(STARTUP_ROUNDS):
            for name, bench in benches.items():
                results[name]["startup"].append(first_frame_ms(bench.saver(SKYVANE_BENCH_DUMP_TICKS="1")))
    finally:
        for bench in benches.values():
            bench.stop()
    return results


def report_monitors(results, seconds):
    one, two = results["one"], results["two"]
    print("One monitor (%dx%d) against two of that size side by side, in turn (%d rounds of %gs, %d start-ups):"
          % (WIDTH, HEIGHT, len(one["flight"]), seconds, len(one["startup"])))
    print()
    print("| | one monitor | two monitors | two / one |")
    print("|---|---|---|---|")
    for label, key in (("CPU s/s, saver process", "saver"), ("CPU s/s, saver, Xvfb and wineserver", "total")):
        print("| %s | %s | %s | %s |" % (label, spread([r[key] for r in one["flight"]]),
                                         spread([r[key] for r in two["flight"]]),
                                         spread([b[key] / a[key] for a, b in zip(one["flight"], two["flight"])],
                                                "%.2f")))
    print("| start-up to the first frame, ms | %s | %s | %s |" % (
        spread(one["startup"], "%.0f"), spread(two["startup"], "%.0f"),
        spread([b / a for a, b in zip(one["startup"], two["startup"])], "%.2f")))


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", required=True)
    parser.add_argument("--seconds", type=float, default=20)
    parser.add_argument("--rounds", type=int, default=2)
    parser.add_argument("--startup-only", action="store_true",
                        help="measure only the start-up against the empty program")
    parser.add_argument("--display-sleep-only", action="store_true",
                        help="measure only the processor time with the display on and off")
    parser.add_argument("--monitors-only", action="store_true",
                        help="measure only one monitor against two")
    options = parser.parse_args()
    if options.monitors_only:
        report_monitors(monitors_comparison(options.build, options.seconds, options.rounds), options.seconds)
        return 0

    bench = Bench(options.build)
    try:
        bench.start_display()
        bench.start_prefix()
        bench.show_desktop()
        if options.display_sleep_only:
            report_display_sleep(display_sleep(bench, options.seconds, options.rounds), options.seconds)
            return 0
        if options.startup_only:
            rounds = max(options.rounds, STARTUP_ROUNDS)
            report_startup(startup(bench, rounds))
            print()
            return report_startup(installed_planes_startup(bench, rounds), planes=INSTALLED_PLANES)
        log("frames check ...")
        identical, frame_rows = frames_check(bench)
        log("timing, %d rounds of %gs per repaint ..." % (options.rounds, options.seconds))
        times, cpu_ratios = timing(bench, options.seconds, options.rounds)
        log("display on and off, %d rounds of %gs each ..." % (options.rounds, options.seconds))
        sleep = display_sleep(bench, options.seconds, options.rounds)
        log("start-up ...")
        start_runs = startup(bench, STARTUP_ROUNDS)
        log("tick passes ...")
        passes = micro(bench)
        log("start-up with the installed planes ...")
        installed_start = installed_planes_startup(bench, STARTUP_ROUNDS)
    finally:
        bench.stop()
    log("one monitor and two, %d rounds of %gs each ..." % (options.rounds, options.seconds))
    monitors = monitors_comparison(options.build, options.seconds, options.rounds)

    print("Flight benchmark, %dx%d Xvfb, Wine, only F16 slots (1, 5, 19, 20), Delay 1, live desktop" % (WIDTH, HEIGHT))
    print("Each figure: median of the rounds (fastest-slowest round).")
    print()
    print("| per second of flight (%d x %gs) | (a) whole-scene repaint | (b) changed-rectangle repaint | (b) / (a) |"
          % (options.rounds, options.seconds))
    print("|---|---|---|---|")
    rows = [("ticks per second", "ticks_per_second", "%.1f"), ("CPU s/s, saver process", "saver", "%.3f"),
            ("CPU s/s, Xvfb", "xvfb", "%.3f"), ("CPU s/s, wineserver", "wineserver", "%.3f"),
            ("CPU s/s, total", "total", "%.3f")]
    for label, key, form in rows:
        ratio = spread(cpu_ratios[key], "%.2f") if key in cpu_ratios else ""
        print("| %s | %s | %s | %s |" % (label, spread([r[key] for r in times["whole"]], form),
                                         spread([r[key] for r in times["rect"]], form), ratio))
    print()
    print("Frames at ticks %s (seed 7): %s" % (", ".join(map(str, DUMP_TICKS)),
                                               "identical" if identical else "DIFFERENT"))
    for tick, same, matches_scene, plane_pixels in frame_rows:
        print("  tick %d: window frames %s, frame %s the scene, %d pixels differ from the desktop"
              % (tick, "equal" if same else "DIFFER", "equals" if matches_scene else "DIFFERS FROM", plane_pixels))
    print()
    report_display_sleep(sleep, options.seconds)
    print()
    report_startup(start_runs)
    print()
    report_startup(installed_start, planes=INSTALLED_PLANES)
    print()
    report_monitors(monitors, options.seconds)
    print()
    print("One tick's four raster passes, sprites in the display's format as the saver gives them"
          " (9 rounds of 200 ticks, each after a round of 200 copies):")

    def tick_row(label, name):
        print("  %s: %s (%s-%s) us, %s (%s-%s) x memcpy" % (
            label, passes.get(name + "_us"), passes.get(name + "_min_us"), passes.get(name + "_max_us"),
            passes.get(name + "_per_memcpy"), passes.get(name + "_per_memcpy_min"),
            passes.get(name + "_per_memcpy_max")))
    tick_row("whole 577x365 sprite rectangle, 1920x1080 scene", "tick_whole_sprite_1920x1080")
    for size in ("1920x1080", "1280x1024", "3840x2160"):
        tick_row("painted area, %s scene" % size, "tick_%s" % size)
    print("  memcpy of four sprite rectangles (%s bytes): %s us"
          % (passes.get("sprite_bytes_per_tick"), passes.get("memcpy_sprite_us")))
    tick_row("painted area, 1920x1080, against memcpy of four painted areas (%s bytes, %s us)"
             % (passes.get("painted_bytes_per_tick"), passes.get("memcpy_painted_us")),
             "tick_painted_vs_painted_copies_1920x1080")
    print("  At 200 %% (1154x730 sprites), memcpy of four sprite rectangles (%s bytes): %s us"
          % (passes.get("sprite_bytes_per_tick_200"), passes.get("memcpy_sprite_200_us")))
    tick_row("painted area at 200 %, 3840x2160 scene", "tick_200_3840x2160")
    tick_row("painted area at 200 %%, 3840x2160, against memcpy of four painted areas (%s bytes, %s us)"
             % (passes.get("painted_bytes_per_tick_200"), passes.get("memcpy_painted_200_us")),
             "tick_200_painted_vs_painted_copies_3840x2160")
    print()
    installed_ratios = [first_frame_ms(s) / first_frame_ms(e)
                        for s, e in zip(installed_start["saver"], installed_start["empty"])]
    print("Goals: CPU (b)/(a) total %s (at most 0.25); passes %s x memcpy of the sprite rectangles' bytes"
          " (at most 1.5), %s at 200 %%; start-up with the 40 containers %s x the empty program (at most 1.35)"
          % (spread(cpu_ratios["total"], "%.2f"), passes.get("tick_1920x1080_per_memcpy"),
             passes.get("tick_200_3840x2160_per_memcpy"),
             spread(installed_ratios, "%.2f")))
    return 0 if identical else 1


if __name__ == "__main__":
    sys.exit(main())
