#!/usr/bin/env bash
# The hot-key edits of the System tab as a user meets them (Xvfb, openbox,
# xcompmgr). While an edit has the focus the global hot keys are off, so it
# must never trap the keyboard: a click anywhere else takes the focus away
# (and the hot keys work again), coming back to the System tab does not put
# the focus back into an edit, Tab and Shift+Tab move on as everywhere,
# Escape leaves the value as it is without hiding the window, and a key
# without Ctrl or Alt or a combination another hot key holds is refused with
# a note.
# Usage: hotkey_edits.sh BUILD_DIR
set -u
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=lib.sh
. "$here/lib.sh"
gui_begin hotkey_edits "${1:-}"

editing() { case "$(probe focus)" in *HotKey) return 0 ;; esac; return 1; }
not_editing() { ! editing; }
# Shown; the window manager may or may not activate a window a hot key shows.
shown() { case "$(probe window.QUELMA)" in normal*) return 0 ;; esac; return 1; }
hidden() { [ -z "$(probe window.QUELMA)" ]; }
# A point of the System page where no control is: below the check boxes.
empty_spot() {
  local x y w h
  read -r x y w h <<<"$(probe geom.SheetSelect)"
  echo "$((x + 40)) $((y + h - 25))"
}

# focus_edit NAME: clicks into an edit until it has the focus. A window a hot
# key has just shown may still be on its way to the screen for the first
# click, and openbox at times shows it without activating it; then it is
# activated as the user would, from the window manager.
focus_edit() {
  local try
  for try in 1 2 3; do
    # Shown by Ctrl+F6 while the key grab is active, the window can miss its
    # activation (the program never hears of it); showing it again helps.
    if ! wait_for 20 probe_is window.QUELMA "normal active"; then
      xdotool key ctrl+F6
      wait_for 30 sh -c "[ -z \"\$(sed -n 's/^window.QUELMA=//p' '$work/probe')\" ]"
      xdotool key ctrl+F6
      wait_for 30 probe_is window.QUELMA "normal active"
    fi
    click_widget "$1"
    wait_for 20 probe_is focus "$1" && return 0
  done
  return 1
}

start_quelma /TRAY
xdotool key ctrl+F6
wait_for 50 shown || { echo "no settings window" >&2; exit 1; }

echo "== a click elsewhere"
check "a click puts the focus into the edit" focus_edit DrawingHotKey
# shellcheck disable=SC2046
xdotool mousemove $(empty_spot) click 1
check "a click on empty space takes it away" wait_for 30 not_editing
xdotool key ctrl+F6
check "and the hot keys work again" wait_for 30 hidden
xdotool key ctrl+F6
wait_for 50 shown

echo "== another tab and back"
focus_edit EditorHotKey
click_widget tab.Emitters
wait_for 30 probe_is SheetSelect Emitters
click_widget PSSel  # a control of that page takes the focus
wait_for 30 probe_is focus PSSel
click_widget tab.System
wait_for 30 probe_is SheetSelect System
sleep 0.3  # Qt hands the focus back right after the switch
check "coming back to the System tab leaves the edits alone (focus: $(probe focus))" not_editing

echo "== Tab and Shift+Tab"
focus_edit DrawingHotKey
xdotool key Tab
check "Tab moves on to the next edit" wait_for 30 probe_is focus DisplayHotKey
check "and is not taken as a hot key" probe_is DrawingHotKey Ctrl+F8
xdotool key Tab Tab
check "and out of the edits" wait_for 30 not_editing
check "none of them took it" probe_is EditorHotKey Ctrl+F6
xdotool key shift+Tab
check "Shift+Tab comes back" wait_for 30 probe_is focus EditorHotKey
check "and is not taken either" probe_is EditorHotKey Ctrl+F6

echo "== a key without Ctrl or Alt"
xdotool key a
check "is refused with a note" wait_for 30 probe_is HotKeyNote \
  'A cannot be a global hot key: it needs Ctrl or Alt (F1 to F12 may stand alone).'
check "the value stays" probe_is EditorHotKey Ctrl+F6

echo "== Escape"
focus_edit DisplayHotKey
xdotool key Escape
check "Escape leaves the value" probe_is DisplayHotKey Ctrl+F7
check "Escape ends the editing" wait_for 30 not_editing
check "and the window stays" steady 5 probe window.QUELMA >/dev/null
check "shown" shown
xdotool key ctrl+F6
check "the hot keys work after Escape" wait_for 50 hidden
xdotool key ctrl+F6
wait_for 50 shown

echo "== a combination another hot key holds"
check "the edit has the focus" focus_edit DrawingHotKey
xdotool key ctrl+F7
check "the note says why" wait_for 30 probe_is HotKeyNote 'Ctrl+F7 is already used by "Toggle visibility".'
check "the value stays" probe_is DrawingHotKey Ctrl+F8
xdotool key ctrl+shift+d
check "a free combination is taken" wait_for 30 probe_is DrawingHotKey Ctrl+Shift+D
check "and the note goes" wait_for 30 probe_is HotKeyNote ""
focus_edit DisplayHotKey
xdotool key ctrl+shift+d
check "the new one is refused elsewhere too" \
  wait_for 30 probe_is HotKeyNote 'Ctrl+Shift+D is already used by "Toggle drawing".'
# shellcheck disable=SC2046
xdotool mousemove $(empty_spot) click 1
check "the note goes with the focus" wait_for 30 probe_is HotKeyNote ""
xdotool key ctrl+shift+d
check "the new drawing hot key works" wait_for 50 is_visible "Mouse input"
stop_quelma
gui_result hotkey_edits
