#!/usr/bin/env bash
# Runs Skyvane's screen saver (skyvane.scr /S) under Wine.
#
# Sets up the machine and builds what is missing, keeps a private 32-bit Wine
# prefix in build/run-prefix with the data files in its C:\windows, and then
#  - with a working $DISPLAY: runs the saver there; a key or a mouse button ends it;
#  - without one: starts a virtual display (Xvfb, 1024x768x24), paints a sample
#    desktop on its root window, runs the saver, saves screenshots under a
#    second apart into build/screenshots/ (printed at the end), ends the
#    saver with a key and stops the virtual display.
# SKYVANE_SHOTS: number of screenshots without a display (default 12, 0.75 s
# apart: planes pause between flights and fly on unseen past the edge, so a
# few shots in a row may show the desktop alone).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
shots=${SKYVANE_SHOTS:-12}

bash scripts/setup.sh
bash scripts/build.sh cross

source scripts/wine-env.sh
trap skyvane_cleanup EXIT
trap 'exit 143' TERM
trap 'exit 130' INT

saver=$(skyvane_saver_exe)
if [ -z "$saver" ]; then
  echo "run-saver: the build made no skyvane.scr" >&2
  exit 1
fi

prefix=$root/build/run-prefix
if [ ! -f "$prefix/.skyvane-ready" ]; then
  template=$(skyvane_template_prefix)
  rm -rf "$prefix"
  cp -a "$template" "$prefix"
fi
skyvane_install_data "$prefix"
skyvane_wine_env "$prefix"
_skyvane_prefixes+=("$prefix")   # its wineserver is stopped at the end; the prefix stays

if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
  echo "run-saver: running the saver on display $DISPLAY; press a key or a mouse button to end it"
  wine "$saver" /S
  exit 0
fi

echo "run-saver: no display; using a virtual one"
skyvane_start_xvfb 1024x768x24
shots_dir=$root/build/screenshots
rm -rf "$shots_dir"
mkdir -p "$shots_dir"

# A sample desktop painted on the root window (the virtual display runs with
# -noreset, so the picture stays while programs come and go).
sample=$shots_dir/sample-desktop.png
convert -size 1024x768 gradient:'#5a8fc8-#1d3557' \
        -fill '#e9c46a' -draw 'rectangle 40,40 200,160' \
        -fill '#2a9d8f' -draw 'circle 800,200 880,260' \
        -fill '#f4f1de' -draw 'rectangle 0,728 1023,767' "$sample"
display -window root "$sample" </dev/null >/dev/null 2>&1 || true

wine "$saver" /S </dev/null >"$shots_dir/saver.log" 2>&1 &
saver_pid=$!
for (( i = 0; i < 600; i++ )); do
  xdotool search --onlyvisible --name '^quillon7$' >/dev/null 2>&1 && break
  kill -0 "$saver_pid" 2>/dev/null || break
  sleep 0.1
done
if ! xdotool search --onlyvisible --name '^quillon7$' >/dev/null 2>&1; then
  import -window root "$shots_dir/no-saver-window.png"
  echo "run-saver: the saver window did not show (see $shots_dir)" >&2
  exit 1
fi

for (( i = 1; i <= shots; i++ )); do
  sleep 0.75
  import -window root "$shots_dir/saver-$i.png"
done

xdotool key space
for (( i = 0; i < 300; i++ )); do
  kill -0 "$saver_pid" 2>/dev/null || break
  sleep 0.1
done
if kill -0 "$saver_pid" 2>/dev/null; then
  echo "run-saver: the saver did not end on a key press" >&2
  exit 1
fi
echo "run-saver: the saver ran and ended on a key press; screenshots in $shots_dir"
