#!/usr/bin/env bash
# The program stopped (SIGSTOP, as a debugger or a suspended session does) for
# ten seconds, then continued: it animates on from where it was without
# catching up on the frames it missed: the emitters step at most one frame's
# worth more than the frames run (the readout's "steps" and "ticks"; the
# four hundred steps missed are not made up for). A command sent while it was
# stopped is answered once it goes on. (Xvfb, openbox, xcompmgr.)
# Usage: stopped.sh BUILD_DIR [SECONDS]
set -u
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=lib.sh
. "$here/lib.sh"
gui_begin stopped "${1:-}"
stop_seconds=${2:-10}

ticks_beyond() { [ "$(probe ticks)" -ge "$1" ]; }
# lag: steps made beyond one a frame so far.
lag() { echo $(($(probe steps) - $(probe ticks))); }

start_quelma /TRAY
check "the flame runs" wait_for 100 ticks_beyond 20
wait_for 20 ticks_beyond $(($(probe ticks) + 1))
lag_before=$(lag)
ticks_before=$(probe ticks)

kill -STOP "$quelma_pid"
"$quelma" --toggle-visible >"$work/command.log" 2>&1 &
command_pid=$!
pids+=("$command_pid")
# The stop itself lasts this long (no condition to wait for: the program is
# stopped).
sleep "$stop_seconds"
check "the command waits for the stopped program" kill -0 "$command_pid"
kill -CONT "$quelma_pid"

# Read right after the first frames (the readout is rewritten ten times a
# second); a frame late now and then under load adds a step or two.
check "frames run again" wait_for 100 ticks_beyond $((ticks_before + 2))
lag_after=$(lag)
check "no catch-up: $((lag_after - lag_before)) steps beyond the frames run over the stop" \
  test $((lag_after - lag_before)) -le 5
check "and on" wait_for 100 ticks_beyond $((ticks_before + 10))
check "the command is answered" wait_for 100 sh -c "! kill -0 $command_pid"
wait "$command_pid"
status=$?
check "with status 0 (status $status)" test "$status" -eq 0
check "and carried out" wait_for 30 probe_is DisplayBox 0
check "the program lives" kill -0 "$quelma_pid"
stop_quelma
gui_result stopped
