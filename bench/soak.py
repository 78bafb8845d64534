"""The soak run: hours of flight in minutes; see scripts/soak.sh.

The instrumented saver flies the real planes (every type on, catalogue order,
Delay 1) on a private Xvfb and Wine prefix, with every tick following the last
at once (SKYVANE_BENCH_FAST) until the given number of planes has started. It
counts the saver's GDI objects, kernel handles and committed private memory at
the first tick, every so many planes and at the end, and fails when they grow
after the first sample: a leak of one object per plane would show as
thousands.
"""
import argparse
import re
import sys
import time
from pathlib import Path

sys.path.insert(0, str(Path(__file__).resolve().parent))
import run_bench  # noqa: E402

TYPES = ("F16", "F15", "Awac", "U2", "B52", "SR71", "Wing", "F117", "B2", "F22", "Other")
# Growth allowed between the first sample and the end: none for objects and
# handles; for memory what a few strings and vectors of different lengths may
# hold at one moment and not the other.
HEAP_SLACK = 64 << 10
MEMORY_SLACK = 1 << 20
KEYS = ("gdi_objects", "handles", "heap_bytes", "private_bytes")


def parse_sample(line):
    return {key: int(value) for key, value in re.findall(r"(\w+)=(-?\d+)", line)}


def resources(stats, prefix):
    return {key: int(stats[prefix + key]) for key in KEYS}


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", required=True)
    parser.add_argument("--planes", type=int, default=2001, help="later planes to start (the run ends then)")
    parser.add_argument("--sample-every", type=int, default=100)
    parser.add_argument("--size", default="1024x768", help="the screen, WIDTHxHEIGHT")
    parser.add_argument("--minutes", type=float, default=20, help="the longest the run may take")
    options = parser.parse_args()
    width, height = (int(n) for n in options.size.split("x"))

    bench = run_bench.Bench(options.build, (width, height))
    try:
        bench.start_display()
        bench.start_prefix(containers=Path(options.build) / "data", Random=0, Delay=1, **{name: 1 for name in TYPES})
        bench.show_desktop()
        run_bench.log("soak: %d planes, every type, Delay 1, ticks at once ..." % options.planes)
        began = time.monotonic()
        stats = bench.saver(SKYVANE_BENCH_FAST="1", SKYVANE_BENCH_PLANES=str(options.planes),
                            SKYVANE_BENCH_SAMPLE_PLANES=str(options.sample_every), timeout=options.minutes * 60)
        wall = time.monotonic() - began
    finally:
        bench.stop()

    if "end_gdi_objects" not in stats:
        print("soak: the saver did not finish its run")
        return 1
    start, end = resources(stats, "start_"), resources(stats, "end_")
    samples = [parse_sample(line) for line in stats["samples"]]
    print("Soak run, %dx%d Xvfb, Wine, every aircraft type, catalogue order, Delay 1, live desktop;"
          " ticks one after another without the timers' pace" % (width, height))
    print("%d planes started after the first (the last still flying), %s ticks, %.0f s of flight,"
          " %.0f s wall clock" % (int(stats["planes"]), stats["ticks"], float(stats["flight_seconds"]), wall))
    print()
    print("| when | GDI objects | kernel handles | heap in use (KiB) | committed private memory (KiB) |")
    print("|---|---|---|---|---|")
    rows = [("first tick", start)] + [("plane %d" % s["planes"], s) for s in samples] + [("end", end)]
    for label, values in rows:
        print("| %s | %d | %d | %.1f | %d |" % (label, values["gdi_objects"], values["handles"],
                                              values["heap_bytes"] / 1024, values["private_bytes"] // 1024))
    baseline = samples[0] if samples else start
    grew = {key: end[key] - baseline[key] for key in KEYS}
    flat = (grew["gdi_objects"] <= 0 and grew["handles"] <= 0 and grew["heap_bytes"] <= HEAP_SLACK
            and grew["private_bytes"] <= MEMORY_SLACK)
    print()
    print("From %s to the end: GDI objects %+d, handles %+d, heap %+.1f KiB, committed memory %+d KiB: %s" % (
        rows[1][0] if samples else "the first tick", grew["gdi_objects"], grew["handles"],
        grew["heap_bytes"] / 1024, grew["private_bytes"] // 1024, "flat" if flat else "GROWING"))
    return 0 if flat else 1


if __name__ == "__main__":
    sys.exit(main())
