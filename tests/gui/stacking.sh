#!/usr/bin/env bash
# The stacking of the program's windows as a user meets it (Xvfb, openbox,
# xcompmgr): while drawing, from the top the settings window, the flame, the
# drawing window, however often the settings window was hidden and shown, so
# that a click on a tab reaches the tab; with "Keep in front" cleared an
# application window that is activated covers the flame, with it set the
# flame stays above, and the settings window stays above the flame, solid or
# not, so its controls under the art take their clicks. A desktop panel stays reachable while drawing: the
# drawing window covers the work area only.
# Usage: stacking.sh BUILD_DIR
set -u
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=lib.sh
. "$here/lib.sh"
gui_begin stacking "${1:-}"

drawing_order() {
  above QUELMA PartForm && above PartForm "Mouse input"
}
gone() { ! xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | grep -q .; }

start_quelma
wait_for 100 is_visible "Mouse input" || { echo "no drawing window" >&2; exit 1; }
wait_for 50 probe_is window.QUELMA "normal active"
echo "== at start"
check "settings over flame over drawing window" wait_for 30 drawing_order

for round in 1 2; do
  echo "== settings window hidden and shown ($round), drawing off and on"
  xdotool key ctrl+F6
  wait_for 30 gone QUELMA
  xdotool key ctrl+F6
  check "Ctrl+F6 shows the settings window" wait_for 50 is_visible QUELMA
  xdotool key ctrl+F8
  wait_for 30 gone "Mouse input"
  xdotool key ctrl+F8
  check "drawing on again" wait_for 30 is_visible "Mouse input"
  check "settings over flame over drawing window" wait_for 30 drawing_order
done
top_order | tr '\n' ' '; echo

click_widget tab.Emitters
check "a click on a tab reaches the settings window" wait_for 30 probe_is SheetSelect Emitters
check "and it is still drawing" is_visible "Mouse input"
click_widget tab.System
wait_for 30 probe_is SheetSelect System

echo "== \"Keep in front\" cleared: an activated window covers the flame"
xdotool key ctrl+F8
wait_for 30 gone "Mouse input"
click_widget WFrontBox
check "\"Keep in front\" cleared" wait_for 30 probe_is WFrontBox 0
click_target app 300 150 700 500 || { echo "no application window" >&2; exit 1; }
xdotool windowactivate --sync "$(window_id app visible)" 2>/dev/null
check "the activated window covers the flame" wait_for 30 above app PartForm

echo "== \"Keep in front\" set: the flame stays above"
xdotool key ctrl+F6  # hidden...
wait_for 30 gone QUELMA
xdotool key ctrl+F6  # ...and shown: the settings window comes forward
check "Ctrl+F6 shows and activates the settings window" wait_for 50 probe_is window.QUELMA "normal active"
click_widget WFrontBox
check "\"Keep in front\" set" wait_for 30 probe_is WFrontBox 1
check "the flame is above the window" wait_for 30 above PartForm app
xdotool windowactivate --sync "$(window_id app visible)" 2>/dev/null
sleep 0.5  # let the window manager restack; the flame must still be above
check "activating the window leaves the flame above it" wait_for 30 above PartForm app
check "and the settings window above the flame" wait_for 30 above QUELMA PartForm
top_order | tr '\n' ' '; echo

echo "== a solid flame over the settings window"
click_widget WSolidBox
check "\"Solid\" set" wait_for 30 probe_is WSolidBox 1
# Under the start-up flame, in the middle of the screen.
xdotool windowmove "$(window_id QUELMA visible)" 300 250
check "the settings window moved under the art" wait_for 30 sh -c "[ \"\$(sed -n 's/^pos.tab.Emitters=//p' '$work/probe' | cut -d' ' -f2)\" -gt 250 ]"
xdotool windowactivate --sync "$(window_id app visible)" 2>/dev/null
check "another window activated: the settings window stays above the flame" \
  wait_for 30 above QUELMA PartForm
check "the flame stays above that window" above PartForm app
click_widget tab.Emitters
check "a click on a tab under the fire reaches it" wait_for 30 probe_is SheetSelect Emitters
screenshot 2-solid
stop_quelma

echo "== a panel at the bottom of the screen stays reachable while drawing"
click_target panel 0 760 1280 40 || { echo "no panel window" >&2; exit 1; }
panel=$(window_id panel visible)
# Reserve its strip as a desktop panel does; the window manager takes it off
# the work area.
xprop -id "$panel" -f _NET_WM_STRUT 32c -set _NET_WM_STRUT "0,0,0,40"
xdotool windowmove "$panel" 0 760
wait_for 50 sh -c "xprop -root _NET_WORKAREA | grep -q '0, 0, 1280, 760'"
start_quelma
wait_for 100 is_visible "Mouse input" || { echo "no drawing window" >&2; exit 1; }
read -r dx dy dw dh < <(geometry "$(window_id "Mouse input" visible)")
check "the drawing window covers the work area only ($dx $dy ${dw}x$dh)" test "$dx $dy $dw $dh" = "0 0 1280 760"
# A stroke that runs into the panel, then a click on the panel (its client
# area starts under the window manager's title bar).
xdotool mousemove 1200 700 mousedown 1 mousemove 1200 750 mousemove 1200 790 mouseup 1
before=$(clicks_on panel)
xdotool mousemove 1100 790 click 1
panel_clicked() { [ "$(clicks_on panel)" -gt "$before" ]; }
check "after a stroke into it, a click on the panel reaches the panel" wait_for 30 panel_clicked
check "drawing goes on" is_visible "Mouse input"
stop_quelma
gui_result stacking
