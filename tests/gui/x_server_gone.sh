#!/usr/bin/env bash
# The X server goes away under the running program, as when the display
# server of a session crashes (SIGKILL) or is shut down (SIGTERM): the program
# ends by itself within a second with status 1 and one clear line on standard
# error, without an abort or a core dump (or a sanitizer report); started in
# the tray, and with the settings window and drawing on. The next start on a
# new display finds no stale instance in its way. (Xvfb, openbox, xcompmgr.)
# Usage: x_server_gone.sh BUILD_DIR
set -u
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=lib.sh
. "$here/lib.sh"
gui_begin x_server_gone "${1:-}"

gone() { ! kill -0 "$quelma_pid" 2>/dev/null; }
round=0
for case in "in the tray, the server killed|KILL|/TRAY" "drawing, the server shut down|TERM|"; do
  IFS='|' read -r what signal args <<<"$case"
  round=$((round + 1))
  echo "== $what"
  if [ "$round" -gt 1 ]; then
    # A new display; the program that ended must not stand in the way.
    gui_session 1280x800x24
    : >"$work/quelma.log"
  fi
  # shellcheck disable=SC2086
  start_quelma $args
  [ -z "$args" ] && check "the drawing window is up" wait_for 100 is_visible "Mouse input"
  kill "-$signal" "$xvfb_pid"
  wait "$xvfb_pid" 2>/dev/null
  check "the program ends within a second" wait_for 10 gone
  wait_for 100 gone
  wait "$quelma_pid" 2>/dev/null
  status=$?
  check "with status 1, not a signal (status $status)" test "$status" -eq 1
  check "its last line on standard error says why ($(tail -n1 "$work/quelma.log"))" \
    grep -q 'lost the connection to the X server' <(tail -n1 "$work/quelma.log")
  check "once" test "$(grep -c 'lost the connection to the X server' "$work/quelma.log")" -eq 1
  check "no fatal error of Xlib's or Qt's after it" \
    sh -c "! grep -q -e 'XIO' -e 'X11 connection broke' -e 'Aborted' '$work/quelma.log'"
done
gui_result x_server_gone
