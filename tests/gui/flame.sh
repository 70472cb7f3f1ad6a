#!/usr/bin/env bash
# End to end, as a person would use it: on a virtual X display with a
# compositing manager, start quelma, start the art over with a middle click,
# draw a stroke on the drawing window, and check that fire rises above the
# stroke and that the flame window covers the art (and grows with it). Then
# clear and set "Visible" on the settings window and see the flame go and come
# back, discard the drawing window with a right click, and check that /TRAY
# starts without the settings and drawing windows.
#
# Usage: flame.sh BUILD_DIR. Screenshots are kept in BUILD_DIR/gui-flame/.
set -euo pipefail

build=${1:?usage: flame.sh BUILD_DIR}
here=$(cd "$(dirname "$0")" && pwd)
quelma=$build/app/quelma
shots=$build/gui-flame

for tool in Xvfb xcompmgr xdotool xwininfo import convert python3; do
  command -v "$tool" >/dev/null || { echo "flame.sh: SKIPPED ($tool is needed)" >&2; exit 77; }
done
[ -x "$quelma" ] || { echo "flame.sh: $quelma is not built" >&2; exit 1; }
mkdir -p "$shots"
rm -rf "$shots"/*

work=$(mktemp -d)
# shellcheck source=lib.sh
. "$here/lib.sh"
unset WAYLAND_DISPLAY XDG_SESSION_TYPE QT_QPA_PLATFORM
export XDG_RUNTIME_DIR=$work/runtime XDG_CONFIG_HOME=$work/config
mkdir -p -m 700 "$XDG_RUNTIME_DIR"

fail() {
  echo "flame.sh: FAIL: $*" >&2
  if [ -s "$work/quelma.log" ]; then
    echo "--- quelma output:" >&2
    cat "$work/quelma.log" >&2
  fi
  exit 1
}

is_hidden() { ! is_visible "$1"; }
# flame_covers X0 Y0 X1 Y1: the flame window reaches over that rectangle.
flame_covers() {
  local x y w h
  read -r x y w h < <(geometry "$(window_id PartForm)") || return 1
  [ "$x" -le "$1" ] && [ $((x + w)) -ge "$3" ] && [ "$y" -le "$2" ] && [ $((y + h)) -ge "$4" ]
}
# flame_reset: the flame window is down to its empty size; flame_grown: it
# holds art.
flame_reset() {
  local x y w h
  read -r x y w h < <(geometry "$(window_id PartForm)") || return 1
  [ "$w" -le 16 ] && [ "$h" -le 16 ]
}
flame_grown() {
  local x y w h
  read -r x y w h < <(geometry "$(window_id PartForm)") || return 1
  [ "$w" -gt 16 ] || [ "$h" -gt 16 ]
}
drawing_is() { [ "$(geometry "$(window_id "Mouse input" visible)")" = "$1" ]; }

start_quelma() {
  rm -f "$work/probe"
  QUELMA_TEST_PROBE=$work/probe "$quelma" "$@" >"$work/quelma.log" 2>&1 &
  quelma_pid=$!
  pids+=("$quelma_pid")
}
stop_quelma() {
  kill "$quelma_pid" 2>/dev/null || true
  wait "$quelma_pid" 2>/dev/null || true
}

# A fresh virtual display on a free number (Xvfb picks it and writes it out).
start_display() {
  start_xvfb 1280x800x24 "$work" || fail "Xvfb did not start"
}
stop_display() {
  kill "$xvfb_pid" 2>/dev/null || true
  wait "$xvfb_pid" 2>/dev/null || true
}

# One run of the whole scenario on a fresh display, with window manager $1
# ("none" or a program to start).
run_on() {
  local wm=$1
  out=$shots/$wm
  mkdir -p "$out"
  echo "flame.sh: window manager: $wm"
  start_display

  xcompmgr >"$work/xcompmgr.log" 2>&1 &
  compositor_pid=$!
  pids+=($!)
  wait_for 100 compositor_running || fail "xcompmgr did not start"
  if [ "$wm" != none ]; then
    "$wm" >"$work/$wm.log" 2>&1 &
    wm_pid=$!
    pids+=($!)
    wait_for 100 wm_running || fail "$wm did not start"
  fi

  # ---- Start: settings window, flame window and drawing window -----------------
  start_quelma
  wait_for 100 is_visible "Mouse input" || fail "no drawing window"
  wait_for 50 is_visible QUELMA || fail "no settings window"
  wait_for 50 is_visible PartForm || fail "no flame window"
  wait_for 100 drawing_is "0 0 1280 800" ||
    fail "drawing window is $(geometry "$(window_id "Mouse input")"), not maximised"
  # The start-up art has a flame window to reset.
  wait_for 100 flame_grown ||
    fail "no start-up art under the flame window"
  screenshot 1-start

  # ---- Middle click: start over (the start-up art goes away) -------------------
  xdotool mousemove 1000 120 click 2
  wait_for 100 flame_reset || true
  screenshot 2-start-over
  read -r fx fy fw fh < <(geometry "$(window_id PartForm)")
  [ "$fw" -le 16 ] && [ "$fh" -le 16 ] || fail "after start over the flame window is ${fw}x$fh, not reset"

  # ---- Draw a stroke from (300, 200) to (700, 200) ------------------------------
  xdotool mousemove 300 200 mousedown 1
  for x in $(seq 310 10 700); do
    xdotool mousemove "$x" 200
    sleep 0.01
  done
  xdotool mouseup 1
  xdotool mousemove 1000 120  # away, so the attraction point does not matter
  wait_for 20 fire_in 3-stroke 320 140 680 195 2000 || true
  above=$fire_count
  read -r below elsewhere < <(flame_pixels 3-stroke 320 225 680 290 800 300 1280 440)
  echo "flame pixels: above the stroke $above, below it $below, elsewhere $elsewhere"
  [ "$above" -ge 2000 ] || fail "no fire above the stroke ($above flame pixels)"
  [ "$below" -lt $((above / 10)) ] || fail "the fire does not rise ($below below, $above above)"
  [ "$elsewhere" -eq 0 ] || fail "fire where nothing was drawn ($elsewhere pixels)"

  wait_for 100 flame_covers 300 200 700 200 || true
  read -r fx fy fw fh < <(steady_geometry "$(window_id PartForm)") || fail "the flame window keeps changing"
  echo "flame window after the stroke: $fx $fy ${fw}x$fh"
  [ "$fx" -le 300 ] && [ $((fx + fw)) -ge 700 ] && [ "$fy" -le 200 ] && [ $((fy + fh)) -ge 200 ] ||
    fail "flame window $fx $fy ${fw}x$fh does not cover the stroke"
  [ "$fw" -le 700 ] && [ "$fh" -le 400 ] || fail "flame window ${fw}x$fh is much larger than the art"

  # A second stroke further down and right: the flame window grows to hold it.
  xdotool mousemove 900 350 mousedown 1 mousemove 950 350 mousemove 1000 350 mouseup 1
  xdotool mousemove 1000 120
  wait_for 100 flame_covers 300 350 1000 350 || true
  wait_for 20 fire_in 4-second-stroke 900 300 1000 345 500 || true
  read -r gx gy gw gh < <(steady_geometry "$(window_id PartForm)") || fail "the flame window keeps changing"
  echo "flame window after the second stroke: $gx $gy ${gw}x$gh"
  [ "$gx" -le 300 ] && [ $((gx + gw)) -ge 1000 ] && [ $((gy + gh)) -ge 350 ] ||
    fail "flame window $gx $gy ${gw}x$gh did not grow to the second stroke"
  [ "$fire_count" -ge 500 ] || fail "no fire above the second stroke"

  # ---- "Visible" on the settings window: the flame goes and comes back ----------
  settings=$(window_id QUELMA visible)
  read -r sx sy sw sh < <(geometry "$settings")
  mapfile -t boxes < <(python3 "$gui_shot_py" boxes "$out/4-second-stroke.png" "$sx" "$sy" $((sx + sw)) $((sy + sh)))
  [ "${#boxes[@]}" -eq 9 ] || fail "expected the System tab's 9 check boxes, found ${#boxes[@]}"
  read -r vx vy <<<"${boxes[1]}"  # "Enable drawing", then "Visible"

  xdotool mousemove "$vx" "$vy" click 1
  wait_for 100 is_hidden PartForm || fail "the flame window is still shown with \"Visible\" cleared"
  wait_for 20 no_fire_in 5-invisible 320 140 680 195 || fail "fire still seen with \"Visible\" cleared"
  is_visible "Mouse input" || fail "clearing \"Visible\" closed the drawing window"

  xdotool mousemove "$vx" "$vy" click 1
  wait_for 100 is_visible PartForm || fail "the flame window did not come back"
  wait_for 20 fire_in 6-visible-again 320 140 680 195 2000 || true
  back=$fire_count
  [ "$back" -ge 2000 ] || fail "the fire did not come back ($back flame pixels)"

  # ---- Right click discards the drawing window ------------------------------------
  xdotool mousemove 1000 120 click 3
  wait_for 30 sh -c "! xdotool search --onlyvisible --name '^Mouse input\$'" ||
    fail "right click did not discard the drawing window"
  screenshot 7-drawing-off
  [ "$(flame_pixels 7-drawing-off 320 140 680 195)" -ge 2000 ] || fail "the fire went with the drawing window"

  # ---- "Enable drawing" brings a drawing window back; Escape discards it -------
  read -r ex ey <<<"${boxes[0]}"
  xdotool mousemove "$ex" "$ey" click 1
  wait_for 30 is_visible "Mouse input" || fail "\"Enable drawing\" opened no drawing window"
  # The key goes to the window with the keyboard focus.
  wait_for 50 probe_is "window.Mouse input" "normal active" || fail "the drawing window did not take the focus"
  xdotool key Escape
  wait_for 30 sh -c "! xdotool search --onlyvisible --name '^Mouse input\$'" ||
    fail "Escape did not discard the drawing window"
  is_visible QUELMA || fail "Escape on the drawing window hid the settings window"
  stop_quelma

  # ---- /TRAY: only the flame window --------------------------------------------------
  start_quelma /tray
  wait_for 100 is_visible PartForm || fail "/TRAY: no flame window"
  # Once the start-up fire is on screen the start is over: no other window may
  # have come.
  wait_for 20 fire_in 8-tray 0 0 1280 800 1000 || true
  wait_for 50 test -s "$work/probe" || fail "/TRAY: no readout"
  is_visible QUELMA && fail "/TRAY: the settings window is shown"
  is_visible "Mouse input" && fail "/TRAY: drawing started"
  [ -z "$(probe window.QUELMA)" ] || fail "/TRAY: the settings window is shown"
  [ -z "$(probe "window.Mouse input")" ] || fail "/TRAY: drawing started"
  [ "$fire_count" -ge 1000 ] || fail "/TRAY: the start-up fire is not shown"
  stop_quelma
  if [ "$wm" != none ]; then
    kill "$wm_pid" 2>/dev/null || true
    wait "$wm_pid" 2>/dev/null || true
  fi
  kill "$compositor_pid" 2>/dev/null || true
  wait "$compositor_pid" 2>/dev/null || true
  stop_display
}

"$quelma" --help | grep -q '^Usage: quelma' || fail "--help prints no usage"

run_on none
# A common window manager must not move, frame or restack the flame window.
if command -v openbox >/dev/null; then
  run_on openbox
else
  echo "flame.sh: openbox is not installed: checked without a window manager only"
fi
# Without a compositing manager per-pixel alpha cannot be seen: said once.
echo "flame.sh: no compositing manager"
start_display
start_quelma /TRAY
wait_for 100 is_visible PartForm || fail "no flame window without a compositor"
wait_for 50 grep -q 'No compositing manager' "$work/quelma.log" || true
sleep 0.5  # a repeated report must not follow
[ "$(grep -c 'No compositing manager' "$work/quelma.log")" -eq 1 ] ||
  fail "the missing compositor is not reported once on standard error"
stop_quelma
stop_display

echo "flame.sh: all checks passed (screenshots in $shots)"
