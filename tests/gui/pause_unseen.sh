#!/usr/bin/env bash
# The animation stops while nobody can see it and goes on afterwards: while a
# full-screen window is active (an xterm made full screen, as the window
# manager sets it), unless "Pause while a full-screen window is active" is
# cleared, and while the screen saver is on (xset s activate / reset). The
# frames run are read from the program's readout ("ticks"); the preference
# outlives the program. (Xvfb, openbox and xcompmgr.)
# Usage: pause_unseen.sh BUILD_DIR
set -u
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=lib.sh
. "$here/lib.sh"
gui_require xterm wmctrl xset
gui_begin pause_unseen "${1:-}"

ticks() { probe ticks; }
# ticks_run: the frame count grows by at least 10 (for up to 5 s).
ticks_run() {
  local from
  from=$(ticks)
  [ -n "$from" ] || return 1
  wait_for 50 sh -c "[ \"\$(sed -n 's/^ticks=//p' '$work/probe')\" -ge $((from + 10)) ]"
}
# ticks_stopped: the frame count keeps its value for a second (for up to
# 10 s; a running flame adds some 30 a second).
ticks_stopped() { steady 10 ticks >/dev/null; }
flame_shown() { is_visible PartForm; }
flame_hidden() { ! is_visible PartForm; }
active_is() { xprop -root _NET_ACTIVE_WINDOW | grep -qi "$(printf '0x%x' "$1")\$"; }
full_screen() { xprop -id "$1" _NET_WM_STATE | grep -q _NET_WM_STATE_FULLSCREEN; }
# full_screen_term NAME: an xterm that the window manager shows full screen
# and activates; sets term.
full_screen_term() {
  xterm -fullscreen -T "$1" -e sleep 600 >/dev/null 2>&1 &
  term=$!
  pids+=("$term")
  wait_for 100 is_visible "$1" || return 1
  term_id=$(window_id "$1")
  wait_for 50 full_screen "$term_id" && wait_for 50 active_is "$term_id"
}
close_term() {
  kill "$term" 2>/dev/null
  wait "$term" 2>/dev/null
  wait_for 50 sh -c "! xdotool search --name '^$1\$' >/dev/null"
}

start_quelma /TRAY
check "the start-up flame runs" wait_for 100 flame_shown
check "its frames count" ticks_run
check "not paused" probe_is paused 0

echo "== a full-screen window"
check "an xterm is active and full screen" full_screen_term film
check "the program pauses" wait_for 50 probe_is paused 1
check "the flame fades out" wait_for 50 flame_hidden
check "no frame runs" ticks_stopped
screenshot 1-full-screen
wmctrl -r film -b remove,fullscreen
check "out of full screen it goes on" wait_for 50 probe_is paused 0
check "the flame is back" wait_for 50 flame_shown
check "and frames run" ticks_run
wmctrl -r film -b add,fullscreen
check "full screen again: paused" wait_for 50 probe_is paused 1
close_term film
check "the window closed: it goes on" wait_for 50 probe_is paused 0
check "frames run again" ticks_run

echo "== toggles during the pause change what the user asked"
check "full screen again" full_screen_term film3
check "paused" wait_for 50 probe_is paused 1
"$quelma" --toggle-visible
check "the box shows the choice" wait_for 30 probe_is DisplayBox 0
check "the flame stays hidden under it" probe_is shown.flame 0
check "not shown" wait_for 50 flame_hidden
close_term film3
check "out of full screen" wait_for 50 probe_is paused 0
check "the flame stays hidden, as asked meanwhile" steady 10 probe shown.flame >/dev/null
check "hidden" probe_is shown.flame 0
check "and not shown" flame_hidden
"$quelma" --toggle-visible
check "shown again when asked" wait_for 50 flame_shown
check "full screen once more" full_screen_term film4
wait_for 50 probe_is paused 1
"$quelma" --toggle-drawing
check "drawing asked under it: no drawing window yet" steady 5 probe shown.drawing >/dev/null
check "none" sh -c '! xdotool search --onlyvisible --name "^Mouse input\$" >/dev/null'
close_term film4
check "out of full screen the drawing window comes" wait_for 50 is_visible "Mouse input"
"$quelma" --toggle-drawing
check "and goes when asked" wait_for 50 sh -c '! xdotool search --onlyvisible --name "^Mouse input\$" >/dev/null'

echo "== the preference"
xdotool key ctrl+F6
wait_for 50 probe_is window.QUELMA "normal active" || echo "no settings window" >&2
check "the box is set by default" probe_is PauseFullScreenBox 1
click_widget PauseFullScreenBox
check "it can be cleared" wait_for 30 probe_is PauseFullScreenBox 0
xdotool key ctrl+F6
check "a full-screen xterm again" full_screen_term film2
check "with the box clear the program goes on" ticks_run
check "not paused" probe_is paused 0
check "the flame stays" flame_shown
close_term film2

echo "== the screen saver"
xset s activate
check "the saver pauses even with the box clear" wait_for 50 probe_is paused 1
check "no frame runs under the saver" ticks_stopped
xset s reset
check "the saver off: it goes on" wait_for 50 probe_is paused 0
check "frames run after the saver" ticks_run

echo "== the preference outlives the program"
stop_quelma
start_quelma /TRAY
check "cleared after a restart" wait_for 50 probe_is PauseFullScreenBox 0
stop_quelma
gui_result pause_unseen
