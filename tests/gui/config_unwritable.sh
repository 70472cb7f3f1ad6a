#!/usr/bin/env bash
# The user's configuration folder cannot be written (a read-only home, a full
# or remounted disk): the preferences written at the end and the "Start with
# the desktop" entry fail. Each failure is said once on standard error, the
# program goes on (it answers commands and ends with status 0), the earlier
# preferences file stays whole, and the autostart box shows what the desktop
# will do. Once writable again, both work. (Xvfb, openbox, xcompmgr; as root
# the folders are read-only bind mounts.)
# Usage: config_unwritable.sh BUILD_DIR
set -u
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=lib.sh
. "$here/lib.sh"
gui_begin config_unwritable "${1:-}"
conf=$work/config/QUELMA.conf
autostart=$work/config/autostart

said() { grep -c "$1" "$work/quelma.log"; }
ends_with_0() {
  "$quelma" --exit >/dev/null 2>&1
  wait_for 100 sh -c "! kill -0 $quelma_pid 2>/dev/null"
  wait "$quelma_pid"
}

echo "== the preferences"
start_quelma /TRAY
stop_quelma
check "a first run writes the preferences" test -s "$conf"
cp "$conf" "$work/conf.before"
start_quelma /TRAY
show_tab System || exit 1
click_widget WSolidBox
check "a preference changes" wait_for 30 probe_is WSolidBox 1
if ! make_readonly "$work/config"; then
  echo "SKIPPED: no folder can be made read-only here" >&2
  exit "$gui_skip_code"
fi
check "the program answers" "$quelma" --toggle-visible
check "it ends with status 0" ends_with_0
check "it says once that they cannot be saved" test "$(said 'preferences cannot be saved')" -eq 1
check "and names the file" grep -q "preferences cannot be saved: $conf" "$work/quelma.log"
check "the earlier file is whole" cmp -s "$conf" "$work/conf.before"
make_writable "$work/config"
start_quelma /TRAY
check "the next start has the values saved before" wait_for 30 probe_is WSolidBox 0
stop_quelma

echo "== the autostart folder"
: >"$work/quelma.log"
mkdir -p "$autostart"
make_readonly "$autostart" || exit "$gui_skip_code"
start_quelma /TRAY
show_tab System || exit 1
check "the box is clear" wait_for 30 probe_is AutostartBox 0
for attempt in 1 2; do
  click_widget AutostartBox
  check "attempt $attempt: the box shows no entry" steady 5 probe AutostartBox >/dev/null
  check "attempt $attempt: clear" probe_is AutostartBox 0
done
check "it is said once" test "$(said 'Start with the desktop" cannot be changed')" -eq 1
check "naming the entry" grep -q "$autostart/org.quelma.Quelma.desktop" "$work/quelma.log"
check "no entry" test ! -e "$autostart/org.quelma.Quelma.desktop"
check "the program answers" "$quelma" --toggle-visible
make_writable "$autostart"
click_widget AutostartBox
check "writable again: the box is set" wait_for 30 probe_is AutostartBox 1
check "and the entry written" test -s "$autostart/org.quelma.Quelma.desktop"
check "nothing more said" test "$(said 'cannot')" -eq 1
check "it ends with status 0" ends_with_0
gui_result config_unwritable
