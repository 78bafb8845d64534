#!/usr/bin/env bash
# Takes the README's screenshots of the settings dialog, the fake desktop
# capture's two message boxes and the about box under Xvfb + Wine, into
# docs/screenshots/, and the saver's (saver.png and a small animation of two
# flights, docs/flights.gif) from the run command's recording without a display,
# and the same at 200 % (docs/flights-200.gif, screenshots/plane-100-200.png).
# Uses the cross build (SKYVANE_CROSS_BUILD, default build/cross) with its data
# files and test fixtures; run scripts/build.sh cross first.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
source scripts/wine-env.sh
trap skyvane_cleanup EXIT

cross=${SKYVANE_CROSS_BUILD:-$SKYVANE_BUILD/cross}
exe=$(skyvane_saver_exe) || { echo "screenshots: skyvane.scr is not built in $cross" >&2; exit 1; }
fixtures=$cross/tests/win32/fixtures
inspector=$fixtures/dialog_inspector.exe
probe=$fixtures/window_probe.exe
for tool in "$inspector" "$probe"; do
  [ -f "$tool" ] || { echo "screenshots: $tool is not built" >&2; exit 1; }
done
out=$root/docs/screenshots
mkdir -p "$out"

skyvane_start_xvfb 1024x768x24
skyvane_new_prefix
skyvane_wine_env "$SKYVANE_PREFIX"
skyvane_install_data "$SKYVANE_PREFIX"
windir=$SKYVANE_PREFIX/drive_c/windows
if [ ! -f "$windir/background.jpg" ]; then
  echo "screenshots: the build made no background.jpg; using a plain gradient" >&2
  convert -size 640x480 gradient:'#9cc9f0-#1d4f8c' -quality 92 "$windir/background.jpg"
