#!/usr/bin/env bash
# Monitors added and removed while the program runs: the engine's desktop
# follows (the readout's "desktop"), and the fire drawn before stays on its
# monitor's pixels: where it was when a monitor is added to the right, moved
# with its monitor when one is added to the left and the others move right.
# The monitors are RandR monitors of one 2400x900 Xvfb screen
# (xrandr --setmonitor / --delmonitor). (Xvfb, openbox and xcompmgr.)
# Usage: monitors.sh BUILD_DIR
set -u
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=lib.sh
. "$here/lib.sh"
gui_require xrandr
gui_begin monitors "${1:-}" 2400x900x24

# setmonitor NAME W H X Y OUTPUT: a monitor of that name and place (its size
# in millimetres is of no account here).
setmonitor() { xrandr --setmonitor "$1" "$2/$2x$3/$3+$4+$5" "$6" >/dev/null; }
monitors_are() { [ "$(xrandr --listmonitors | sed -n 's/^ *[0-9]*: [+*]*//p' | cut -d' ' -f1,2 | sort | tr '\n' ' ')" = "$1" ]; }
# flame_within X0 X1: the flame window lies between those columns.
flame_within() {
  local x y w h
  read -r x y w h < <(geometry "$(window_id PartForm)") || return 1
  [ "$x" -ge "$1" ] && [ $((x + w)) -le "$2" ]
}

# One 1600x900 monitor on the left of the screen to begin with.
setmonitor M1 1600 900 0 0 screen
wait_for 50 monitors_are "M1 1600/1600x900/900+0+0 " || { echo "xrandr --setmonitor failed" >&2; exit 1; }

start_quelma
wait_for 100 is_visible "Mouse input" || { echo "no drawing window" >&2; exit 1; }
check "the desktop is the first monitor" wait_for 50 probe_is desktop "0 0 1600 900"
check "the origin is its centre" probe_is origin "800 450"
# The start-up art goes (middle click), and a stroke from (300, 300) to (700, 300).
xdotool mousemove 1000 700 click 2
wait_for 50 probe_is emitters 0
xdotool mousemove 300 300 mousedown 1
for x in $(seq 310 10 700); do xdotool mousemove "$x" 300; done
xdotool mouseup 1
xdotool mousemove 1000 700 click 3 # drawing ends: nothing covers the fire
check "fire over the stroke" wait_for 30 fire_in 1-drawn 320 240 680 295 1500

echo "== a monitor added to the right"
setmonitor M2 800 900 1600 0 none
check "the desktop grows to the right" wait_for 50 probe_is desktop "0 0 2400 900"
check "the origin stays" probe_is origin "800 450"
check "the fire stays where it was" wait_for 30 fire_in 2-right 320 240 680 295 1500
check "the flame window stays on the first monitor" flame_within 0 1600

echo "== a monitor added to the left: the first one moves right"
xrandr --delmonitor M2
xrandr --delmonitor M1
setmonitor M1 1600 900 800 0 screen
setmonitor M2 800 900 0 0 none
wait_for 50 monitors_are "M1 1600/1600x900/900+800+0 M2 800/800x900/900+0+0 " || echo "the monitors did not change" >&2
check "the origin moves with its monitor" wait_for 50 probe_is origin "1600 450"
check "the desktop spans both" probe_is desktop "0 0 2400 900"
check "the fire moved with its monitor" wait_for 30 fire_in 3-left 1120 240 1480 295 1500
# (Above the settings window, whose icon is a flame.)
check "none where it was" no_fire_in 3-left 0 0 800 500
check "the flame window is on the moved monitor" flame_within 800 2400

echo "== the left monitor removed: the first one back at the left"
xrandr --delmonitor M2
xrandr --delmonitor M1
setmonitor M1 1600 900 0 0 screen
wait_for 50 monitors_are "M1 1600/1600x900/900+0+0 " || echo "the monitors did not change" >&2
check "the origin is back" wait_for 50 probe_is origin "800 450"
check "the desktop is the one monitor" probe_is desktop "0 0 1600 900"
check "the fire is back where it was drawn" wait_for 30 fire_in 4-removed 320 240 680 295 1500
check "and nowhere else" no_fire_in 4-removed 900 0 2400 900
stop_quelma
gui_result monitors
