#!/usr/bin/env bash
# Started where there is no display to show on: without DISPLAY, and with a
# DISPLAY that no X server answers, the program says so in one line and ends
# with status 1 (not an abort), whatever it was asked to start with.
# Usage: no_display.sh BUILD_DIR
set -u
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=lib.sh
. "$here/lib.sh"
build=$(cd "${1:?usage: no_display.sh BUILD_DIR}" && pwd) || exit 1
quelma=$build/app/quelma
work=$(mktemp -d)
mkdir -p "$work/runtime" "$work/config"
chmod 700 "$work/runtime"
export XDG_RUNTIME_DIR=$work/runtime XDG_CONFIG_HOME=$work/config HOME=$work
unset WAYLAND_DISPLAY XDG_SESSION_TYPE QT_QPA_PLATFORM

# run ENV...: the program with that environment; status in rc, standard
# error in $work/err.
run() {
  env "$@" timeout 20 "$quelma" /TRAY 2>"$work/err" >/dev/null
  rc=$?
}
one_line() { [ "$(wc -l <"$work/err")" -eq 1 ]; }

# A display number nobody serves: the first free one from :90 on.
free=90
while [ -e "/tmp/.X11-unix/X$free" ] || [ -e "/tmp/.X$free-lock" ]; do free=$((free + 1)); done

for case in "no DISPLAY|-u DISPLAY" "a display nobody serves|DISPLAY=:$free"; do
  what=${case%%|*}
  run ${case#*|}
  check "$what: status 1 (rc $rc)" test "$rc" -eq 1
  check "$what: one line ($(head -c 200 "$work/err"))" one_line
  check "$what: it names the display" grep -q '^quelma: .*display' "$work/err"
done
check "no socket is left behind" test -z "$(ls -A "$work/runtime")"
gui_result no_display
