#!/usr/bin/env bash
# Commands to the running program from a second process that has no display
# of its own (Xvfb, openbox, xcompmgr): each does what its hot key, tray entry
# or button does and ends with status 0 once done; a state file handed over
# is loaded; an unknown command is refused; --exit ends the program in order.
# With none running a command starts nothing, says so and ends with status 1;
# --help needs no display, and an unknown option ends with status 2.
# Usage: remote_commands.sh BUILD_DIR
set -u
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=lib.sh
. "$here/lib.sh"
gui_begin remote_commands "${1:-}"
gui_require python3 timeout

sock=$XDG_RUNTIME_DIR/quelma.sock
# remote ARGS...: the program started as a command sender, without a display;
# its status in rc, its standard error in $work/remote.err.
remote() {
  env -u DISPLAY timeout 30 "$quelma" "$@" 2>"$work/remote.err"
  rc=$?
}
rc_is() { [ "$rc" -eq "$1" ]; }
said() { grep -q -- "$1" "$work/remote.err"; }
# probe_fresh: waits for the readout to be written again, so it shows the
# state after what was just done.
probe_fresh() {
  local before
  before=$(stat -c %i "$work/probe")
  wait_for 30 sh -c "[ \"\$(stat -c %i '$work/probe')\" != '$before' ]"
}
shown() { probe_has "window.$1"; }
hidden() { ! probe_has "window.$1"; }
emitters_above() { [ "$(probe emitters)" -gt "$1" ]; }
# answer_to BYTES: the answer byte of the running program to one message
# written on the socket (Python bytes syntax), or "none".
answer_to() {
  python3 - "$sock" "$1" <<'PY'
import socket, struct, sys
body = eval(sys.argv[2])
s = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
s.settimeout(10)
s.connect(sys.argv[1])
s.sendall(struct.pack(">I", len(body)) + body)
try:
    a = s.recv(1)
except socket.timeout:
    a = b""
print(a[0] if a else "none")
PY
}

echo "== no display, nothing running"
remote --help >"$work/help.txt"
check "--help works without a display (rc $rc)" rc_is 0
for c in toggle-drawing toggle-visible toggle-settings show-settings start-over exit; do
  check "--help lists --$c" grep -q -- "--$c " "$work/help.txt"
done
remote --rekindle
check "an unknown option ends with status 2 (rc $rc)" rc_is 2
check "and names it" said "rekindle"
remote --toggle-visible
check "a command with none running ends with status 1 (rc $rc)" rc_is 1
check "and says QUELMA is not running" said "QUELMA is not running"
check "and starts nothing" test ! -e "$sock"

echo "== commands"
start_quelma
check "the program listens" wait_for 50 test -S "$sock"
check "starts drawing" wait_for 50 probe_is DrawingBox 1
check "with the start-up art" wait_for 50 emitters_above 0

remote --toggle-drawing
check "--toggle-drawing answers 0 (rc $rc)" rc_is 0
check "and ends drawing" wait_for 30 probe_is DrawingBox 0
check "the drawing window goes" wait_for 30 hidden "Mouse input"
remote --toggle-drawing
check "--toggle-drawing again starts drawing" wait_for 30 probe_is DrawingBox 1
check "the drawing window is back" wait_for 30 shown "Mouse input"

remote --toggle-visible
check "--toggle-visible answers 0 (rc $rc)" rc_is 0
check "and clears Visible" wait_for 30 probe_is DisplayBox 0
check "the flame window goes" wait_for 50 hidden PartForm
remote --toggle-visible
check "--toggle-visible again sets Visible" wait_for 30 probe_is DisplayBox 1
check "the flame window is back" wait_for 50 shown PartForm

remote --toggle-settings
check "--toggle-settings answers 0 (rc $rc)" rc_is 0
check "and hides the settings window" wait_for 30 hidden QUELMA
remote --show-settings
check "--show-settings answers 0 (rc $rc)" rc_is 0
check "and shows it" wait_for 30 shown QUELMA
remote --show-settings
probe_fresh
check "--show-settings again leaves it shown" shown QUELMA
remote --toggle-settings
check "--toggle-settings hides it again" wait_for 30 hidden QUELMA
remote --toggle-settings
check "and shows it again" wait_for 30 shown QUELMA

remote --start-over
check "--start-over answers 0 (rc $rc)" rc_is 0
check "and removes the art" wait_for 30 probe_is emitters 0
timeout 30 "$quelma" "$build/app/Data/Startup.quelma" 2>"$work/remote.err"
rc=$?
check "a state file is handed over (rc $rc)" rc_is 0
check "and loaded" wait_for 50 emitters_above 0

echo "== files named relative to the sender's folder"
remote --start-over
wait_for 30 probe_is emitters 0
mkdir -p "$work/styles"
cp "$build/app/Data/Startup.quelma" "$work/styles/mine.quelma"
printf 'not a state file' >"$work/styles/broken.quelma"
# from_styles ARGS...: the program started in that folder, as a file manager
# or a terminal there would; status in rc.
from_styles() {
  (cd "$work/styles" && timeout 30 "$quelma" "$@" 2>"$work/remote.err")
  rc=$?
}
from_styles mine.quelma
check "a relative name is handed over (rc $rc)" rc_is 0
check "and that file is loaded" wait_for 50 emitters_above 0
from_styles gone.quelma
check "a missing file ends with status 1 (rc $rc)" rc_is 1
check "and says so" said "$work/styles/gone.quelma: no such file"
from_styles broken.quelma
check "a file that cannot be read ends with status 1 (rc $rc)" rc_is 1
check "and says why" said "$work/styles/broken.quelma: Error loading the file."
check "the running program shows it too" wait_for 50 probe_is messagebox.title Debug
xdotool key Return
check "and goes on" wait_for 50 sh -c "! grep -q '^messagebox.title=' '$work/probe'"

check "an unknown command gets the refusal byte" test "$(answer_to 'b"\0rekindle"')" = 2
check "an empty message, as older starts send it, is taken" test "$(answer_to 'b""')" = 1
check "the program runs on" kill -0 "$quelma_pid"

echo "== exit"
rm -f "$work/config/QUELMA.conf"
remote --exit
check "--exit answers 0 (rc $rc)" rc_is 0
gone() { ! kill -0 "$quelma_pid" 2>/dev/null; }
check "the program has ended" wait_for 50 gone
wait "$quelma_pid"
status=$?
check "with status 0 ($status)" test "$status" -eq 0
check "in order: the preferences were written" test -s "$work/config/QUELMA.conf"
check "the socket is gone" test ! -e "$sock"
remote --toggle-visible
check "a command after the end ends with status 1 (rc $rc)" rc_is 1
check "and says QUELMA is not running" said "QUELMA is not running"

gui_result remote_commands
