#!/usr/bin/env bash
# "My desktop icons on fire!" end to end on a virtual X display: a user whose
# desktop is PCManFM with three icons placed by hand (a fixture home), the
# "About" tab's button clicked with the mouse, and then fire must rise from
# those three icons and nowhere else; the drawing window is gone ("Keep in
# front" cleared) and the flame window covers the three icons.
#
# Usage: desktopicons.sh BUILD_DIR. Screenshots are kept in BUILD_DIR/gui-desktopicons/.
set -euo pipefail

build=${1:?usage: desktopicons.sh BUILD_DIR}
here=$(cd "$(dirname "$0")" && pwd)
quelma=$build/app/quelma
out=$build/gui-desktopicons

for tool in Xvfb xcompmgr xdotool xwininfo import convert python3; do
  command -v "$tool" >/dev/null || { echo "desktopicons.sh: SKIPPED ($tool is needed)"; exit 77; }
done
[ -x "$quelma" ] || { echo "desktopicons.sh: $quelma is not built" >&2; exit 1; }
mkdir -p "$out"
rm -rf "${out:?}"/*

work=$(mktemp -d)
# shellcheck source=lib.sh
. "$here/lib.sh"

fail() {
  echo "desktopicons.sh: FAIL: $*" >&2
  [ -s "$work/quelma.log" ] && { echo "--- quelma output:" >&2; cat "$work/quelma.log" >&2; }
  exit 1
}
is_hidden() { ! is_visible "$1"; }

# Finds controls by their frame lines (the style draws tab and button frames
# in one grey): "tab FILE X0 Y0 X1 Y1" prints the centre of the last tab in
# the rectangle (the tab row), "button FILE X0 Y0 X1 Y1" the centre of the
# first push button in it, top to bottom.
locate() {
  python3 - "$@" <<'PY'
import subprocess, sys
kind, path = sys.argv[1], sys.argv[2]
x0, y0, x1, y1 = map(int, sys.argv[3:7])
data = subprocess.run(["convert", path, "-depth", "8", "ppm:-"], check=True, capture_output=True).stdout
head, pos = [], 0
while len(head) < 4:
    while data[pos:pos + 1].isspace(): pos += 1
    start = pos
    while not data[pos:pos + 1].isspace(): pos += 1
    head.append(data[start:pos])
w, px = int(head[1]), data[pos + 1:]
def frame(x, y):
    i = (y * w + x) * 3
    r, g, b = px[i], px[i + 1], px[i + 2]
    return r == g == b and 150 <= r <= 190
if kind == "tab":
    # Vertical frame lines crossing the whole tab row.
    cols = [x for x in range(x0, x1) if all(frame(x, y) for y in range(y0, y1))]
    edges = [c for i, c in enumerate(cols) if i == 0 or c > cols[i - 1] + 2]
    if len(edges) < 2: sys.exit("no tabs found")
    print((edges[-2] + edges[-1]) // 2, (y0 + y1) // 2)
else:
    for y in range(y0, y1):
        run = 0
        for x in range(x0, x1 + 1):
            if x < x1 and frame(x, y):
                run += 1
                continue
            if 60 <= run <= 400:
                print(x - run // 2, y + 10)
                sys.exit(0)
            run = 0
    sys.exit("no button found")
PY
}
# tab_row NAME: a new screenshot NAME shows the settings window's tab row.
tab_row() { screenshot "$1" && locate tab "$out/$1.png" "$sx" $((sy + 40)) $((sx + sw - 10)) $((sy + 48)); }
# about_page NAME: a new screenshot NAME shows the About page (its logo is fire
# coloured, no other page's left half is).
about_page() {
  screenshot "$1" && [ "$(flame_pixels "$1" $((sx + 10)) $((sy + 60)) $((sx + sw / 2)) $((sy + sh - 10)))" -ge 1000 ]
}
# icons_on_fire NAME: a new screenshot NAME shows fire above each icon and
# none elsewhere; the counts are left in the array fire: the three icons, left
# of them, where the start-up art was, below them.
icons_on_fire() {
  screenshot "$1" || return 1
  read -r -a fire < <(flame_pixels "$1" 910 60 938 128 1010 60 1038 128 1110 60 1138 128 \
    0 100 800 440 710 300 1280 700 880 140 1180 300)
  [ "${#fire[@]}" -eq 6 ] && [ "${fire[0]}" -ge 40 ] && [ "${fire[1]}" -ge 40 ] && [ "${fire[2]}" -ge 40 ] &&
    [ $((fire[3] + fire[4])) -le 20 ] && [ "${fire[5]}" -le 20 ]
}

# ---- A fixture home: PCManFM's desktop with three icons placed by hand -------
home=$work/home
mkdir -p "$home/Desktop" "$home/.config/pcmanfm/LXDE" "$home/.config/libfm" "$work/runtime"
chmod 700 "$work/runtime"
for f in Notes.txt Photos "Read me.pdf"; do echo x >"$home/Desktop/$f"; done
cat >"$home/.config/pcmanfm/LXDE/desktop-items-0.conf" <<'CONF'
[Notes.txt]
x=900
y=120

[Photos]
x=1000
y=120

[Read me.pdf]
x=1100
y=120
CONF
printf '[ui]\nbig_icon_size=48\n' >"$home/.config/libfm/libfm.conf"
unset WAYLAND_DISPLAY XDG_SESSION_TYPE QT_QPA_PLATFORM XDG_CONFIG_HOME XDG_DESKTOP_DIR
export HOME=$home XDG_CURRENT_DESKTOP=LXDE XDG_RUNTIME_DIR=$work/runtime

# ---- Display, compositor, program --------------------------------------------
start_xvfb 1280x800x24 "$work" || fail "Xvfb did not start"
xcompmgr >"$work/xcompmgr.log" 2>&1 &
pids+=($!)
wait_for 100 compositor_running || fail "xcompmgr did not start"
"$quelma" >"$work/quelma.log" 2>&1 &
pids+=($!)
wait_for 100 is_visible QUELMA || fail "no settings window"
wait_for 50 is_visible "Mouse input" || fail "no drawing window"
read -r sx sy sw sh < <(steady_geometry "$(window_id QUELMA visible)") || fail "the settings window keeps moving"

# ---- The "About" tab, then the button -----------------------------------------
wait_for 20 tab_row 1-start || true
read -r tx ty < <(locate tab "$out/1-start.png" "$sx" $((sy + 40)) $((sx + sw - 10)) $((sy + 48))) ||
  fail "the tab row was not found"
xdotool mousemove "$tx" "$ty" click 1
wait_for 20 about_page 2-about || fail "the About page is not shown"
read -r bx by < <(locate button "$out/2-about.png" $((sx + 10)) $((sy + 60)) $((sx + sw - 10)) $((sy + sh - 10))) ||
  fail "the button was not found on the About tab"
xdotool mousemove "$bx" "$by" click 1
xdotool mousemove 640 780
wait_for 20 icons_on_fire 3-icons-on-fire || true

# ---- Fire above each icon (centre 24 right of the corner), nowhere else -------
# (icons_on_fire counted them, in the order of the checks below)
i=0
for cx in 924 1024 1124; do
  n=${fire[i]:-0}
  i=$((i + 1))
  [ "$n" -ge 40 ] || fail "only $n flame pixels above the icon at x $cx"
done
# Left of the icons, and right of the settings window where the start-up art was.
elsewhere=$((${fire[3]:-0} + ${fire[4]:-0}))
[ "$elsewhere" -le 20 ] || fail "$elsewhere flame pixels away from the icons (start-up art not replaced?)"
below=${fire[5]:-0}
[ "$below" -le 20 ] || fail "$below flame pixels below the icons"

wait_for 30 is_hidden "Mouse input" || fail "drawing still on after \"Keep in front\" was cleared"
read -r fx fy fw fh < <(geometry "$(window_id PartForm)")
for cx in 924 1024 1124; do
  [ "$fx" -le "$cx" ] && [ $((fx + fw)) -gt "$cx" ] && [ "$fy" -le 125 ] && [ $((fy + fh)) -gt 125 ] ||
    fail "the flame window ($fx $fy $fw $fh) does not cover the icon at x $cx"
done

# ---- A second click places the same fire again ---------------------------------
xdotool mousemove "$bx" "$by" click 1
xdotool mousemove 640 780
# The same fire again shows nothing new to wait for: time to handle the click.
sleep 0.5
wait_for 20 icons_on_fire 4-second-click || true
i=0
for cx in 924 1024 1124; do
  n=${fire[i]:-0}
  i=$((i + 1))
  [ "$n" -ge 40 ] || fail "only $n flame pixels above the icon at x $cx after the second click"
done
[ $((${fire[3]:-0} + ${fire[4]:-0})) -le 20 ] || fail "flame away from the icons after the second click"

echo "desktopicons.sh: ok (screenshots in $out)"
