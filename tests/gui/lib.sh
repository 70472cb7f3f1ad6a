# Shared by the end-to-end scripts (sourced, not run): the processes a script
# starts, a virtual X display, waiting for a condition, and finding windows.
# A script adds every process it starts in the background to pids; on exit
# they are ended, the last started first, and the folder $work (when set) is
# removed.

pids=()
gui_mounts=()
gui_cleanup() {
  local i status=$?
  for ((i = ${#pids[@]} - 1; i >= 0; i--)); do kill "${pids[i]}" 2>/dev/null || true; done
  for ((i = ${#pids[@]} - 1; i >= 0; i--)); do wait "${pids[i]}" 2>/dev/null || true; done
  # A sanitizer report fails the script, whatever its checks said (the
  # leak check runs as the programs end, so only now is all of it written).
  if sanitizer_reported; then
    sanitizer_reports >&2
    status=1
  fi
  # Mounts a script made (read-only folders, small file systems) go first:
  # removing $work must not reach into them, nor stop at them.
  for ((i = ${#gui_mounts[@]} - 1; i >= 0; i--)); do umount "${gui_mounts[i]}" 2>/dev/null || true; done
  if [ -n "${work:-}" ]; then rm -rf "$work"; fi
  rm -rf "$gui_sanitizer_dir"
  exit "$status"
}
trap gui_cleanup EXIT

# Sanitizer builds: every program the script starts (first instances, second
# starts, command senders, test programs) writes its address and leak reports
# into one folder instead of its standard error, which the scripts send to
# different places. The undefined-behaviour runtime that GCC links beside the
# address one ignores log_path: its reports stay on standard error, so the
# logs the script writes under $work and $out are searched as well. The leaks
# of system libraries that are not ours are suppressed by
# tests/sanitizer/lsan.supp. Without the sanitizers all this finds nothing.
gui_sanitizer_dir=$(mktemp -d "${TMPDIR:-/tmp}/quelma-sanitizer.XXXXXX")
: >"$gui_sanitizer_dir/.start" # older than every log of this run
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}log_path=$gui_sanitizer_dir/report"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:+$UBSAN_OPTIONS:}print_stacktrace=1:log_path=$gui_sanitizer_dir/report"
gui_lsan_supp=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)/sanitizer/lsan.supp
case "${LSAN_OPTIONS:-}" in
  *suppressions=*) ;;
  *) export LSAN_OPTIONS="${LSAN_OPTIONS:+$LSAN_OPTIONS:}suppressions=$gui_lsan_supp:print_suppressions=0" ;;
esac
gui_sanitizer_marks='runtime error:|ERROR: (Address|Leak|UndefinedBehavior)Sanitizer'
# The logs written in this run that hold a report (not the scripts and pictures
# a test copies there).
gui_logs_with_reports() {
  local d dirs=()
  for d in "${work:-}" "${out:-}"; do
    [ -n "$d" ] && [ -d "$d" ] && dirs+=("$d")
  done
  [ "${#dirs[@]}" -gt 0 ] || return 0
  find "${dirs[@]}" -type f -newer "$gui_sanitizer_dir/.start" ! -name '*.png' ! -name '*.sh' ! -name '*.py' \
    -exec grep -l -E "$gui_sanitizer_marks" {} + 2>/dev/null
}
# sanitizer_reported: some program has written a report; sanitizer_reports
# prints them all.
sanitizer_reported() {
  [ -n "$(find "$gui_sanitizer_dir" -type f -name 'report*' -size +0 2>/dev/null | head -n1)" ] ||
    [ -n "$(gui_logs_with_reports | head -n1)" ]
}
sanitizer_reports() {
  local f
  for f in "$gui_sanitizer_dir"/report*; do
    [ -s "$f" ] || continue
    echo "--- sanitizer report ${f##*/}:"
    cat "$f"
  done
  while IFS= read -r f; do
    echo "--- sanitizer report in ${f##*/}:"
    grep -E -A 30 "$gui_sanitizer_marks" "$f" | head -n 60
  done < <(gui_logs_with_reports)
}

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

# geometry ID: "X Y W H" of a window ("" for no window: xwininfo would wait
# for a click to pick one).
geometry() {
  [ -n "$1" ] || return 1
  xwininfo -id "$1" | awk '/Absolute upper-left X/{x=$NF} /Absolute upper-left Y/{y=$NF}
                           /Width:/{w=$NF} /Height:/{h=$NF} END{print x, y, w, h}'
}

# steady SAME CMD...: what CMD prints, once it has printed the same thing SAME
# times in a row 0.1 s apart (for up to 10 s); false when it is still
# changing then, or CMD fails or prints nothing.
steady() {
  local need=$1 now last="" same=0 tries=100
  shift
  while [ "$tries" -gt 0 ]; do
    now=$("$@") || return 1
    if [ -n "$now" ] && [ "$now" = "$last" ]; then
      same=$((same + 1))
      [ "$same" -lt "$need" ] || { echo "$now"; return 0; }
    else
      same=0
    fi
    last=$now
    tries=$((tries - 1))
    sleep 0.1
  done
  return 1
}

# steady_geometry ID: "X Y W H" of a window once it has kept it for half a
# second (for up to 10 s).
steady_geometry() { steady 5 geometry "$1"; }

# compositor_running: a compositing manager holds the display's selection for
# it. xcompmgr names a window "xcompmgr" and takes the selection in the same
# batch of requests, so the window stands for the selection.
compositor_running() { [ -n "$(xdotool search --name '^xcompmgr$' 2>/dev/null)" ]; }

# Screenshots in the folder $out: screenshot NAME takes NAME.png;
# flame_pixels NAME X0 Y0 X1 Y1 [X0 Y0 X1 Y1...] counts its flame-coloured
# pixels in each rectangle (on one line). fire_in NAME X0 Y0 X1 Y1 MIN: a new
# screenshot NAME has at least MIN of them there; no_fire_in NAME X0 Y0 X1 Y1:
# none. Both leave the count in fire_count. (Fire takes frames to come and go:
# a script waits for these.)
gui_shot_py=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/shot.py
screenshot() { import -window root "$out/$1.png"; }
flame_pixels() { python3 "$gui_shot_py" flame "$out/$1.png" "${@:2}"; }
fire_in() {
  fire_count=0
  screenshot "$1" && fire_count=$(flame_pixels "$1" "$2" "$3" "$4" "$5") && [ "$fire_count" -ge "$6" ]
}
no_fire_in() { fire_in "$@" 0 && [ "$fire_count" -eq 0 ]; }

# ---- Shared by the desktop scenarios -------------------------------------------

# Exit status by which ctest reports a script skipped (SKIP_RETURN_CODE).
gui_skip_code=77

# gui_require TOOL...: reports the script skipped when a tool is missing.
gui_require() {
  local t
  for t in "$@"; do
    if ! command -v "$t" >/dev/null 2>&1; then
      echo "SKIPPED: $t is not installed" >&2
      exit "$gui_skip_code"
    fi
  done
}

# gui_session GEOMETRY: a virtual display with openbox and xcompmgr, as a user
# has it; a private user (settings, runtime folder) under $work. Needs $work.
# With gui_compositor=0 no compositing manager is started, with gui_wm=0 no
# window manager (start_openbox starts it later).
gui_session() {
  gui_require Xvfb xdotool xwininfo xprop xev openbox xcompmgr import convert
  mkdir -p "$work/config" "$work/runtime" "$work/home"
  chmod 700 "$work/runtime"
  unset WAYLAND_DISPLAY XDG_SESSION_TYPE
  export QT_QPA_PLATFORM=xcb HOME="$work/home" XDG_CONFIG_HOME="$work/config" \
    XDG_RUNTIME_DIR="$work/runtime"
  start_xvfb "$1" "$work" || { echo "Xvfb did not start" >&2; exit 1; }
  [ "${gui_compositor:-1}" = 1 ] && start_compositor
  if [ "${gui_wm:-1}" = 1 ]; then
    start_openbox || { echo "openbox did not start" >&2; exit 1; }
  fi
}
# start_compositor: xcompmgr, its pid in xcompmgr_pid.
start_compositor() {
  xcompmgr >>"$work/xcompmgr.log" 2>&1 &
  xcompmgr_pid=$!
  pids+=($!)
}
start_openbox() {
  openbox >>"$work/openbox.log" 2>&1 &
  openbox_pid=$!
  pids+=($!)
  wait_for 100 wm_running
}
wm_running() { xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; }

# start_quelma ARGS...: starts the program with the test readout in
# $work/probe; sets quelma_pid. stop_quelma ends it as a session end does.
start_quelma() {
  rm -f "$work/probe"
  QUELMA_TEST_PROBE="$work/probe" "$quelma" "$@" >>"$work/quelma.log" 2>&1 &
  quelma_pid=$!
  pids+=($quelma_pid)
  wait_for 100 test -s "$work/probe" || { echo "quelma did not start" >&2; cat "$work/quelma.log" >&2; exit 1; }
}
stop_quelma() {
  kill -TERM "$quelma_pid" 2>/dev/null || true
  wait_for 100 sh -c "! kill -0 $quelma_pid 2>/dev/null"
  wait "$quelma_pid" 2>/dev/null || true
}

# probe NAME: a value of the program's readout (TestProbe.h); probe_is NAME
# VALUE: true when it has that value; probe_has NAME: when it has one.
probe() { sed -n "s/^$1=//p" "$work/probe" 2>/dev/null | head -n1; }
probe_is() { [ "$(probe "$1")" = "$2" ]; }
probe_has() { [ -n "$(probe "$1")" ]; }

# A window that counts the clicks it gets: click_target NAME X Y W H starts it
# (an xev window; its log is $work/NAME.xev); clicks_on NAME counts them.
click_target() {
  : >"$work/$1.xev"
  xev -name "$1" -geometry "${4}x${5}+${2}+${3}" -event button >"$work/$1.xev" 2>&1 &
  pids+=($!)
  wait_for 100 is_visible "$1"
}
clicks_on() { grep -c '^ButtonPress' "$work/$1.xev" 2>/dev/null || true; }

# Checks that go on after a failure: check DESCRIPTION COMMAND...; the script
# ends with gui_result.
gui_failures=0
check() {
  if "${@:2}"; then echo "ok   $1"; else echo "FAIL $1"; gui_failures=$((gui_failures + 1)); fi
}
gui_result() {
  echo "$1: $gui_failures failure(s)"
  if [ "$gui_failures" -ne 0 ] && [ -s "$work/quelma.log" ]; then
    echo "--- quelma output:"
    tail -n 40 "$work/quelma.log"
  fi
  [ "$gui_failures" -eq 0 ]
}

# top_order: the shown top-level windows from the top of the stack down, one
# name per line (frames of a window manager resolved to their client's name).
top_order() {
  local id name viewable
  # One query for which of the root's children are viewable (decimal ids).
  viewable=" $(xdotool search --maxdepth 1 --onlyvisible --name '' 2>/dev/null | tr '\n' ' ') "
  for id in $(xwininfo -root -children | awk '/^ +0x/{print $1}'); do
    [[ "$viewable" == *" $((id)) "* ]] || continue
    name=$(xwininfo -id "$id" -tree 2>/dev/null | awk -F'"' '/^ +0x/ && NF>2 {print $2; exit}')
    [ -n "$name" ] || name=$(xwininfo -id "$id" | awk -F'"' 'NR<=3 && NF>2 {print $2; exit}')
    [ -n "$name" ] && echo "$name"
  done
}
# above A B: window A is stacked above window B.
above() {
  local order
  order=$(top_order)
  local a b
  a=$(echo "$order" | grep -nx -- "$1" | head -n1 | cut -d: -f1)
  b=$(echo "$order" | grep -nx -- "$2" | head -n1 | cut -d: -f1)
  [ -n "$a" ] && [ -n "$b" ] && [ "$a" -lt "$b" ]
}

# click_widget NAME [BUTTON]: clicks the centre of a shown, named widget of
# the program (its place comes from the readout).
click_widget() {
  local at
  wait_for 50 probe_has "pos.$1" || { echo "no widget $1 shown" >&2; return 1; }
  # Where it stays: a window just shown may still be placed by the window
  # manager and then moved whole onto a screen.
  at=$(steady 2 probe "pos.$1") || { echo "widget $1 does not stay in place" >&2; return 1; }
  # shellcheck disable=SC2086
  xdotool mousemove -- $at click "${2:-1}"
}

# gui_begin NAME BUILD_DIR [GEOMETRY]: the start of a desktop scenario: sets
# build, quelma (the program), work (a private folder) and out (an emptied
# folder for screenshots, BUILD_DIR/gui-NAME), and starts the session
# (gui_session) on a 1280x800 display unless told otherwise.
gui_begin() {
  build=${2:?usage: $1.sh BUILD_DIR}
  build=$(cd "$build" && pwd) || exit 1
  quelma=$build/app/quelma
  [ -x "$quelma" ] || { echo "$1: $quelma is not built" >&2; exit 1; }
  work=$(mktemp -d)
  out=$build/gui-$1
  mkdir -p "$out"
  rm -f "$out"/*.png
  gui_session "${3:-1280x800x24}"
}

# ---- A desktop that changes under the program -------------------------------------

# frame_rect ID: "X0 Y0 X1 Y1" of a window with the window manager's frame
# around it (_NET_FRAME_EXTENTS; no frame without a window manager).
frame_rect() {
  local x y w h l=0 r=0 t=0 b=0 ext
  read -r x y w h <<<"$(geometry "$1")"
  [ -n "$h" ] || return 1
  ext=$(xprop -id "$1" _NET_FRAME_EXTENTS 2>/dev/null | sed -n 's/.*= *//p' | tr -d ' ')
  [ -n "$ext" ] && IFS=, read -r l r t b <<<"$ext"
  echo "$((x - l)) $((y - t)) $((x + w + r)) $((y + h + b))"
}
# monitor_rects: "X0 Y0 X1 Y1" of each RandR monitor, one a line.
monitor_rects() {
  xrandr --listmonitors 2>/dev/null |
    awk 'NR > 1 { split($3, a, "[/x+]"); print a[5], a[6], a[5] + a[1], a[6] + a[3] }'
}
# on_one_monitor X0 Y0 X1 Y1: the rectangle lies wholly on one monitor.
on_one_monitor() {
  local m0 n0 m1 n1
  while read -r m0 n0 m1 n1; do
    [ "$1" -ge "$m0" ] && [ "$2" -ge "$n0" ] && [ "$3" -le "$m1" ] && [ "$4" -le "$n1" ] && return 0
  done < <(monitor_rects)
  return 1
}

# make_readonly DIR: DIR refuses every write until make_writable DIR. Root
# writes whatever the modes say, so there it is a read-only bind mount; false
# when neither can be had.
make_readonly() {
  if [ "$(id -u)" -ne 0 ]; then
    chmod a-w "$1"
    return
  fi
  mount --bind "$1" "$1" 2>/dev/null || return 1
  gui_mounts+=("$1")
  mount -o remount,bind,ro "$1" 2>/dev/null || { umount "$1"; return 1; }
}
make_writable() {
  if [ "$(id -u)" -ne 0 ]; then
    chmod u+w "$1"
  else
    umount "$1" 2>/dev/null || true
  fi
}

# full_filesystem DIR [FILE NAME]: a file system of a few kilobytes at DIR (a
# tmpfs), filled up once FILE is copied into it as NAME; false where nothing
# can be mounted.
full_filesystem() {
  mkdir -p "$1"
  mount -t tmpfs -o size=16k,mode=0777 tmpfs "$1" 2>/dev/null || return 1
  gui_mounts+=("$1")
  [ -z "${2:-}" ] || cp "$2" "$1/$3" || return 1
  dd if=/dev/zero of="$1/filler" bs=1k count=64 2>/dev/null
  true
}

# settings_up: the settings window is shown, not minimised. show_tab NAME: it
# is shown as a second start asks, at the tab NAME; false when it is not.
settings_up() { case "$(probe window.QUELMA)" in normal*) return 0 ;; esac; return 1; }
show_tab() {
  "$quelma" --show-settings
  wait_for 50 settings_up || { echo "no settings window" >&2; return 1; }
  click_widget "tab.$1"
  wait_for 30 probe_is SheetSelect "$1" || { echo "no $1 tab: $(grep '^SheetSelect' "$work/probe")" >&2; return 1; }
}

# file_dialog_type BUTTON TITLE PATH: a button that opens a file dialog (of
# the Files tab), the dialog, a typed path and Return; false when the dialog
# did not open.
file_dialog_type() {
  click_widget "$1" || return 1
  wait_for 50 probe_has "window.$2" || return 1
  # The file name field takes the keys once it has the focus.
  wait_for 30 probe_is focus fileNameEdit
  xdotool type --delay 5 "$3"
  xdotool key Return
}
