#!/usr/bin/env bash
# The flight benchmark: builds the instrumented saver (build/bench, a cross
# build with SKYVANE_BENCH=ON) and runs bench/run_bench.py, which flies the real
# saver under Wine on its own 1920x1080 Xvfb and prints, side by side, the
# whole-scene and the changed-rectangle repaint (CPU seconds per second of
# flight, ticks per second, identical frames), the processor time with the
# display on and off (the saver sent the monitor-power command), the start-up
# time against an
# empty Win32 program (with the F16 test planes, then with the program's own
# 40 containers), one tick's raster passes against memcpy, and the saver on one
# monitor against two of the same size (processor time and start-up).
#
#   scripts/bench.sh [--seconds N] [--rounds N] [--startup-only | --display-sleep-only | --monitors-only]
#
# A benchmark, not a test: it reports figures and fails only when the two
# repaints give different frames or a run does not finish.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD_DIR=${SKYVANE_BENCH_BUILD:-$ROOT/build/bench}

cmake -S "$ROOT" -B "$BUILD_DIR" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-i686.cmake" \
  -DCMAKE_BUILD_TYPE=Release -DSKYVANE_BENCH=ON >/dev/null
ninja -C "$BUILD_DIR" -j2 skyvane_bench tick_passes empty_window window_probe art >/dev/null

exec /usr/bin/python3 "$ROOT/bench/run_bench.py" --build "$BUILD_DIR" "$@"
