# Stages of the test command (scripts/test.sh): each runs with its output in a
# log of its own, may run in the background beside others, and leaves its start,
# end and outcome for the summary. Source it; it defines functions only.
#
#   stages_begin DIR                  results and logs go to DIR (emptied)
#   stage [--counted] [--report F] NAME COMMAND...
#                                     run COMMAND as stage NAME; status is COMMAND's
#   stage_in_background NAME COMMAND...   the same, in the background
#   stage_wait NAME                   wait for a background stage; its status
#   stages_summary                    stage times, then the tally's closing line
#
# Outcomes the tally counts: a failed stage is one failed test unless its report
# (--report, a JUnit file) exists, in which case the report's cases count; a
# passed stage counts as one passed test only with --counted (a fuzz run).

stages_begin() {
  results=$1
  rm -rf "$results"
  mkdir -p "$results/status"
  stages_started=$(date +%s.%N)
  declare -gA stage_pids=()
}

stage_slug() { echo "$1" | tr -cs 'A-Za-z0-9' '-' | sed 's/-$//'; }

seconds_since() { echo "$(date +%s.%N) $1" | awk '{ printf "%.0f", $1 - $2 }'; }

stage() {
  local counted=no report=""
  while :; do
    case $1 in
      --counted) counted=yes; shift ;;
      --report) report=$2; shift 2 ;;
      *) break ;;
    esac
  done
  local name=$1; shift
  local slug log start status took
  slug=$(stage_slug "$name")
  log=$results/$slug.log
  start=$(date +%s.%N)
  echo "test: $name: started"
  "$@" >"$log" 2>&1
  status=$?
  took=$(seconds_since "$start")
  echo "$status" >"$results/status/$slug"
  printf '%s\t%s\t%s\t%s\n' "$name" "$(seconds_since "$stages_started")" "$took" "$status" \
    >>"$results/stage-times.tsv"
  if [ "$status" = 0 ]; then
    echo "test: $name: passed in $took s"
    [ $counted = yes ] && echo "passed	$name" >>"$results/outcomes.tsv"
  else
    echo "test: $name: FAILED (exit $status) in $took s; the end of $log:"
    tail -n 60 "$log" | sed 's/^/  | /'
    if [ -z "$report" ] || [ ! -f "$report" ]; then
      echo "failed	$name (log: $log)" >>"$results/outcomes.tsv"
    fi
  fi
  return "$status"
}

stage_in_background() {
  local args=("$@") i=0
  while [[ ${args[i]} == --* ]]; do
    if [ "${args[i]}" = --report ]; then i=$((i + 2)); else i=$((i + 1)); fi
  done
  stage "$@" &
  stage_pids[${args[i]}]=$!
}

stage_wait() {
  local pid=${stage_pids[$1]:-}
  [ -n "$pid" ] && wait "$pid" 2>/dev/null
  [ "$(cat "$results/status/$(stage_slug "$1")" 2>/dev/null)" = 0 ]
}

stages_summary() {
  echo "test: == stage times (seconds from the start, and each stage's own) =="
  [ -f "$results/stage-times.tsv" ] &&
    sort -t$'\t' -k2,2n "$results/stage-times.tsv" |
    awk -F'\t' '{ printf "test:   ends at %5d  took %5d  %s%s\n", $2, $3, $1, ($4 == 0 ? "" : "  (failed)") }'
  echo "test:   whole command: $(seconds_since "$stages_started") s"
  local args=() outcome name report
  if [ -f "$results/outcomes.tsv" ]; then
    while IFS=$'\t' read -r outcome name; do args+=("--$outcome-stage" "$name"); done <"$results/outcomes.tsv"
  fi
  for report in "$results"/*.xml; do [ -f "$report" ] && args+=("$report"); done
  echo "test: == summary =="
  /usr/bin/python3 "$root/scripts/tally.py" "${args[@]}"
}

# --- what the stages run ------------------------------------------------------

# Leftovers of runs that were killed: templates of runs that are gone, and
# prefixes nobody has touched for hours.
remove_leftovers_of_killed_runs() {
  local old pid
  for old in "$root"/build/wine-template.run-*; do
    [ -e "$old" ] || continue
    pid=${old##*-}; pid=${pid%.lock}; pid=${pid%%.*}
    kill -0 "$pid" 2>/dev/null || rm -rf "$old"
  done
  find "$root/build/wine-prefixes" -mindepth 1 -maxdepth 1 -mmin +180 -exec rm -rf {} + 2>/dev/null
  return 0
}

# What the end-to-end tests run: the program, its data files and installer, and
# the helper programs of tests/win32/fixtures.
cross_targets_of_the_program() {
  echo "skyvane art installer window_probe registry_lock file_holder dialog_inspector password_cpl mpr_stand_in session_stand_in"
}

# The niceness the caller gave the test command: the lanes yield below it and
# take back no more than it. (--priority sets the value itself with every
# renice; -n adds to it with newer ones.)
lanes_start_nice=$(nice)

# While the end-to-end tests run, the test command yields the processors to
# them: what it starts from then on runs niced.
lanes_yield() { renice --priority "$((lanes_start_nice > 10 ? lanes_start_nice : 10))" -p $$ >/dev/null; }

# Once they have ended, the builds and checks still running take the
# processors back (only root may lower a niceness; elsewhere they keep
# yielding).
lanes_take_back() {
  local all=() parents=("$$") children
  while [ ${#parents[@]} -gt 0 ]; do
    all+=("${parents[@]}")
    mapfile -t children < <(ps -o pid= --ppid "$(IFS=,; echo "${parents[*]}")" | tr -d ' ' | grep .)
    parents=("${children[@]}")
  done
  renice --priority "$lanes_start_nice" -p "${all[@]}" >/dev/null 2>&1 || true
}

# COMMAND at the caller's niceness even while the lanes yield: the Win32 tests,
# like the end-to-end tests, watch live windows under Wine and must not starve.
# (Where the niceness may not be lowered, nice says so and runs COMMAND as it is.)
at_normal_priority() {
  nice -n "$((lanes_start_nice - $(nice)))" "$@"
}

run_fuzz_target() {
  local target=$1 seconds=$2 name corpus seeds=()
  name=$(basename "$target")
  corpus=$root/build/fuzz-corpus/$name
  mkdir -p "$corpus"
  [ -d "$root/tests/fuzz/corpus/$name" ] && seeds=("$root/tests/fuzz/corpus/$name")
  "$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
            -artifact_prefix="$results/$name-" "$corpus" "${seeds[@]}"
}

run_end_to_end() {
  /usr/bin/python3 -m pytest "$root/tests/e2e" -n "$1" -rfE -p no:cacheprovider --durations=25 \
    -o junit_family=xunit2 --junitxml="$results/e2e.xml"
}
