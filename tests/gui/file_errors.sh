#!/usr/bin/env bash
# Errors as a user meets them (Xvfb, openbox, xcompmgr), through the real
# file dialogs of the Files tab: a state file that cannot be read and a
# picture that cannot be imported or has no visible pixel each say so in a
# "Debug" box with a warning icon and the file's name and the reason, and
# leave the art; a GIF keeps its transparency; "Save" under a name without
# the extension writes NAME.quelma; "My desktop icons on fire!" on a desktop
# without icons changes nothing and says so.
# Usage: file_errors.sh BUILD_DIR
set -u
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=lib.sh
. "$here/lib.sh"
gui_begin file_errors "${1:-}"

mkdir -p "$work/home/Desktop" "$work/files"
printf '<QUELMA_state Version="1.0.0.0"><Art><Emitters>\n<New Y="1"/></Emitters></Art></QUELMA_state>' \
  >"$work/files/broken.quelma"
printf 'not a picture' >"$work/files/broken.png"
# A valid picture with no visible pixel, and a GIF whose one transparent pixel
# gives one emitter fewer than its samples.
convert -size 6x4 xc:'rgba(0,0,0,0)' PNG32:"$work/files/clear.png"
convert -size 3x2 xc:red -alpha set -channel A -fx 'i==0&&j==0?0:1' +channel \
  "$work/files/five.gif"

box_shown() { probe_is messagebox.title "$1"; }
box_gone() { [ -z "$(probe messagebox.title)" ]; }
dialog_shown() { xdotool search --onlyvisible --name "$1" >/dev/null 2>&1; }
# choose BUTTON DIALOG_TITLE PATH: a Files tab button, its dialog, a typed path.
choose() {
  click_widget "$1"
  wait_for 50 dialog_shown "$2" || { echo "no dialog \"$2\"" >&2; return 1; }
  sleep 0.3  # the dialog's file name field takes the keys once it has the focus
  xdotool type --delay 5 "$3"
  xdotool key Return
}
close_box() {
  xdotool key Return
  wait_for 30 box_gone
}

start_quelma /TRAY
xdotool key ctrl+F6
wait_for 50 probe_is window.QUELMA "normal active" || { echo "no settings window" >&2; exit 1; }
click_widget tab.Files
wait_for 30 probe_is SheetSelect Files

echo "== a state file that cannot be read"
choose LoadBtn "Load" "$work/files/broken.quelma"
check "a \"Debug\" box" wait_for 50 box_shown Debug
check "says \"Error loading the file.\"" probe_is messagebox.text "Error loading the file."
check "with a warning icon" probe_is messagebox.icon 2
check "names the file" sh -c "grep -q '^messagebox.informative=$work/files/broken.quelma' '$work/probe'"
check "and the reason ($(probe messagebox.informative | sed 's/.*\\n//'))" \
  sh -c "grep '^messagebox.informative=' '$work/probe' | grep -q 'no \"X\" attribute'"
close_box

echo "== a picture that cannot be imported"
# (A state file that fails half-way keeps what it had read: count from here.)
emitters=$(probe emitters)
choose Button2 "Import" "$work/files/broken.png"
check "a \"Debug\" box" wait_for 50 box_shown Debug
check "says \"Error importing the picture.\"" probe_is messagebox.text "Error importing the picture."
check "with a warning icon" probe_is messagebox.icon 2
check "names the file" sh -c "grep -q '^messagebox.informative=$work/files/broken.png' '$work/probe'"
close_box
check "the art is as it was" wait_for 30 probe_is emitters "$emitters"

echo "== a picture without a visible pixel"
choose Button2 "Import" "$work/files/clear.png"
check "a \"Debug\" box" wait_for 50 box_shown Debug
check "says \"Error importing the picture.\"" probe_is messagebox.text "Error importing the picture."
check "and why" sh -c "grep '^messagebox.informative=' '$work/probe' | grep -q 'no visible pixel'"
close_box
check "the art is as it was" wait_for 30 probe_is emitters "$emitters"

echo "== a GIF with a transparent pixel"
choose Button2 "Import" "$work/files/five.gif"
check "five emitters of six samples" wait_for 50 probe_is emitters 5
check "no box" box_gone

echo "== Save without the extension"
choose SaveBtn "Save" "$work/files/mystyle"
check "NAME.quelma is written" wait_for 50 test -s "$work/files/mystyle.quelma"
check "no box" box_gone

echo "== the version box of debug mode"
click_widget tab.System
wait_for 30 probe_is SheetSelect System
click_widget DebugBox
wait_for 30 probe_is DebugBox 1
click_widget tab.Files
choose LoadBtn "Load" "$(dirname "$quelma")/Data/Neon.quelma"
check "shows the file's version" wait_for 50 probe_is messagebox.text 1.0.0.0
read -r _ _ bw _ < <(geometry "$(window_id Debug visible)")
check "wide enough for its caption ($bw pixels)" test "${bw:-0}" -ge 200
import -window root "$out/version-box.png"
close_box
click_widget tab.System
click_widget DebugBox
wait_for 30 probe_is DebugBox 0

echo "== desktop icons on a desktop without any"
emitters=$(probe emitters)  # Neon's art now
click_widget tab.About
wait_for 30 probe_is SheetSelect About
click_widget DeskIconsBtn
check "the program says no icons were found" \
  wait_for 50 sh -c "grep -q '^messagebox.text=No desktop icons were found' '$work/probe'"
close_box
check "\"Keep in front\" stays set" probe_is WFrontBox 1
check "the art stays" probe_is emitters "$emitters"
stop_quelma
gui_result file_errors
