#!/usr/bin/env bash
# The project's one test command. Sets up the machine, builds, and runs every
# test level:
#   1. native GoogleTest under ASan and UBSan            (build/native, ctest)
#   2. a short libFuzzer run of each target in tests/fuzz (build/fuzz)
#   3. Win32 GoogleTest under Wine                       (build/cross, ctest + scripts/wine-run)
#   4. end-to-end tests of skyvane.scr under Xvfb + Wine  (tests/e2e, pytest)
# The last line printed is `N passed, N failed` (and `, N skipped`), summed over
# all levels; the exit status is non-zero when anything failed.
# SKYVANE_FUZZ_SECONDS: time per fuzz target (default 20).
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
results=$root/build/test-results
fuzz_seconds=${SKYVANE_FUZZ_SECONDS:-20}
stages=()   # --passed-stage/--failed-stage arguments for the tally

stage_failed() { echo "test: FAILED: $1"; stages+=(--failed-stage "$1"); }
stage_passed() { stages+=(--passed-stage "$1"); }

if ! bash scripts/setup.sh; then
  echo "test: set-up failed"
  echo "0 passed, 1 failed"
  exit 1
fi

rm -rf "$results"
mkdir -p "$results"
# Leftovers of runs that were killed: templates of runs that are gone, and
# prefixes nobody has touched for hours.
for old in build/wine-template.run-*; do
  [ -e "$old" ] || continue
  pid=${old##*-}; pid=${pid%.lock}
  kill -0 "$pid" 2>/dev/null || rm -rf "$old"
done
find build/wine-prefixes -mindepth 1 -maxdepth 1 -mmin +180 -exec rm -rf {} + 2>/dev/null
# One template prefix per run, booted before the levels that copy it, and a
# name of its own so that a test run beside this one keeps its template.
export SKYVANE_TEMPLATE=$root/build/wine-template.run-$$
source scripts/wine-env.sh
trap 'rm -rf "$SKYVANE_TEMPLATE" "$SKYVANE_TEMPLATE.lock"' EXIT
skyvane_template_prefix >/dev/null || stage_failed "boot of the Wine template prefix"

echo "test: == native unit tests (ASan, UBSan) =="
if bash scripts/build.sh native; then
  ctest --test-dir build/native -j2 --output-on-failure --timeout 300 \
        --output-junit "$results/native.xml" || true
  [ -f "$results/native.xml" ] || stage_failed "native ctest"
else
  stage_failed "native build"
fi

echo "test: == fuzzing, ${fuzz_seconds}s per target =="
if bash scripts/build.sh fuzz; then
  while IFS= read -r target; do
    name=$(basename "$target")
    corpus=$root/build/fuzz-corpus/$name
    mkdir -p "$corpus"
    seeds=()
    [ -d "tests/fuzz/corpus/$name" ] && seeds=("tests/fuzz/corpus/$name")
    echo "test: fuzzing $name"
    if "$target" -max_total_time="$fuzz_seconds" -timeout=10 -rss_limit_mb=2048 \
         -print_final_stats=1 -artifact_prefix="$results/$name-" \
         "$corpus" "${seeds[@]}" >"$results/$name.log" 2>&1; then
      stage_passed "fuzz $name"
    else
      tail -n 40 "$results/$name.log"
      stage_failed "fuzz $name (log: $results/$name.log)"
    fi
  done < <(find build/fuzz/tests/fuzz -maxdepth 1 -type f -perm -u+x 2>/dev/null | sort)
else
  stage_failed "fuzz build"
fi

echo "test: == cross build and Win32 tests under Wine =="
cross_built=no
if bash scripts/build.sh cross; then
  cross_built=yes
  ctest --test-dir build/cross -j2 --output-on-failure --timeout 300 \
        --output-junit "$results/win32.xml" || true
  [ -f "$results/win32.xml" ] || stage_failed "Win32 ctest"
else
  stage_failed "cross build"
fi

echo "test: == end-to-end tests =="
if [ $cross_built = yes ]; then
  /usr/bin/python3 -m pytest tests/e2e -v -p no:cacheprovider -o junit_family=xunit2 \
    --junitxml="$results/e2e.xml" || true
  [ -f "$results/e2e.xml" ] || stage_failed "end-to-end pytest"
else
  stage_failed "end-to-end tests (no cross build)"
fi

reports=()
for report in "$results"/*.xml; do [ -f "$report" ] && reports+=("$report"); done
echo "test: == summary =="
/usr/bin/python3 scripts/tally.py "${stages[@]}" "${reports[@]}"
