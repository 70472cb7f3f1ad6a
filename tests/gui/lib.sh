# Shared by the end-to-end scripts (sourced, not run): the processes a script
# starts, a virtual X display, waiting for a condition, and finding windows.
# A script adds every process it starts in the background to pids; on exit
# they are ended, the last started first, and the folder $work (when set) is
# removed.

pids=()
gui_cleanup() {
  local i
  for ((i = ${#pids[@]} - 1; i >= 0; i--)); do kill "${pids[i]}" 2>/dev/null || true; done
  for ((i = ${#pids[@]} - 1; i >= 0; i--)); do wait "${pids[i]}" 2>/dev/null || true; done
  if [ -n "${work:-}" ]; then rm -rf "$work"; fi
}
trap gui_cleanup EXIT

# wait_for TENTHS COMMAND...: true once COMMAND succeeds, trying for up to
# TENTHS tenths of a second.
wait_for() {
  local tries=$1
  shift
  while ! "$@" >/dev/null 2>&1; do
    tries=$((tries - 1))
    [ "$tries" -gt 0 ] || return 1
    sleep 0.1
  done
}

# start_xvfb GEOMETRY FOLDER: a virtual display on a free number, which Xvfb
# picks and writes to FOLDER/display (its log: FOLDER/xvfb.log). Sets xvfb_pid
# and DISPLAY; false when the display does not come up.
start_xvfb() {
  rm -f "$2/display"
  Xvfb -displayfd 5 -screen 0 "$1" -nolisten tcp 5>"$2/display" 2>"$2/xvfb.log" &
  xvfb_pid=$!
  pids+=("$xvfb_pid")
  wait_for 100 test -s "$2/display" || return 1
  export DISPLAY=":$(head -n1 "$2/display")"
}

# window_id NAME [visible]: the id of a window by exact name; with
# "visible", only while it is mapped.
window_id() {
  if [ "${2:-}" = visible ]; then
    xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -n1
  else
    xdotool search --name "^$1\$" 2>/dev/null | head -n1
  fi
}
is_visible() { [ -n "$(window_id "$1" visible)" ]; }

# geometry ID: "X Y W H" of a window.
geometry() {
  xwininfo -id "$1" | awk '/Absolute upper-left X/{x=$NF} /Absolute upper-left Y/{y=$NF}
                           /Width:/{w=$NF} /Height:/{h=$NF} END{print x, y, w, h}'
}
