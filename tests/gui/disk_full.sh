#!/usr/bin/env bash
# Saves that cannot be written whole: over an old state file on a full disk
# (a tmpfs of a few kilobytes), and beyond a file-size limit (ulimit -f, which
# by default ends a process with SIGXFSZ). Each save says so in the "Debug"
# box with the reason, the old file stays byte for byte, and the program goes
# on. (Xvfb, openbox, xcompmgr.)
# Usage: disk_full.sh BUILD_DIR
set -u
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=lib.sh
. "$here/lib.sh"
gui_begin disk_full "${1:-}"

# save_over FILE REASON: the art saved over FILE through the Files tab fails
# with REASON; the file and the program stay.
save_over() {
  cp "$1" "$work/before"
  show_tab Files || exit 1
  file_dialog_type SaveBtn Save "$1" || { echo "no Save dialog" >&2; exit 1; }
  # The dialog asks before replacing the file.
  wait_for 50 probe_is messagebox.title Save && xdotool key y
  check "a \"Debug\" box" wait_for 100 probe_is messagebox.title Debug
  check "says \"Error saving the file.\"" probe_is messagebox.text "Error saving the file."
  check "and why ($(probe messagebox.informative | sed 's/.*\\n//'))" \
    sh -c "grep '^messagebox.informative=' '$work/probe' | grep -q '$2'"
  check "the old file is whole" cmp -s "$1" "$work/before"
  xdotool key Return
  check "the program goes on" "$quelma" --toggle-visible
}

echo "== a full disk"
if full_filesystem "$work/full" "$build/app/Data/Neon.quelma" old.quelma; then
  start_quelma /TRAY
  save_over "$work/full/old.quelma" "No space left on device"
  stop_quelma
else
  echo "(no file system can be mounted here: only the file-size limit)"
fi

echo "== a file-size limit"
mkdir -p "$work/art"
cp "$build/app/Data/Neon.quelma" "$work/art/old.quelma"
# Art of 2000 emitters: some 60 kB saved.
python3 - "$work/art/big.quelma" <<'PY'
import sys
with open(sys.argv[1], "w") as f:
    f.write('<QUELMA_state Version="1.0.0.0"><Art><Emitters>')
    f.write("".join('<New X="%d" Y="%d" FS="0" AM="256"/>' % (i % 400 - 200, i // 400 * 10) for i in range(2000)))
    f.write("</Emitters></Art></QUELMA_state>")
PY
rm -f "$work/probe"
# 16 kB: room for the readout, not for the art.
(
  ulimit -f 16
  QUELMA_TEST_PROBE="$work/probe" exec "$quelma" /TRAY "$work/art/big.quelma"
) >>"$work/quelma.log" 2>&1 &
quelma_pid=$!
pids+=("$quelma_pid")
wait_for 100 test -s "$work/probe" || { echo "quelma did not start" >&2; exit 1; }
wait_for 100 probe_is emitters 2000 || { echo "the art did not load" >&2; exit 1; }
save_over "$work/art/old.quelma" "File too large"
check "alive, not ended by SIGXFSZ" kill -0 "$quelma_pid"
stop_quelma
gui_result disk_full
