#!/usr/bin/env bash
# Small things a new user meets at the first start (Xvfb, openbox,
# xcompmgr): the keyboard focus is on no destructive button, so a Space
# right after the start keeps the art, and "Start over" is undone by Ctrl+Z; everything the program says on
# standard error starts with "quelma: ", and openbox's requests cause no Qt
# warning; without a drawing hot key the drawing window says how to bring it
# back all the same.
# Usage: first_use.sh BUILD_DIR
set -u
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=lib.sh
. "$here/lib.sh"
gui_begin first_use "${1:-}"

start_quelma
wait_for 50 probe_is window.QUELMA "normal active" || { echo "no settings window" >&2; exit 1; }
wait_for 100 sh -c "[ \"\$(sed -n 's/^emitters=//p' '$work/probe')\" -gt 0 ]"
art=$(probe emitters)
check "the focus is not on \"Start over\" ($(probe focus))" test "$(probe focus)" != StartOverBtn
xdotool key space
check "a Space keeps the art ($art emitters)" steady 5 probe emitters >/dev/null
check "all of it" probe_is emitters "$art"

echo "== a slip onto \"Start over\", undone"
click_widget StartOverBtn
check "the art is gone" wait_for 30 probe_is emitters 0
xdotool key ctrl+z
check "Ctrl+Z brings all of it back ($(probe emitters) of $art)" wait_for 30 probe_is emitters "$art"
xdotool key ctrl+shift+z
check "Ctrl+Shift+Z takes it again" wait_for 30 probe_is emitters 0
xdotool key ctrl+z
wait_for 30 probe_is emitters "$art"

echo "== Alt keys"
xdotool key alt+m
check "Alt+M shows the Animation tab" wait_for 30 probe_is SheetSelect Animation
xdotool key alt+y
check "Alt+Y the System tab" wait_for 30 probe_is SheetSelect System

echo "== without a drawing hot key"
click_widget DrawingHotKey
wait_for 30 probe_is focus DrawingHotKey
xdotool key BackSpace
check "the key is cleared" wait_for 30 probe_is DrawingHotKey None
check "the drawing window says how to bring it back" \
  wait_for 30 probe_is KeyLabel 'Right-click to discard, "Enable drawing" to bring back'
stop_quelma

echo "== standard error"
check "no warning about openbox's requests" sh -c "! grep -q _KDE_WM_CHANGE_STATE '$work/quelma.log'"
check "every line starts with \"quelma: \"" sh -c "! grep -v '^quelma: ' '$work/quelma.log'"
gui_result first_use
