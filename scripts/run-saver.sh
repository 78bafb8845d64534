#!/usr/bin/env bash
# Runs Skyvane's screen saver (skyvane.scr /S) under Wine.
#
#   scripts/run-saver.sh [--settings] [--seconds N] [--out DIR]
#
# Sets up the machine, builds the program and its data files (not the tests),
# keeps a private 32-bit Wine prefix in build/run-prefix (SKYVANE_RUN_PREFIX)
# with the data files in its C:\windows, and then
#  - with a working $DISPLAY: runs the saver there until a key or a mouse
#    button ends it, or for N seconds with --seconds N; --settings opens the
#    settings dialog instead;
#  - without one: starts a virtual display (Xvfb, 1024x768x24), shows the stock
#    desktop picture (screen.jpg) on it, runs the saver with the settings of a
#    first run but a 1-second pause, and records it into DIR (default
#    build/screenshots): flights.gif, an animation of two whole flights, and
#    still-1.png to still-3.png, each with a plane wholly on the screen. It then
#    ends the saver with a key and prints where the pictures are. --seconds N
#    runs the saver N seconds instead of until it has those; --settings saves a
#    picture of the settings dialog (settings.png) instead. SKYVANE_RUN_SCALE
#    (default 1) scales the animation, not the stills. SKYVANE_RUN_SCREEN
#    (WxHxD, default 1024x768x24) is the virtual display's size and
#    SKYVANE_RUN_DPI (default 96) the pixels per inch the prefix tells its
#    programs (LogPixels: 144 at 150 %, 192 at 200 %); the stock desktop
#    picture is stretched to the screen, as a scaled desktop shows it.
#    SKYVANE_RUN_MONITORS splits the virtual display into monitors
#    ("WxH+X+Y WxH+X+Y", the primary first), each showing the stock picture;
#    then flights.gif is the whole recording of --seconds (default 12), every
#    monitor's flights in it.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

usage() { echo "usage: scripts/run-saver.sh [--settings] [--seconds N] [--out DIR]" >&2; exit 2; }
settings=no seconds="" out=$root/build/screenshots
while [ $# -gt 0 ]; do
  case $1 in
    --settings) settings=yes ;;
    --seconds) [ $# -ge 2 ] && [[ $2 =~ ^[0-9]+$ ]] && [ "$2" -gt 0 ] || usage; seconds=$2; shift ;;
    --out) [ $# -ge 2 ] || usage; out=$2; shift ;;
    *) usage ;;
  esac
  shift
done

bash scripts/setup.sh
SKYVANE_TARGETS="skyvane art" bash scripts/build.sh cross

source scripts/wine-env.sh
trap skyvane_cleanup EXIT
trap 'exit 143' TERM
trap 'exit 130' INT

saver=$(skyvane_saver_exe)
if [ -z "$saver" ]; then
  echo "run-saver: the build made no skyvane.scr" >&2
  exit 1
fi

prefix=${SKYVANE_RUN_PREFIX:-$root/build/run-prefix}
if [ ! -f "$prefix/.skyvane-ready" ]; then
  template=$(skyvane_template_prefix)
  rm -rf "$prefix"
  mkdir -p "$prefix"
  cp -a "$template/." "$prefix/"
fi
skyvane_install_data "$prefix"
skyvane_wine_env "$prefix"
_skyvane_prefixes+=("$prefix")   # its wineserver is stopped at the end; the prefix stays

# saver_window: the saver's window is on the screen.
saver_window() { xdotool search --onlyvisible --name '^quillon7$' >/dev/null 2>&1; }

# poll TRIES COMMAND...: runs COMMAND every 0.1 s until it succeeds (status 0)
# or TRIES tries have failed (status 1).
poll() {
  local tries=$1 i
  shift
  for (( i = 0; i < tries; i++ )); do
    "$@" && return 0
    sleep 0.1
  done
  return 1
}
gone() { ! kill -0 "$1" 2>/dev/null; }
shown_or_gone() { saver_window || gone "$1"; }

# wait_for_saver_window PID: waits (60 s at most) until the saver's window shows.
wait_for_saver_window() { poll 600 shown_or_gone "$1" && saver_window; }

# end_saver PID: ends the saver as a user would, with a key; fails when it stays.
end_saver() {
  saver_window && xdotool key space
  poll 300 gone "$1"
}

# run_for SECONDS PID: waits until the program ends or SECONDS have passed.
run_for() { poll $(( $1 * 10 )) gone "$2" || true; }

if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
  if [ $settings = yes ]; then
    echo "run-saver: opening the settings dialog on display $DISPLAY"
    wine "$saver" /C
    exit 0
  fi
  if [ -z "$seconds" ]; then
    echo "run-saver: running the saver on display $DISPLAY; press a key or a mouse button to end it"
    wine "$saver" /S
    exit 0
  fi
  echo "run-saver: running the saver on display $DISPLAY for $seconds s once it shows (a key or a mouse button ends it sooner)"
  wine "$saver" /S &
  saver_pid=$!
  wait_for_saver_window "$saver_pid" || true
  run_for "$seconds" "$saver_pid"
  if ! end_saver "$saver_pid"; then
    echo "run-saver: the saver did not end on a key press; stopping Wine" >&2
    exit 1
  fi
  exit 0
fi

