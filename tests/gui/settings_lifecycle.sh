#!/usr/bin/env bash
# The program as a user meets it on an X server (Xvfb, no window manager):
#  - "/TRAY" (any case) shows no settings window; Ctrl+F6 sent with xdotool
#    shows and hides it, Ctrl+F7 hides and shows the flame window;
#  - a second start hands its first argument (a relative path, made absolute
#    in the second start's folder) to the running instance, which loads it
#    (here: a damaged state file, so the "Debug" box proves the load), and
#    ends, with status 1 since the file could not be read; without arguments
#    it just ends;
#  - the settings window moved to (100, 50) is there again after a restart
#    (the preferences are written at the orderly end, here SIGTERM).
# Usage: settings_lifecycle.sh <build folder>
set -u
build=${1:?usage: settings_lifecycle.sh <build folder>}
prog="$build/app/quelma"
out="$build/gui-settings"
mkdir -p "$out"
rm -f "$out/first.log" "$out/second.log" # appended to by the starts of this run

if ! command -v Xvfb >/dev/null || ! command -v xdotool >/dev/null; then
  echo "settings_lifecycle: SKIPPED (Xvfb and xdotool are needed)"
  exit 77
fi
[ -x "$prog" ] || { echo "settings_lifecycle: $prog not built" >&2; exit 1; }

work=$(mktemp -d)
# shellcheck source=lib.sh
. "$(dirname "$0")/lib.sh"
start_xvfb 1280x720x24 "$out" || { echo "settings_lifecycle: Xvfb did not start" >&2; exit 1; }

# A private user: settings, runtime folder (the instance socket) and folders.
mkdir -p "$work/config" "$work/runtime" "$work/first" "$work/second"
chmod 700 "$work/runtime"
export QT_QPA_PLATFORM=xcb HOME="$work" XDG_CONFIG_HOME="$work/config" \
  XDG_RUNTIME_DIR="$work/runtime"

failures=0
check() {  # check <description> <command...>
  if "${@:2}"; then echo "ok   $1"; else echo "FAIL $1"; failures=$((failures + 1)); fi
}
settings_shown() { xdotool search --onlyvisible --name '^QUELMA$' >/dev/null 2>&1; }
settings_hidden() { ! settings_shown; }
visible_count() { xdotool search --onlyvisible --pid "$1" 2>/dev/null | wc -l; }
alive() { kill -0 "$1" 2>/dev/null; }
gone() { ! kill -0 "$1" 2>/dev/null; }

start_first() {  # start_first <args...>; sets $first. Its readout: $work/probe.
  rm -f "$work/probe"
  (cd "$work/first" && QUELMA_TEST_PROBE="$work/probe" exec "$prog" "$@") >>"$out/first.log" 2>&1 &
  first=$!
  pids+=($first)
  wait_for 100 test -S "$work/runtime/quelma.sock"
}
stop_first() {
  kill -TERM "$first" 2>/dev/null
  wait_for 100 gone "$first"
  wait "$first" 2>/dev/null
}

# ---- /TRAY and the global hot keys ---------------------------------------------
echo "== /tray and hot keys"
start_first /tray
check "started in the tray" alive "$first"
# The start is over once the flame window is shown and the readout written.
wait_for 100 is_visible PartForm
wait_for 100 test -s "$work/probe"
check "/tray shows no settings window" settings_hidden
check "/tray shows no settings window (readout)" test -z "$(probe window.QUELMA)"
xdotool key ctrl+F6
check "Ctrl+F6 shows the settings window" wait_for 50 settings_shown
xdotool key ctrl+F6
check "Ctrl+F6 again hides it" wait_for 50 settings_hidden
xdotool key ctrl+F6
wait_for 50 settings_shown
before=$(visible_count "$first")
fewer() { [ "$(visible_count "$first")" -lt "$before" ]; }
as_before() { [ "$(visible_count "$first")" -eq "$before" ]; }
xdotool key ctrl+F7
check "Ctrl+F7 hides the flame window" wait_for 50 fewer
xdotool key ctrl+F7
check "Ctrl+F7 shows it again" wait_for 50 as_before

# ---- Second instance ---------------------------------------------------------------
echo "== second instance"
printf 'not a state file' >"$work/second/broken.quelma"
(cd "$work/second" && timeout 20 "$prog" broken.quelma) >"$out/second.log" 2>&1
rc=$?
check "the second instance ends at once, saying the file was not read (rc $rc)" test "$rc" -eq 1
check "with the reason" grep -q "^quelma: $work/second/broken.quelma: Error loading the file." "$out/second.log"
debug_box() { xdotool search --onlyvisible --name '^Debug$' >/dev/null 2>&1; }
no_debug_box() { ! debug_box; }
check "the first loaded the path of the second's folder" wait_for 50 debug_box
for w in $(xdotool search --name '^Debug$' 2>/dev/null); do xdotool windowclose "$w" 2>/dev/null; done
wait_for 50 no_debug_box
(cd "$work/second" && timeout 20 "$prog") >>"$out/second.log" 2>&1
rc=$?
check "a second start without arguments ends too (rc $rc)" test "$rc" -eq 0
check "the first instance runs on" alive "$first"

# ---- Placement across a restart ------------------------------------------------------
echo "== placement"
w=$(xdotool search --onlyvisible --name '^QUELMA$' | head -n 1)
# The program has taken the move in once a control's place on screen changes.
wait_for 50 probe_has geom.StartOverBtn
before=$(probe geom.StartOverBtn)
xdotool windowmove "$w" 100 50
moved() { [ "$(probe geom.StartOverBtn)" != "$before" ]; }
wait_for 100 moved
stop_first
check "the preferences were written" grep -q '^Left=100$' "$work/config/QUELMA.conf"
grep -A3 'QUELMAMainForm' "$work/config/QUELMA.conf" >"$out/placement.txt" 2>/dev/null
start_first
wait_for 100 settings_shown
w=$(xdotool search --onlyvisible --name '^QUELMA$' | head -n 1)
pos=$(xdotool getwindowgeometry "$w" 2>/dev/null | sed -n 's/.*Position: \([0-9-]*\),\([0-9-]*\).*/\1 \2/p')
check "the settings window is back at 100 50 (at $pos)" test "$pos" = "100 50"
stop_first

echo "settings_lifecycle: $failures failure(s)"
[ "$failures" -eq 0 ]
