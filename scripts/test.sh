#!/usr/bin/env bash
# The project's test command. Sets up the machine, builds, and runs the tests:
#   native    GoogleTest under ASan and UBSan               (build/native, ctest)
#   fuzz      a short libFuzzer run of each tests/fuzz target (build/native, the same objects)
#   win32     GoogleTest, the art and import checks under Wine (build/cross, ctest)
#   release   the release of a clean clone, compared with the cross build (tests/platform)
#   e2e       skyvane.scr under Xvfb and Wine, on four workers (tests/e2e, pytest-xdist)
#
#   scripts/test.sh           everything (what continuous integration runs)
#   scripts/test.sh --unit    the native and Win32 unit tests only: the quick inner loop
#
# Stages that do not need each other overlap: the end-to-end tests start as soon
# as the program and its data are built, while the unit tests, the fuzz runs and
# the rest of the cross build go on beside them. Each stage's output goes to
# build/test-results/<stage>.log and is shown when the stage fails. The stage
# times come at the end, then the last line `N passed, N failed` (with
# `, N skipped`); the exit status is non-zero when anything failed.
#
# SKYVANE_FUZZ_SECONDS: time per fuzz target (default 12).
# SKYVANE_E2E_WORKERS:  end-to-end workers (default 4: the tests mostly wait on flights
#                       and windows, so four share two processors well).
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
source scripts/test-stages.sh

mode=all
case "${1:-}" in
  "") ;;
  --unit) mode=unit ;;
  *) echo "usage: scripts/test.sh [--unit]" >&2; exit 2 ;;
esac
fuzz_seconds=${SKYVANE_FUZZ_SECONDS:-12}
e2e_workers=${SKYVANE_E2E_WORKERS:-4}

stages_begin "$root/build/test-results"
if ! stage "set-up" bash scripts/setup.sh; then
  stages_summary
  exit 1
fi
remove_leftovers_of_killed_runs

# One template prefix per run, booted while the program builds, with a name of
# its own so that a test run beside this one keeps its template.
export SKYVANE_TEMPLATE=$root/build/wine-template.run-$$
source scripts/wine-env.sh
trap 'rm -rf "$SKYVANE_TEMPLATE" "$SKYVANE_TEMPLATE.lock"' EXIT
stage_in_background "Wine template" skyvane_template_prefix

# The native build makes the unit tests and the fuzz targets from one compile
# of the pure code; the fuzzing follows the unit tests.
run_native_tests() {
  stage "native build" bash scripts/build.sh native || return
  stage --report "$results/native.xml" "native tests" ctest --test-dir build/native -j2 --timeout 300 --output-on-failure \
                             --output-junit "$results/native.xml"
  [ $mode = unit ] || run_fuzzing
}

# The release of a clean clone, compared with the cross build of the program
# (or, while the checkout has changes, with a second clean clone's); a proof
# made before for the same tree and toolchain stands. The inner loop leaves it out.
run_release_check() {
  stage --report "$results/release.xml" "release check" env PYTHONDONTWRITEBYTECODE=1 \
    SKYVANE_CROSS_BUILT=$cross_built \
    /usr/bin/python3 -m pytest tests/platform/test_release.py -q -p no:cacheprovider \
    -o junit_family=xunit2 --junitxml="$results/release.xml"
}

run_win32_tests() {
  stage "cross build (tests)" bash scripts/build.sh cross &&
    stage_wait "Wine template" &&
    stage --report "$results/win32.xml" "win32 tests" at_normal_priority ctest --test-dir build/cross -j2 --timeout 300 --output-on-failure \
                              --output-junit "$results/win32.xml" -E '^platform\.release$'
}

# Each fuzz run is one process on one processor: two at a time. The native
# build has built the targets.
run_fuzzing() {
  local targets=() target i
  mapfile -t targets < <(find build/native/tests/fuzz -maxdepth 1 -type f -perm -u+x 2>/dev/null | sort)
  for ((i = 0; i < ${#targets[@]}; i += 2)); do
    for target in "${targets[@]:i:2}"; do
      stage --counted "fuzz $(basename "$target")" run_fuzz_target "$target" "$fuzz_seconds" &
    done
    wait
  done
}

cross_built=""
if [ $mode = unit ]; then
  run_native_tests
  run_win32_tests
else
  # The program, its data files and the end-to-end fixtures first: the
  # end-to-end tests, the longest stage, wait for nothing else.
  if SKYVANE_TARGETS=$(cross_targets_of_the_program) stage "cross build (program)" bash scripts/build.sh cross; then
    cross_built=1
    { stage --report "$results/e2e.xml" "end-to-end tests" run_end_to_end "$e2e_workers"
      lanes_take_back; } &
    # The end-to-end tests watch a live program and are the longest stage:
    # what runs beside them (builds, unit tests, fuzzing) yields the
    # processors until they end, and then takes them back.
    lanes_yield
  fi
  # Three lanes beside the end-to-end tests (the native build, its tests and
  # the fuzzing; the release check; the Win32 tests); the scheduler shares out
  # what the end-to-end tests leave of the processors.
  run_native_tests &
  run_release_check &
  run_win32_tests
fi
wait   # every lane and background stage
stages_summary