fi
# Wine's own fonts (Marlett for the title bar buttons, MS Sans Serif, Tahoma
# for message boxes) are not found in Debian's Wine data directory: give the
# prefix a copy, so the pictures look as on Windows.
if compgen -G "/usr/share/wine/fonts/*.ttf" >/dev/null; then
  mkdir -p "$windir/Fonts"
  cp /usr/share/wine/fonts/*.ttf "$windir/Fonts/"
fi
# No window manager runs on Xvfb: Wine then draws the title bars itself.
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
wineserver -w

# json FIELD: FIELD of the first JSON line on stdin that has it ("" if none).
json() { /usr/bin/python3 -c '
import json, sys
for line in sys.stdin:
    if line.startswith("{"):
        item = json.loads(line)
        if sys.argv[1] in item:
            print(item[sys.argv[1]]); break' "$1"; }
# control_id CLASS TITLE TEXT: the id of the control with that text.
control_id() { wine "$inspector" controls "$1" "$2" | /usr/bin/python3 -c '
import json, sys
for line in sys.stdin:
    if line.startswith("{"):
        item = json.loads(line)
        if item.get("text") == sys.argv[1] and "id" in item:
            print(item["id"]); break' "$3"; }
# rect CLASS TITLE PROGRAM: "WxH+X+Y" of a top-level window when it is visible.
form_rect() { wine "$inspector" controls "$1" "$2" 2>/dev/null | /usr/bin/python3 -c '
import json, sys
for line in sys.stdin:
    item = json.loads(line) if line.startswith("{") else {}
    if item.get("form") and item["visible"]:
        print("%dx%d+%d+%d" % (item["right"] - item["left"], item["bottom"] - item["top"], item["left"], item["top"]))
        break'; }
box_rect() { wine "$probe" windows "#32770" "$1" 2>/dev/null | /usr/bin/python3 -c '
import json, sys
for line in sys.stdin:
    item = json.loads(line) if line.startswith("{") else {}
    if item.get("visible"):
        print("%dx%d+%d+%d" % (item["right"] - item["left"], item["bottom"] - item["top"], item["left"], item["top"]))
        break'; }
# wait_for COMMAND...: the command's output once it prints something (60 s at most).
wait_for() {
  local result i
  for (( i = 0; i < 300; i++ )); do
    result=$("$@" || true)
    if [ -n "$result" ]; then echo "$result"; return 0; fi
    sleep 0.2
  done
  echo "screenshots: timed out waiting for: $*" >&2
  return 1
}
shoot() {   # shoot NAME RECT
  sleep 0.5   # let the last paint reach the screen
  import -window root -crop "$2" +repage "$out/$1.png"
  echo "screenshots: $out/$1.png"
}

wine "$exe" /c >/dev/null 2>&1 &
dialog=$(wait_for form_rect TForm2 Skyvane)
shoot settings-dialog "$dialog"

wine "$inspector" click TForm2 Skyvane "$(control_id TForm2 Skyvane About)"
about=$(wait_for form_rect TFrmabout '*')
shoot about-box "$about"
wine "$inspector" click TFrmabout '*' "$(control_id TFrmabout '*' Return)"

wine "$inspector" click TForm2 Skyvane "$(control_id TForm2 Skyvane 'Get Fake Desktop')"
prompt=$(wait_for box_rect Information)
shoot capture-explanation "$prompt"
wine "$probe" press Information OK
sleep 1
done_box=$(wait_for box_rect Information)
shoot capture-done "$done_box"
wine "$probe" press Information OK

wine "$inspector" click TForm2 Skyvane "$(control_id TForm2 Skyvane OK)"
wineserver -w

# The saver: the run command records it on a virtual display of its own.
recording=$(mktemp -d)
_skyvane_remove+=("$recording")
( unset DISPLAY
  SKYVANE_RUN_PREFIX=$recording/prefix SKYVANE_RUN_SCALE=0.5 \
    bash scripts/run-saver.sh --out "$recording" >/dev/null )
cp "$recording/still-1.png" "$out/saver.png"
cp "$recording/flights.gif" "$root/docs/flights.gif"
echo "screenshots: $out/saver.png"
echo "screenshots: $root/docs/flights.gif"

# The same at 200 % on a screen of the same physical size, the animation at the
# same displayed size; and a plane of each, side by side at the 200 % screen's
# pixels (the one at 100 % enlarged twice, as a stretching Windows would show it).
scaled=$(mktemp -d)
_skyvane_remove+=("$scaled")
( unset DISPLAY
  SKYVANE_RUN_PREFIX=$scaled/prefix SKYVANE_RUN_SCREEN=2048x1536x24 SKYVANE_RUN_DPI=192 SKYVANE_RUN_SCALE=0.25 \
    bash scripts/run-saver.sh --out "$scaled" >/dev/null )
cp "$scaled/flights.gif" "$root/docs/flights-200.gif"
/usr/bin/python3 - "$recording" "$scaled" "$out/plane-100-200.png" <<'PYTHON'
import sys
import numpy as np
from PIL import Image

def plane_centre(directory):
    still = Image.open(directory + "/still-1.png").convert("RGB")
    desktop = np.asarray(Image.open(directory + "/desktop.png").convert("RGB")).astype(int)
    changed = np.abs(np.asarray(still).astype(int) - desktop).max(axis=2) > 12
    rows, cols = np.flatnonzero(changed.any(axis=1)), np.flatnonzero(changed.any(axis=0))
    return still, (cols[0] + cols[-1]) // 2, (rows[0] + rows[-1]) // 2

width, height = 800, 330
small, x, y = plane_centre(sys.argv[1])
left = small.crop((x - width // 4, y - height // 4, x + width // 4, y + height // 4)).resize((width, height), Image.NEAREST)
large, x, y = plane_centre(sys.argv[2])
right = large.crop((x - width // 2, y - height // 2, x + width // 2, y + height // 2))
sheet = Image.new("RGB", (2 * width + 12, height), (40, 40, 40))
sheet.paste(left, (0, 0))
sheet.paste(right, (width + 12, 0))
sheet.save(sys.argv[3], optimize=True)
PYTHON
echo "screenshots: $root/docs/flights-200.gif"
echo "screenshots: $out/plane-100-200.png"
