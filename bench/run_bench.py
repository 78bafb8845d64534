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
    def __init__(self, build, size=(WIDTH, HEIGHT)):
        self.build = Path(build)
        self.width, self.height = size
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
        for entry in Path("/proc").iterdir():
            if not entry.name.isdigit():
                continue
            try:
                if (entry / "comm").read_text().strip() != "wineserver":
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


def startup(bench, rounds):
    """The saver and the empty program in turn, so each pair sees the same load."""
    def first_frame_ms(stats):
        return float(stats["first_tick_unix_ms"]) - stats["launched_unix_ms"]
    saver, empty = [], []
    for _ in range(rounds):
        saver.append(first_frame_ms(bench.saver(SKYVANE_BENCH_DUMP_TICKS="1")))
        empty.append(first_frame_ms(bench.run("C:\\empty_window.exe")))
    return saver, empty, [s / e for s, e in zip(saver, empty)]


def installed_planes_startup(bench, rounds):
    """The start-up again with the program's own 40 containers and every type on."""
    bench.install_containers(bench.build / "data")
    bench.write_settings({name: 1 for name in ("F16", "F15", "Awac", "U2", "B52", "SR71", "Wing", "F117", "B2",
                                               "F22", "Other", "Delay")} | {"Random": 0, "Fake": 0})
    return startup(bench, rounds)


def report_startup(saver, empty, ratios, planes="the 8 F16 test containers"):
    print("Start-up to the first frame with %s (%d rounds, in turn): saver %s ms, empty Win32 program %s ms,"
          " ratio %s" % (planes, len(saver), spread(saver, "%.0f"), spread(empty, "%.0f"), spread(ratios, "%.2f")))
    return 0


def micro(bench):
    output = bench.work / "tick_passes.txt"
    with open(output, "w") as sink:
        subprocess.run(["wine", "C:\\tick_passes.exe"], env=bench.env(), stdout=sink,
                       stderr=subprocess.DEVNULL, timeout=300)
    out = output.read_text()
    return {key: value for key, value in (line.split("=", 1) for line in out.splitlines() if "=" in line)}


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", required=True)
    parser.add_argument("--seconds", type=float, default=20)
    parser.add_argument("--rounds", type=int, default=2)
    parser.add_argument("--startup-only", action="store_true",
                        help="measure only the start-up against the empty program")
    options = parser.parse_args()

    bench = Bench(options.build)
    try:
        bench.start_display()
        bench.start_prefix()
        bench.show_desktop()
        if options.startup_only:
            rounds = max(options.rounds, STARTUP_ROUNDS)
            report_startup(*startup(bench, rounds))
            return report_startup(*installed_planes_startup(bench, rounds), planes=INSTALLED_PLANES)
        log("frames check ...")
        identical, frame_rows = frames_check(bench)
        log("timing, %d rounds of %gs per repaint ..." % (options.rounds, options.seconds))
        times, cpu_ratios = timing(bench, options.seconds, options.rounds)
        log("start-up ...")
        saver_start, empty_start, start_ratios = startup(bench, STARTUP_ROUNDS)
        log("tick passes ...")
        passes = micro(bench)
        log("start-up with the installed planes ...")
        installed_start = installed_planes_startup(bench, STARTUP_ROUNDS)
    finally:
        bench.stop()

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
    report_startup(saver_start, empty_start, start_ratios)
    report_startup(*installed_start, planes=INSTALLED_PLANES)
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
    print("Goals: CPU (b)/(a) total %s (at most 0.25); passes %s x memcpy of the sprite rectangles' bytes"
          " (at most 1.5), %s at 200 %%; start-up %s x the empty program (at most 1.3)"
          % (spread(cpu_ratios["total"], "%.2f"), passes.get("tick_1920x1080_per_memcpy"),
             passes.get("tick_200_3840x2160_per_memcpy"),
             spread(start_ratios, "%.2f")))
    return 0 if identical else 1


if __name__ == "__main__":
    sys.exit(main())