echo "run-saver: no display; using a virtual one"
screen=${SKYVANE_RUN_SCREEN:-1024x768x24}
skyvane_start_xvfb "$screen"
if [ -n "${SKYVANE_RUN_MONITORS:-}" ]; then
  # Before Wine's first program, which reads the monitors once.
  read -r -a monitors <<<"$SKYVANE_RUN_MONITORS"
  for i in "${!monitors[@]}"; do
    IFS='x+' read -r w h x y <<<"${monitors[$i]}"
    xrandr --setmonitor "SKYVANE$i" "$w/$(( w * 254 / 960 ))x$h/$(( h * 254 / 960 ))+$x+$y" \
      "$([ "$i" = 0 ] && echo screen || echo none)" >/dev/null
  done
  seconds=${seconds:-12}
fi
mkdir -p "$out"
out=$(cd "$out" && pwd)
rm -f "$out"/flights.gif "$out"/still-*.png "$out"/settings.png "$out"/desktop.png "$out"/saver.log

# The settings of a first run, but a 1-second pause (the next plane follows at
# once), written before the saver starts. This is also the prefix's first Wine
# program, which has to run before the desktop is painted (see skyvane_paint_root).
wineserver -p
printf '%s\r\n' REGEDIT4 '' '[HKEY_LOCAL_MACHINE\Software\Brelmor\Skyvane]' \
  '"F16"=dword:00000001' '"F15"=dword:00000001' '"Awac"=dword:00000001' \
  '"U2"=dword:00000001' '"B52"=dword:00000001' '"SR71"=dword:00000001' \
  '"Wing"=dword:00000001' '"F117"=dword:00000001' '"B2"=dword:00000001' \
  '"F22"=dword:00000001' '"Other"=dword:00000001' '"Delay"=dword:00000001' \
  '"Random"=dword:00000001' '"Fake"=dword:00000000' '' \
  '[HKEY_CURRENT_USER\Control Panel\Desktop]' \
  "\"LogPixels\"=dword:$(printf %08x "${SKYVANE_RUN_DPI:-96}")" >"$prefix/run-settings.reg"
wine reg import "Z:$(tr / '\\' <<<"$prefix/run-settings.reg")" >/dev/null 2>&1 || {
  echo "run-saver: could not write the settings into $prefix" >&2
  exit 1
}

# The stock desktop picture on the root window; the screen as it then is is
# what the saver copies, and what the recording compares its frames with.
data=$(skyvane_data_dir)
if [ -z "$data" ] || [ ! -f "$data/screen.jpg" ]; then
  echo "run-saver: the build made no screen.jpg" >&2
  exit 1
fi
size=${screen%x*}
if [ -n "${SKYVANE_RUN_MONITORS:-}" ]; then
  # The stock picture on each monitor at its size; black where no monitor is.
  compose=(-size "$size" xc:black)
  for geometry in "${monitors[@]}"; do
    compose+=(\( "$data/screen.jpg" -resize "${geometry%%+*}!" \) -geometry "+${geometry#*+}" -composite)
  done
  convert "${compose[@]}" "$out/stock-desktop.png"
else
  convert "$data/screen.jpg" -resize "$size!" "$out/stock-desktop.png"
fi
skyvane_paint_root "$out/stock-desktop.png" </dev/null >/dev/null 2>&1 || true   # display exits 1 after painting
rm -f "$out/stock-desktop.png"
for (( i = 0; i < 50; i++ )); do
  import -window root "$out/desktop.png"
  import -window root "$out/desktop-again.png"
  cmp -s "$out/desktop.png" "$out/desktop-again.png" && break
  sleep 0.2
done
rm -f "$out/desktop-again.png"

if [ $settings = yes ]; then
  wine "$saver" /C </dev/null >"$out/saver.log" 2>&1 &
  for (( i = 0; i < 600; i++ )); do
    xdotool search --onlyvisible --name '^Skyvane$' >/dev/null 2>&1 && break
    sleep 0.1
  done
  sleep 1   # let the dialog paint its backdrop
  import -window root "$out/settings.png"
  echo "run-saver: the settings dialog: $out/settings.png"
  exit 0
fi

wine "$saver" /S </dev/null >"$out/saver.log" 2>&1 &
saver_pid=$!
if ! wait_for_saver_window "$saver_pid"; then
  import -window root "$out/no-saver-window.png"
  echo "run-saver: the saver window did not show (see $out)" >&2
  exit 1
fi

record=(--display "$DISPLAY" --desktop "$out/desktop.png" --out "$out" --pid "$saver_pid")
[ -n "$seconds" ] && record+=(--seconds "$seconds")
[ -n "${SKYVANE_RUN_MONITORS:-}" ] && record+=(--whole-run)
[ -n "${SKYVANE_RUN_SCALE:-}" ] && record+=(--scale "$SKYVANE_RUN_SCALE")
recorded=0
/usr/bin/python3 scripts/record_flights.py "${record[@]}" || recorded=$?

if ! end_saver "$saver_pid"; then
  echo "run-saver: the saver did not end on a key press" >&2
  exit 1
fi
if [ $recorded != 0 ]; then
  echo "run-saver: the recording fell short (see above); what there is is in $out" >&2
  # Asked for a short run, a short recording is what was asked for.
  [ -n "$seconds" ] || exit 1
fi
echo "run-saver: the saver ran and ended on a key press; its flights are in $out/flights.gif, stills in $out/still-*.png"
