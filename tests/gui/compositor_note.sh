#!/usr/bin/env bash
# The System tab's note about a missing compositing manager follows the
# display while the program runs: shown without one, gone once one starts,
# back when it stops. (Xvfb and openbox; xcompmgr started and stopped here.)
# Usage: compositor_note.sh BUILD_DIR
set -u
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=lib.sh
. "$here/lib.sh"
gui_compositor=0 gui_begin compositor_note "${1:-}"
note_shown() { probe "CompositingLabel" | grep -q "No compositing manager"; }
note_gone() { probe_is CompositingLabel ""; }

start_quelma /TRAY
xdotool key ctrl+F6
wait_for 50 probe_is window.QUELMA "normal active" || { echo "no settings window" >&2; exit 1; }
check "without a compositor the note is shown" wait_for 50 note_shown
check "whole, nothing of the tab cut off ($(probe clipped))" probe_is clipped ""
xcompmgr >"$work/xcompmgr2.log" 2>&1 &
cm=$!
pids+=($cm)
check "a compositor starts: the note goes" wait_for 50 note_gone
kill "$cm"
check "it stops: the note is back" wait_for 50 note_shown
stop_quelma
gui_result compositor_note
