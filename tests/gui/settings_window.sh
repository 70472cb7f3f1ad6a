#!/usr/bin/env bash
# The settings window as a user meets it (Xvfb, openbox, xcompmgr):
#  - it asks the window manager for no minimise or maximise; minimised all
#    the same, Ctrl+F6 and a second start bring it back, and neither a
#    minimised end nor a stored minimised state hides it at the next start;
#  - "Visible only when editor visible": hiding the window with Ctrl+F6
#    leaves the flame alone, closing it fades the flame out, showing it
#    again brings the flame back;
#  - the drawing window names the drawing hot key as it is now: the default,
#    a new one at once, and the new one after a restart.
# Usage: settings_window.sh BUILD_DIR
set -u
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=lib.sh
. "$here/lib.sh"
gui_begin settings_window "${1:-}"
conf=$work/config/QUELMA.conf

settings() { window_id QUELMA visible; }
state_is() { probe_is window.QUELMA "$1"; }
hidden() { [ -z "$(probe window.QUELMA)" ]; }
flame_shown() { is_visible PartForm; }
flame_gone() { ! is_visible PartForm; }

echo "== window-manager hints"
start_quelma
wait_for 50 state_is "normal active" || { echo "no settings window" >&2; exit 1; }
read -r _ functions decorations _ < <(xprop -id "$(settings)" _MOTIF_WM_HINTS | sed 's/.*= //; s/,//g')
check "no minimise or maximise function asked for ($functions)" test $((functions & 0x18)) -eq 0
check "no minimise or maximise button asked for ($decorations)" test $((decorations & 0x60)) -eq 0

echo "== minimised anyway"
xdotool windowminimize "$(settings)"
check "the window manager minimised it" wait_for 30 state_is minimized
xdotool key ctrl+F6
check "Ctrl+F6 brings it back" wait_for 30 state_is "normal active"
xdotool windowminimize "$(settings)"
wait_for 30 state_is minimized
timeout 20 "$quelma" >>"$work/second.log" 2>&1
check "a second start brings it back" wait_for 30 state_is "normal active"
xdotool windowminimize "$(settings)"
wait_for 30 state_is minimized
stop_quelma
check "the end stored it as normal" grep -q '^State=0' "$conf"
sed -i 's/^State=.*/State=1/' "$conf"
start_quelma
check "a stored minimised state does not hide it at start" wait_for 50 state_is "normal active"

echo "== drawing window hint"
check "the hint names Ctrl+F8" wait_for 30 probe_is KeyLabel "Right-click to discard, Ctrl+F8 to bring back"
click_widget DrawingHotKey
wait_for 30 probe_is focus DrawingHotKey
xdotool key ctrl+shift+d
check "the edit took Ctrl+Shift+D" wait_for 30 probe_is DrawingHotKey "Ctrl+Shift+D"
check "the open drawing window names it at once" \
  wait_for 30 probe_is KeyLabel "Right-click to discard, Ctrl+Shift+D to bring back"
stop_quelma
start_quelma
check "after a restart too" wait_for 50 probe_is KeyLabel "Right-click to discard, Ctrl+Shift+D to bring back"

echo "== \"Visible only when editor visible\""
xdotool key Escape  # ends drawing
wait_for 30 probe_is DrawingBox 0
click_widget WOEVisibleBox
check "box set" wait_for 30 probe_is WOEVisibleBox 1
xdotool key ctrl+F6
check "Ctrl+F6 hides the settings window" wait_for 30 hidden
sleep 0.6  # a fade-out takes 0.4 s: it must not have started
check "the flame stays when the window is hidden by the hot key" flame_shown
xdotool key ctrl+F6
check "Ctrl+F6 shows it again" wait_for 30 state_is "normal active"
xdotool key Escape  # closes the settings window
check "Escape closes the settings window" wait_for 30 hidden
check "closing fades the flame out" wait_for 30 flame_gone
xdotool key ctrl+F6
check "showing the window brings the flame back" wait_for 30 flame_shown
stop_quelma
gui_result settings_window
