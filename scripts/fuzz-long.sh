#!/bin/sh
# Fuzzes the file decoders with libFuzzer.
#
#   scripts/fuzz-long.sh SECONDS [TARGET...]
#
# Builds the fuzz targets in build/fuzz (clang, configured on first use), then
# runs each target (default: every tests/fuzz/fuzz_*.cpp) for SECONDS on one
# core, or until it has run SKYVANE_FUZZ_RUNS inputs when that is set and
# comes first, starting from its seed corpus in tests/fuzz/corpus/<target>/. New
# inputs go to a scratch directory, so the committed corpus stays as it is.
# Prints the executions each target reached and the seconds it took. Exits non-zero when a target
# crashed, leaked, timed out or ran out of memory; the input that did it is
# kept in build/fuzz/artifacts/ and the log is printed.
set -eu

seconds=${1:?usage: scripts/fuzz-long.sh SECONDS [TARGET...]}
shift
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build/fuzz"

if [ $# -gt 0 ]; then
    targets="$*"
else
    targets=$(for source in "$root"/tests/fuzz/fuzz_*.cpp; do basename "$source" .cpp; done)
fi

scratch=$(mktemp -d /tmp/skyvane-fuzz.XXXXXX)
trap 'rm -rf "$scratch"' EXIT INT TERM

# The build's output is shown only when it fails.
if [ ! -f "$build/build.ninja" ]; then
    CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja -DSKYVANE_FUZZ=ON \
        -DCMAKE_BUILD_TYPE=RelWithDebInfo >"$scratch/configure.log" 2>&1 || { cat "$scratch/configure.log"; exit 1; }
fi
# shellcheck disable=SC2086  # one word per target
ninja -C "$build" -j2 $targets >"$scratch/build.log" 2>&1 || { cat "$scratch/build.log"; exit 1; }

mkdir -p "$build/artifacts"

status=0
for target in $targets; do
    mkdir -p "$scratch/$target"
    log="$scratch/$target.log"
    started=$(date +%s)
    if "$build/tests/fuzz/$target" -max_total_time="$seconds" ${SKYVANE_FUZZ_RUNS:+-runs="$SKYVANE_FUZZ_RUNS"} \
        -timeout=10 -rss_limit_mb=2048 \
        -print_final_stats=1 -artifact_prefix="$build/artifacts/$target-" \
        "$scratch/$target" "$root/tests/fuzz/corpus/$target" >"$log" 2>&1; then
        result=ok
    else
        result=FAILED
        status=1
        cat "$log"
    fi
    executions=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    echo "$target: ${executions:-?} executions in $(($(date +%s) - started)) s: $result"
done
exit $status
