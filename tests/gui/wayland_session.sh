#!/usr/bin/env bash
# The program on a Wayland session, where it runs through XWayland: sway with
# its headless backend and XWayland, a foot terminal as the native Wayland
# window below. The flame must show above the foot window; the note that the
# global hot keys work only while an X11 window has focus must come once on
# standard error and on the System tab; "quelma --toggle-visible" must take
# the flame away and back; and while drawing the flame must show above the
# drawing window.
#
# sway refuses to run as root: run as root, the session runs as a plain user
# (quelma-wl, created once without a home or a login shell) on a copy of the
# program that the user can read.
# Usage: wayland_session.sh BUILD_DIR. Screenshots: BUILD_DIR/gui-wayland_session/.
set -u
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=lib.sh
. "$here/lib.sh"

skip() {
  echo "SKIPPED: $*" >&2
  exit "$gui_skip_code"
}

note_text="global hot keys work only while an X11 window"
foot_colour=1E3C8C # a background no flame pixel has

# ---- The session, as the plain user --------------------------------------------
# session WORK PROGRAM_FOLDER SHOTS
session() {
  work=$1
  quelma=$2/quelma
  out=$3
  gui_require sway Xwayland grim foot convert python3
  mkdir -p "$work/home" "$work/config" "$work/runtime"
  chmod 700 "$work/runtime"
  unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM XDG_SESSION_TYPE
  export HOME=$work/home XDG_CONFIG_HOME=$work/config XDG_RUNTIME_DIR=$work/runtime

  # sway names XWayland's display only to its children: one of them writes it down.
  cat >"$work/sway.conf" <<EOF
output HEADLESS-1 resolution 1280x800
xwayland enable
exec echo "\$DISPLAY" >'$work/display'
EOF
  WLR_BACKENDS=headless WLR_LIBINPUT_NO_DEVICES=1 WLR_RENDERER=pixman \
    sway -c "$work/sway.conf" >"$work/sway.log" 2>&1 &
  pids+=($!)
  if ! wait_for 150 test -s "$work/display"; then
    tail -n 20 "$work/sway.log" >&2
    skip "sway did not start here"
  fi
  DISPLAY=$(cat "$work/display")
  WAYLAND_DISPLAY=$(ls "$XDG_RUNTIME_DIR" | grep -m1 '^wayland-[0-9]*$')
  export DISPLAY WAYLAND_DISPLAY
  [ -n "$DISPLAY" ] && [ -n "$WAYLAND_DISPLAY" ] || skip "sway gave no XWayland display"

  foot -o "colors.background=$foot_colour" sh -c 'sleep 600' >"$work/foot.log" 2>&1 &
  pids+=($!)
  check "the foot window fills the screen" wait_for 100 foot_at 640 300

  # With the settings window: the System tab, shown first, carries the note.
  start_quelma
  check "the System tab says where the hot keys work" \
    wait_for 150 sh -c "grep -q '^HotKeysSessionNote=.*$note_text' '$work/probe'"
  stop_quelma
  check "standard error says it once" note_once
  mv "$work/quelma.log" "$work/quelma-settings.log"

  # Without it: the flame over the foot window.
  start_quelma /TRAY
  check "the flame shows above the foot window" wait_for 150 fire_over_foot shown
  check "the foot window is still around it" foot_at 640 300
  check "standard error says it once" note_once
  if "$quelma" --help 2>/dev/null | grep -q -- '--toggle-visible'; then
    timeout 20 "$quelma" --toggle-visible
    check "quelma --toggle-visible hides the flame" wait_for 100 no_fire_over_foot hidden
    timeout 20 "$quelma" --toggle-visible
    check "and shows it again" wait_for 100 fire_over_foot shown-again
    check "the commands did not repeat the note" note_once
  else
    echo "SKIPPED part: this quelma has no --toggle-visible yet; the remote commands are not tried"
  fi
  stop_quelma
  # Drawing: the drawing window, mapped after the flame, must not cover it.
  start_quelma /TRAY
  wait_for 150 fire_over_foot before-drawing
  alone=$fire_count
  timeout 20 "$quelma" --toggle-drawing
  check "drawing starts" wait_for 100 probe_is shown.drawing 1
  check "the flame shows above the drawing window ($fire_count, $alone without it)" \
    wait_for 100 fire_over_drawing drawing "$alone"
  stop_quelma
  gui_result wayland_session
}

# Screenshots of the whole output (XWayland's root window holds only the X11
# windows). The start-up flame rises from a line 200 pixels below the centre.
shot() { grim "$out/$1.png"; }
fire_over_foot() {
  fire_count=0
  shot "$1" && fire_count=$(flame_pixels "$1" 480 480 800 620) && [ "$fire_count" -ge 2000 ]
}
# fire_over_drawing NAME ALONE: over the drawing window's blue at least half
# the flame pixels there are without it.
fire_over_drawing() {
  shot "$1" && fire_count=$(flame_pixels "$1" 480 480 800 620) && [ "$fire_count" -ge $(($2 / 2)) ]
}
no_fire_over_foot() {
  shot "$1" && fire_count=$(flame_pixels "$1" 480 480 800 620) && [ "$fire_count" -eq 0 ]
}
foot_at() {
  shot foot && [ "$(convert "$out/foot.png" -format "%[hex:p{$1,$2}]" info:)" = "$foot_colour" ]
}
note_once() { [ "$(grep -c "$note_text" "$work/quelma.log")" -eq 1 ]; }

if [ "${1:-}" = --session ]; then
  # The folder is the caller's to remove: its parent is not ours.
  trap 'work=""; gui_cleanup' EXIT
  session "$2" "$3" "$4"
  exit
fi

# ---- Set-up: who runs the session ---------------------------------------------------
build=${1:?usage: wayland_session.sh BUILD_DIR}
build=$(cd "$build" && pwd) || exit 1
[ -x "$build/app/quelma" ] || { echo "wayland_session: $build/app/quelma is not built" >&2; exit 1; }
gui_require sway Xwayland grim foot convert python3
out=$build/gui-wayland_session
mkdir -p "$out"
rm -f "$out"/*.png
work=$(mktemp -d)
if [ "$(id -u)" -ne 0 ]; then
  session "$work" "$build/app" "$out"
  exit
fi

gui_require runuser useradd
user=quelma-wl
if ! id -u "$user" >/dev/null 2>&1; then
  useradd --system --no-create-home --shell /usr/sbin/nologin "$user" 2>"$work/useradd.log" ||
    skip "cannot create the plain user $user: $(cat "$work/useradd.log")"
fi
# The user's own copy of the program with its state files, and of these
# scripts: neither the build nor the source folder need be readable by it.
chmod 755 "$work"
mkdir -p "$work/program" "$work/scripts" "$work/session"
cp -r "$build/app/quelma" "$build/app/Data" "$work/program/" || exit 1
cp "$here/wayland_session.sh" "$here/lib.sh" "$here/shot.py" "$work/scripts/" || exit 1
chmod -R a+rX "$work/program" "$work/scripts"
chown "$user" "$work/session" "$out"
runuser -u "$user" -- bash "$work/scripts/wayland_session.sh" --session "$work/session" \
  "$work/program" "$out"
