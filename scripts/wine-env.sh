# Shell functions shared by the scripts that run Skyvane under Wine and Xvfb.
# Source it; it defines functions and a few variables and runs nothing.
#
#   skyvane_wine_env PREFIX       export the Wine variables for PREFIX
#   skyvane_template_prefix       boot the template prefix once, print its path
#   skyvane_new_prefix            copy the template into a fresh private prefix: $SKYVANE_PREFIX
#   skyvane_install_data PREFIX   copy the build's data files into PREFIX's C:\windows
#   skyvane_start_xvfb [WxHxD]    start Xvfb on a free display, export DISPLAY
#   skyvane_stop_xvfb             stop the Xvfb servers started here
#   skyvane_paint_root FILE       paint FILE on the root window of $DISPLAY
#   skyvane_stop_wine PREFIX      kill the wineserver of PREFIX
#   skyvane_cleanup               stop everything these functions started (trap it)
#
# Every process started here is remembered and stopped by skyvane_cleanup, so a
# script only needs: trap skyvane_cleanup EXIT

SKYVANE_ROOT=${SKYVANE_ROOT:-$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)}
SKYVANE_BUILD=${SKYVANE_BUILD:-$SKYVANE_ROOT/build}
# The template is booted once per test run (scripts/test.sh removes the old one);
# scripts that find one already there use it.
SKYVANE_TEMPLATE=${SKYVANE_TEMPLATE:-$SKYVANE_BUILD/wine-template}
SKYVANE_PREFIXES=${SKYVANE_PREFIXES:-$SKYVANE_BUILD/wine-prefixes}

_skyvane_xvfb_pids=()
_skyvane_prefixes=()
_skyvane_remove=()

skyvane_wine_env() {
  export WINEPREFIX=$1 WINEARCH=win32 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
}

# Boots the template prefix unless a complete one exists. Several processes may
# ask at once (ctest -j2): the first boots it under a lock, the others wait.
skyvane_template_prefix() {
  mkdir -p "$(dirname "$SKYVANE_TEMPLATE")"
  (
    flock 9
    if [ ! -f "$SKYVANE_TEMPLATE/.skyvane-ready" ]; then
      local booting="$SKYVANE_TEMPLATE.booting.$$"
      rm -rf "$booting" "$SKYVANE_TEMPLATE"
      mkdir -p "$booting"
      (
        skyvane_wine_env "$booting"
        unset DISPLAY   # the boot needs no display and must not open a window on anyone's
        wineboot -i >/dev/null 2>&1
        wineserver -w
      )
      if [ ! -f "$booting/system.reg" ]; then
        echo "wine-env: booting the template prefix in $booting failed" >&2
        rm -rf "$booting"
        exit 1
      fi
      touch "$booting/.skyvane-ready"
      mv "$booting" "$SKYVANE_TEMPLATE"
    fi
  ) 9>"$SKYVANE_TEMPLATE.lock" || return 1
  echo "$SKYVANE_TEMPLATE"
}

# A private copy of the template in SKYVANE_PREFIX (not printed: the cleanup
# list must be kept by the calling shell, not by a command substitution's).
# skyvane_cleanup stops its wineserver and removes it.
skyvane_new_prefix() {
  local template
  template=$(skyvane_template_prefix) || return 1
  mkdir -p "$SKYVANE_PREFIXES"
  SKYVANE_PREFIX=$(mktemp -d "$SKYVANE_PREFIXES/prefix.XXXXXX") || return 1
  _skyvane_prefixes+=("$SKYVANE_PREFIX")
  skyvane_copy_template "$template" "$SKYVANE_PREFIX"
}

# Makes the empty directory TARGET a prefix of its own from TEMPLATE: where the
# system lets us mount (as root), an overlay whose writes go to TARGET.layers
# and which costs nothing; elsewhere a copy of the template's 600 MB, most of
# them the system directory's libraries. skyvane_remove_prefix undoes either.
skyvane_copy_template() {
  local template=$1 target=$2 layers=$2.layers
  if [ "$(id -u)" = 0 ] && mkdir -p "$layers/upper" "$layers/work" &&
     mount -t overlay overlay -o "lowerdir=$template,upperdir=$layers/upper,workdir=$layers/work" \
           "$target" 2>/dev/null; then
    return 0
  fi
  rm -rf "$layers"
  cp -a "$template/." "$target/"
}

# Removes a prefix made by skyvane_copy_template (its wineserver must be gone).
skyvane_remove_prefix() {
  local target=$1
  if mountpoint -q "$target"; then umount "$target" 2>/dev/null || umount -l "$target"; fi
  rm -rf "$target" "$target.layers"
}

# The directory where the cross build puts the data files (containers In*.sdd,
# screen.jpg, background.jpg); empty when the build made none.
skyvane_data_dir() {
  local dir=${SKYVANE_CROSS_BUILD:-$SKYVANE_BUILD/cross}/data
  if [ -d "$dir" ]; then echo "$dir"; fi
}

skyvane_install_data() {
  local prefix=$1 data
  data=$(skyvane_data_dir)
  [ -n "$data" ] || return 0
  local f
  for f in "$data"/*; do
    [ -f "$f" ] && cp "$f" "$prefix/drive_c/windows/"
  done
  return 0
}

# The saver program, wherever the cross build put it.
skyvane_saver_exe() {
  local cross=${SKYVANE_CROSS_BUILD:-$SKYVANE_BUILD/cross}
  local exe
  for exe in "$cross/app/skyvane.scr" "$cross/skyvane.scr"; do
    if [ -f "$exe" ]; then echo "$exe"; return 0; fi
  done
  exe=$(find "$cross" -name skyvane.scr -type f 2>/dev/null | head -n1)
  [ -n "$exe" ] && echo "$exe"
}

# Starts Xvfb on a free display (scripts/xvfb.py, which the tests use too).
# Exports DISPLAY and SKYVANE_XVFB_PID.
skyvane_start_xvfb() {
  local started
  started=$(/usr/bin/python3 "$SKYVANE_ROOT/scripts/xvfb.py" "${1:-1024x768x24}") || {
    echo "wine-env: no free X display found for Xvfb" >&2
    return 1
  }
  _skyvane_xvfb_pids+=("${started#* }")
  export DISPLAY=${started% *} SKYVANE_XVFB_PID=${started#* }
}

# X forgets a picture painted on the root when a window above it closes, and the
# first Wine program in a prefix can close such a window: run one Wine program
# in the prefix before painting.
skyvane_paint_root() {
  display -window root "$1"
}

skyvane_stop_wine() {
  ( skyvane_wine_env "$1"; wineserver -k >/dev/null 2>&1; wineserver -w >/dev/null 2>&1 ) || true
}

skyvane_stop_xvfb() {
  local p
  local i
  for p in "${_skyvane_xvfb_pids[@]}"; do
    kill "$p" 2>/dev/null
    # Not a child of this shell (scripts/xvfb.py started it): wait by looking.
    for (( i = 0; i < 100; i++ )); do kill -0 "$p" 2>/dev/null || break; sleep 0.05; done
  done
  _skyvane_xvfb_pids=()
}

# Wine first (its programs are X clients), then the displays, then the files.
skyvane_cleanup() {
  local p
  for p in "${_skyvane_prefixes[@]}"; do skyvane_stop_wine "$p"; done
  skyvane_stop_xvfb
  for p in "${_skyvane_prefixes[@]}"; do skyvane_remove_prefix "$p"; done
  for p in "${_skyvane_remove[@]}"; do rm -rf "$p"; done
  _skyvane_prefixes=() _skyvane_xvfb_pids=() _skyvane_remove=()
}
