#!/usr/bin/env bash
# The power fails while a state file is being saved: the program is killed
# (SIGKILL) in the middle of a save of 20000 emitters over an earlier file,
# through the Files tab's Save: as the new file is created beside it, once
# data is written to it, once it is written and closed, and right after it
# took the file's place. Each time the file is the old one, byte for byte, or
# the new one, whole (it loads with all its emitters); never half of either.
# (Xvfb, openbox, xcompmgr; strace.)
# Usage: power_cut.sh BUILD_DIR
set -u
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=lib.sh
. "$here/lib.sh"
gui_require strace
gui_begin power_cut "${1:-}"

art=$work/art
file=$art/big.quelma
mkdir -p "$art"
python3 - "$file" <<'PY'
import random, sys
rng = random.Random(20000)
with open(sys.argv[1], "w") as f:
    f.write('<QUELMA_state Version="1.0.0.0"><Style><Emitters Max_alpha="55" Hue="35" '
            'Saturation="107" Lightness="175" Max_count="20000" Thickness="15" Fat="False" '
            'X_wildness="7" Y_wildness="1" Independent_emitters="False"/></Style><Art><Emitters>')
    for _ in range(20000):
        f.write('<New X="%d" Y="%d" FS="0" AM="256"/>' % (rng.randrange(-600, 600), rng.randrange(-350, 350)))
    f.write('</Emitters></Art></QUELMA_state>')
PY
cp "$file" "$work/old.quelma"

# kill_at CALL: the program is killed (SIGKILL) as it enters that system call
# on its new file beside the old one (strace injects the signal, so the
# moment is exact); "moved": as soon as the new file has taken the old one's
# place (seen by inotify). Runs in the background; its log is $work/kill.log.
kill_at() {
  : >"$work/kill.log"
  if [ "$1" = moved ]; then
    python3 - "$art" big.quelma "$quelma_pid" >"$work/kill.log" 2>&1 <<'PY' &
import ctypes, os, select, signal, struct, sys
folder, name, pid = sys.argv[1], sys.argv[2], int(sys.argv[3])
libc = ctypes.CDLL(None, use_errno=True)
fd = libc.inotify_init()
IN_MOVED_TO = 0x80
if fd < 0 or libc.inotify_add_watch(fd, folder.encode(), IN_MOVED_TO) < 0:
    sys.exit(2)
print("watching", flush=True)
while select.select([fd], [], [], 60)[0]:
    data, at = os.read(fd, 65536), 0
    while at < len(data):
        size = struct.unpack_from("iIII", data, at)[3]
        if data[at + 16:at + 16 + size].rstrip(b"\0").decode() == name:
            os.kill(pid, signal.SIGKILL)
            print("killed once", name, "was in place", flush=True)
            sys.exit(0)
        at += 16 + size
sys.exit(1)
PY
    killer=$!
    pids+=("$killer")
    wait_for 50 grep -q watching "$work/kill.log"
  else
    strace -qq -p "$quelma_pid" -P "$file.tmp$quelma_pid-0" -e trace="$1" -e inject="$1":signal=KILL \
      2>"$work/kill.log" &
    killer=$!
    pids+=("$killer")
    wait_for 50 sh -c "! grep -q '^TracerPid:[[:space:]]*0\$' /proc/$quelma_pid/status"
  fi
}

gone() { ! kill -0 "$quelma_pid" 2>/dev/null; }
# whole_state: the file is a complete state file with all 20000 emitters.
whole_state() {
  python3 - "$file" <<'PY'
import sys, xml.etree.ElementTree as ET
root = ET.parse(sys.argv[1]).getroot()
sys.exit(0 if root.tag == "QUELMA_state" and len(root.findall("./Art/Emitters/New")) == 20000 else 1)
PY
}
old_or_new() { cmp -s "$file" "$work/old.quelma" || whole_state; }

for case in "the new file made, before its first byte|write|old" \
  "all of it written, not yet on the disk|fsync|old" \
  "written and closed, not yet in place|rename,renameat,renameat2|old" \
  "the new file in place|moved|new"; do
  IFS='|' read -r what call expect <<<"$case"
  echo "== killed with $what"
  : >"$work/quelma.log"
  # Twice: the art is read before the style, under the Max count of the
  # start-up style; the second time the file's own one holds.
  start_quelma /TRAY "$file" "$file"
  check "all 20000 emitters loaded" wait_for 300 probe_is emitters 20000
  show_tab Files || exit 1
  kill_at "$call"
  file_dialog_type SaveBtn Save "$file" || { echo "no Save dialog" >&2; exit 1; }
  # The dialog asks before replacing the file.
  wait_for 50 probe_is messagebox.title Save && xdotool key y
  check "killed mid-save" wait_for 300 gone
  wait "$killer"
  check "at that moment ($(tr '\n' ' ' <"$work/kill.log"))" grep -q -e 'killed by SIGKILL' -e 'killed once' "$work/kill.log"
  wait "$quelma_pid" 2>/dev/null
  if [ "$expect" = old ]; then
    check "the file is the old one, byte for byte" cmp -s "$file" "$work/old.quelma"
  else
    check "the file is the new one, whole" whole_state
  fi
  check "old or new, never half" old_or_new
done
gui_result power_cut
