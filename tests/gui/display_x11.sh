#!/usr/bin/env bash
# The flame window on a real X server (Xvfb): placement, stacking, per-pixel
# alpha on screen and click-through, first without a compositing manager or a
# window manager, then with xcompmgr, then with xcompmgr and openbox when
# installed. Screenshots land in <build>/gui-display/*.png.
# Usage: display_x11.sh <build folder>
set -u
build=${1:?usage: display_x11.sh <build folder>}
prog="$build/tests/test_display"
out="$build/gui-display"
mkdir -p "$out"

if ! command -v Xvfb >/dev/null || ! command -v xdotool >/dev/null; then
  echo "display_x11: SKIPPED (Xvfb and xdotool are needed)"
  exit 77
fi
[ -x "$prog" ] || { echo "display_x11: $prog not built" >&2; exit 1; }

# shellcheck source=lib.sh
. "$(dirname "$0")/lib.sh"
start_xvfb 1280x720x24 "$out" || { echo "display_x11: Xvfb did not start" >&2; exit 1; }
export QT_QPA_PLATFORM=xcb QT_ENABLE_HIGHDPI_SCALING=0

status=0
run() {  # run <name> <compositor expected 0/1>
  echo "== $1"
  local shot=""
  command -v import >/dev/null && shot="$out/$1.png"
  QUELMA_EXPECT_COMPOSITOR=$2 QUELMA_SCREENSHOT="$shot" \
    "$prog" --gtest_filter='X11FlameWindow.*' >"$out/$1.log" 2>&1
  local rc=$?
  grep -E '^\[ +(OK|FAILED|SKIPPED) +\]' "$out/$1.log"
  if [ $rc -ne 0 ]; then status=1; tail -n 40 "$out/$1.log"; fi
}

run plain-x11 0

if command -v xcompmgr >/dev/null; then
  xcompmgr >"$out/xcompmgr.log" 2>&1 &
  cm=$!
  pids+=($cm)
  wait_for 100 compositor_running || { echo "display_x11: xcompmgr did not start" >&2; exit 1; }
  run xcompmgr 1
  if command -v openbox >/dev/null; then
    openbox --sm-disable >"$out/openbox.log" 2>&1 &
    pids+=($!)
    wait_for 100 wm_running || { echo "display_x11: openbox did not start" >&2; exit 1; }
    QUELMA_WINDOW_MANAGER=openbox run xcompmgr-openbox 1
  else
    echo "== openbox not installed: window-manager pass skipped"
  fi
else
  echo "== xcompmgr not installed: compositor pass skipped"
fi
exit $status
