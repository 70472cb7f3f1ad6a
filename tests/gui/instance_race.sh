#!/usr/bin/env bash
# Five programs started at the same moment (Xvfb, openbox, xcompmgr): exactly
# one becomes the running instance, the other four hand over to it and end
# with status 0, and the one left answers commands.
# Usage: instance_race.sh BUILD_DIR
set -u
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=lib.sh
. "$here/lib.sh"
gui_begin instance_race "${1:-}"
gui_require timeout

n=5
starts=()
# The gate: each start waits for a line on a fifo, and all lines are written
# at once, so the starts race. The fifo stays open here till the end, so a
# start that comes late still finds its line.
mkfifo "$work/gate"
exec 4<>"$work/gate"
for i in $(seq 1 "$n"); do
  (
    exec 4>&-
    read -r _ <"$work/gate"
    QUELMA_TEST_PROBE="$work/probe$i" exec "$quelma" /TRAY
  ) >"$work/start$i.log" 2>&1 &
  starts+=($!)
  pids+=($!)
done
printf 'go\n%.0s' $(seq 1 "$n") >&4

alive() { kill -0 "$1" 2>/dev/null; }
running() {
  local p c=0
  for p in "${starts[@]}"; do alive "$p" && c=$((c + 1)); done
  echo "$c"
}
one_left() { [ "$(running)" -eq 1 ]; }
check "all but one end" wait_for 600 one_left
survivor=
for i in "${!starts[@]}"; do
  p=${starts[i]}
  if alive "$p"; then
    survivor=$p
    work_probe="$work/probe$((i + 1))"
    continue
  fi
  wait "$p"
  rc=$?
  check "start $((i + 1)) handed over and ended with status 0 (rc $rc)" test "$rc" -eq 0
done
check "exactly one is running ($(running))" test "$(running)" -eq 1
[ -n "$survivor" ] || { gui_result instance_race; exit 1; }
# The instance writes its first readout a moment after it starts.
check "the instance writes a readout" wait_for 300 test -s "$work_probe"
check "only the instance wrote a readout" test "$(ls "$work"/probe? 2>/dev/null | wc -l)" -eq 1

# The one left is the instance: it answers, and --exit ends it.
probe_file_shows() { grep -q "^$1" "$work_probe"; }
env -u DISPLAY timeout 30 "$quelma" --show-settings
rc=$?
check "the instance answers a command (rc $rc)" test "$rc" -eq 0
check "and shows its settings window" wait_for 50 probe_file_shows window.QUELMA=
env -u DISPLAY timeout 30 "$quelma" --exit
rc=$?
check "--exit answers (rc $rc)" test "$rc" -eq 0
check "and the instance has ended" wait_for 50 sh -c "! kill -0 $survivor 2>/dev/null"

for i in $(seq 1 "$n"); do
  if [ -s "$work/start$i.log" ]; then
    echo "--- start $i:"
    cat "$work/start$i.log"
  fi
done
gui_result instance_race
