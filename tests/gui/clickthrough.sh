#!/usr/bin/env bash
# Clicks through the flame, as a user meets it (Xvfb, openbox, xcompmgr): a
# window lies under the flame and counts the clicks it gets. In every
# combination of "Keep in front", "Solid (no click-through)", hiding and
# showing the flame, drawing on and off and restarts with the saved
# preferences, a click on a transparent pixel of the flame reaches that
# window; with "Solid" set a click on the fire itself does not.
# Usage: clickthrough.sh BUILD_DIR. Screenshots go to BUILD_DIR/gui-clickthrough/.
set -u
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=lib.sh
. "$here/lib.sh"
gui_begin clickthrough "${1:-}"

# Where the flame window settles once the start-up art has its cover.
flame_geometry() { read -r fx fy fw fh < <(steady_geometry "$(window_id PartForm visible)"); }
# A transparent pixel: the flame window's top-right corner, right of the
# settings window. The hottest fire pixel there is an emitter's spot.
transparent_at() { echo "$((fx + fw - 4)) $((fy + 4))"; }
opaque_at() {
  import -window root "$out/$1.png"
  python3 "$here/shot.py" hottest "$out/$1.png" $((fx + fw / 2)) "$fy" $((fx + fw)) $((fy + fh))
}
# fire_spot NAME: sets at to opaque_at NAME; false while no fire is seen.
fire_spot() { at=$(opaque_at "$1") && [ -n "$at" ]; }
clicked_more() { [ "$(clicks_on target)" -gt "$1" ]; }
click_at() {  # click_at "X Y": then moves the pointer off the flame
  # shellcheck disable=SC2086
  xdotool mousemove $1 click 1
  xdotool mousemove 1270 10
}
# through NAME: a click on a transparent flame pixel reaches the window below.
through() {
  local before
  before=$(clicks_on target)
  click_at "$(transparent_at)"
  check "$1: a click on a transparent flame pixel reaches the window below" wait_for 20 clicked_more "$before"
}
# blocked NAME: with Solid, a click on the fire does not.
blocked() {
  local at before
  wait_for 20 fire_spot "$1"
  before=$(clicks_on target)
  if [ -z "$at" ]; then
    check "$1: fire to click on" false
    return
  fi
  click_at "$at"
  sleep 0.5  # the absence of a click can only be waited for
  check "$1: a click on the fire at $at is taken by the solid flame" test "$(clicks_on target)" -eq "$before"
  # On a transparent pixel it still passes.
  through "$1 (solid)"
}
toggle() {  # toggle BOX WANTED
  click_widget "$1"
  check "$1 is $2" wait_for 30 probe_is "$1" "$2"
}
# The flame over the window below, as each row needs it: re-shown (Ctrl+F7
# twice), it comes to the top like any window that appears.
flame_over_target() {
  if ! above PartForm target; then
    xdotool key ctrl+F7
    wait_for 30 sh -c "! xdotool search --onlyvisible --name '^PartForm\$' | grep -q ."
    xdotool key ctrl+F7
    wait_for 30 is_visible PartForm
  fi
  check "$1: the flame lies over the window below" wait_for 30 above PartForm target
}

start_quelma /TRAY
wait_for 100 is_visible PartForm || { echo "no flame window" >&2; exit 1; }
flame_geometry
echo "flame window: $fx $fy ${fw}x$fh"
click_target target $((fx - 40)) $((fy - 40)) $((fw + 80)) $((fh + 80)) || { echo "no click target" >&2; exit 1; }
xdotool key ctrl+F6
wait_for 50 probe_is window.QUELMA "normal active" || { echo "no settings window" >&2; exit 1; }

echo "== defaults: in front, not solid"
flame_over_target defaults
through defaults

echo "== \"Keep in front\" cleared"
toggle WFrontBox 0
flame_over_target "not in front"
through "not in front"

echo "== \"Solid\" set, not in front"
toggle WSolidBox 1
flame_over_target "solid, not in front"
blocked "solid, not in front"

echo "== \"Keep in front\" set again, solid"
toggle WFrontBox 1
flame_over_target "solid, in front"
blocked "solid, in front"

echo "== \"Solid\" cleared"
toggle WSolidBox 0
through "in front again"
wait_for 20 fire_spot not-solid
before=$(clicks_on target)
[ -n "$at" ] && click_at "$at"
check "not solid: a click on the fire reaches the window below" wait_for 20 clicked_more "$before"

echo "== hidden and shown, not in front"
toggle WFrontBox 0
xdotool key ctrl+F7
check "Ctrl+F7 hides the flame" wait_for 30 probe_is DisplayBox 0
xdotool key ctrl+F7
check "Ctrl+F7 shows it again" wait_for 30 probe_is DisplayBox 1
wait_for 30 is_visible PartForm
flame_over_target "shown again"
through "shown again"

echo "== drawing on and off"
xdotool key ctrl+F8
check "drawing on" wait_for 30 is_visible "Mouse input"
xdotool key ctrl+F8
check "drawing off" wait_for 30 sh -c "! xdotool search --onlyvisible --name '^Mouse input\$' | grep -q ."
flame_over_target "after drawing"
through "after drawing"

echo "== restart with \"Keep in front\" cleared"
stop_quelma
check "preferences saved" grep -q '^WFrontBox=0' "$work/config/QUELMA.conf"
start_quelma /TRAY
wait_for 100 is_visible PartForm
flame_geometry
flame_over_target "restarted, not in front"
through "restarted, not in front"

echo "== restart, solid and not in front"
xdotool key ctrl+F6
check "Ctrl+F6 shows the settings window" wait_for 50 probe_is window.QUELMA "normal active"
toggle WSolidBox 1
stop_quelma
start_quelma /TRAY
wait_for 100 is_visible PartForm
flame_geometry
flame_over_target "restarted solid"
blocked "restarted solid"
stop_quelma

gui_result clickthrough
