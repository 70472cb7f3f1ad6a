#!/usr/bin/env bash
# The settings window can always be seen whole: a place stored for a monitor
# that is gone (Left=5000, Top=3000) is not kept, without a window manager
# and with one, and a monitor removed while the program runs takes the
# window along to one that stays. The monitors are RandR monitors of one
# 2400x900 Xvfb screen. (Xvfb and xcompmgr; openbox from the second part.)
# Usage: settings_onscreen.sh BUILD_DIR
set -u
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=lib.sh
. "$here/lib.sh"
gui_require xrandr
gui_wm=0 gui_begin settings_onscreen "${1:-}" 2400x900x24
conf=$work/config/QUELMA.conf

setmonitor() { xrandr --setmonitor "$1" "$2/$2x$3/$3+$4+$5" "$6" >/dev/null; }
# within X0 Y0 X1 Y1: the settings window lies wholly inside that rectangle.
within() {
  local x y w h
  read -r x y w h < <(geometry "$(window_id QUELMA visible)") || return 1
  [ "$x" -ge "$1" ] && [ "$y" -ge "$2" ] && [ $((x + w)) -le "$3" ] && [ $((y + h)) -le "$4" ]
}
store_far_away() { printf '[QUELMAMainForm]\nLeft=5000\nTop=3000\n' >"$conf"; }

setmonitor M1 1600 900 0 0 screen
setmonitor M2 800 900 1600 0 none

echo "== no window manager"
store_far_away
start_quelma
check "the settings window shows" wait_for 50 is_visible QUELMA
check "wholly on a monitor" wait_for 30 within 0 0 2400 900
screenshot 1-no-wm
stop_quelma

echo "== with openbox"
start_openbox || { echo "openbox did not start" >&2; exit 1; }
store_far_away
start_quelma /TRAY
xdotool key ctrl+F6
check "Ctrl+F6 shows it" wait_for 50 is_visible QUELMA
check "wholly on a monitor" wait_for 30 within 0 0 2400 900
timeout 20 "$quelma" >>"$work/second.log" 2>&1
check "after a second start too" wait_for 30 within 0 0 2400 900

echo "== its monitor removed"
xdotool windowmove "$(window_id QUELMA visible)" 1650 300
# The program must know of the move before the monitor goes.
program_sees_right() { [ "$(probe geom.SheetSelect | cut -d' ' -f1)" -ge 1600 ]; }
check "moved to the second monitor" wait_for 30 within 1600 0 2400 900
check "the program knows it" wait_for 30 program_sees_right
xrandr --delmonitor M2
check "it comes along to the first" wait_for 50 within 0 0 1600 900
screenshot 2-removed
stop_quelma
gui_result settings_onscreen
