#!/usr/bin/env bash
# The soak run: builds the instrumented saver and the planes (build/bench, as
# scripts/bench.sh does) and runs bench/soak.py, which flies at least 2,000
# planes of every type with Delay 1 under Wine on its own Xvfb, every tick
# straight after the last, and reports the saver's GDI objects, handles and
# memory from the first tick to the end. Not part of the tests: it takes
# several minutes.
#
#   scripts/soak.sh [--planes N] [--sample-every N] [--size WxH] [--minutes N]
#
# Fails when the counts grow during the run or the run does not finish.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD_DIR=${SKYVANE_BENCH_BUILD:-$ROOT/build/bench}

cmake -S "$ROOT" -B "$BUILD_DIR" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-i686.cmake" \
  -DCMAKE_BUILD_TYPE=Release -DSKYVANE_BENCH=ON >/dev/null
ninja -C "$BUILD_DIR" -j2 skyvane_bench art >/dev/null

exec /usr/bin/python3 "$ROOT/bench/soak.py" --build "$BUILD_DIR" "$@"
