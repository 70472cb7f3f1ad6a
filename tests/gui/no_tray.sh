#!/usr/bin/env bash
# A desktop without a notification area, as at a login where the program
# starts before the panel (Xvfb, openbox, xcompmgr; trayer as the late tray):
#  - "quelma /TRAY" says once how to reach the settings window, naming the
#    hot key as it is set;
#  - a second start with no file shows the hidden settings window;
#  - a tray that starts later gets the icon;
#  - a double click on the icon of a minimised settings window leaves it
#    shown, one on a shown window hides it.
# Usage: no_tray.sh BUILD_DIR
set -u
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=lib.sh
. "$here/lib.sh"
gui_require trayer
gui_begin no_tray "${1:-}"

shown() { case "$(probe window.QUELMA)" in normal*) return 0 ;; esac; return 1; }
hidden() { [ -z "$(probe window.QUELMA)" ]; }
# The window trayer docks icons in, the program's icon in it, and its centre.
tray_window() { xdotool search --name '^panel$' 2>/dev/null | head -n1; }
icon_id() {
  local t
  t=$(tray_window)
  [ -n "$t" ] && xwininfo -id "$t" -tree | awk '/"QUELMA"/ {print $1; exit}'
}
icon_docked() { [ -n "$(icon_id)" ]; }
# The settings window (the docked icon has its name too).
settings_id() {
  local id x y w h
  for id in $(xdotool search --onlyvisible --name '^QUELMA$' 2>/dev/null); do
    read -r x y w h < <(geometry "$id") || continue
    [ "$w" -gt 100 ] && { echo "$id"; return 0; }
  done
  return 1
}
icon_centre() {
  local x y w h
  read -r x y w h < <(geometry "$(icon_id)") || return 1
  echo "$((x + w / 2)) $((y + h / 2))"
}

start_quelma /TRAY
check "no tray in the readout" wait_for 30 probe_is tray 0
check "the note names the hot key" wait_for 30 grep -q \
  '^quelma: no notification area (system tray) was found. Press Ctrl+F6 or start QUELMA again' \
  "$work/quelma.log"
check "once" test "$(grep -c 'notification area' "$work/quelma.log")" -eq 1
check "the settings window is hidden" hidden

echo "== a second start"
timeout 20 "$quelma" >"$work/second.log" 2>&1
rc=$?
check "ends with status 0 (rc $rc)" test "$rc" -eq 0
check "and shows the settings window" wait_for 50 shown
xdotool key ctrl+F6
wait_for 50 hidden

echo "== the tray starts later"
trayer --edge top --align right --widthtype request --height 24 --transparent false \
  >"$work/trayer.log" 2>&1 &
pids+=($!)
tray_up() { [ -n "$(tray_window)" ]; }
check "trayer runs" wait_for 50 tray_up
check "the program sees it" wait_for 50 probe_is tray 1
check "the icon is docked" wait_for 50 icon_docked
screenshot 1-tray

echo "== double clicks on the icon"
xdotool key ctrl+F6
wait_for 50 shown
# The panel stays above everything; the flame must not go over the settings
# window to reach above it.
check "the settings window stays above the flame under the panel" wait_for 30 above QUELMA PartForm
xdotool windowminimize "$(settings_id)"
check "minimised" wait_for 30 probe_is window.QUELMA minimized
# shellcheck disable=SC2046
xdotool mousemove $(icon_centre) click --repeat 2 --delay 80 1
check "a double click brings it back" wait_for 30 shown
check "and leaves it shown" steady 10 probe window.QUELMA >/dev/null
check "shown" shown
# shellcheck disable=SC2046
xdotool mousemove $(icon_centre) click --repeat 2 --delay 80 1
check "a double click on the shown window hides it" wait_for 30 hidden
stop_quelma
gui_result no_tray
