#!/usr/bin/env bash
# The links of the Help and About tabs as a user meets them (Xvfb, openbox,
# xcompmgr): the program has no web site, so each link (and the About tab's
# logo) opens the program's own help, README.md, in the desktop's viewer,
# and the drawing window goes first. The desktop's opener (xdg-open) is a
# stand-in here that notes what it was asked to open. Without a help file
# the program says so.
# Usage: help_links.sh BUILD_DIR
set -u
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=lib.sh
. "$here/lib.sh"
gui_begin help_links "${1:-}"

mkdir -p "$work/bin"
cat >"$work/bin/xdg-open" <<OPENER
#!/bin/sh
echo "\$@" >>"$work/opened"
OPENER
chmod +x "$work/bin/xdg-open"
export PATH="$work/bin:$PATH"
opened() { [ "$(wc -l <"$work/opened" 2>/dev/null || echo 0)" -ge "$1" ]; }
drawing_gone() { ! is_visible "Mouse input"; }
help=$(readlink -f "$(dirname "$quelma")/README.md")

start_quelma
wait_for 100 is_visible "Mouse input" || { echo "no drawing window" >&2; exit 1; }
wait_for 50 probe_is window.QUELMA "normal active"

click_widget tab.Help
wait_for 30 probe_is SheetSelect Help
click_widget HelpLink
check "the Help tab's link opens the help" wait_for 50 opened 1
check "it is the program's README ($(tail -n1 "$work/opened" 2>/dev/null))" grep -q "$help" "$work/opened"
check "the drawing window went first" wait_for 30 drawing_gone

xdotool key ctrl+F8
wait_for 30 is_visible "Mouse input"
click_widget tab.About
wait_for 30 probe_is SheetSelect About
click_widget AboutLink
check "the About tab's link opens the help" wait_for 50 opened 2
check "the drawing window went first" wait_for 30 drawing_gone
click_widget Logo
check "so does the logo" wait_for 50 opened 3
stop_quelma

echo "== without a help file"
cp -r "$(dirname "$quelma")/Data" "$work/home/"
cp "$quelma" "$work/home/quelma"
quelma=$work/home/quelma
start_quelma /TRAY
xdotool key ctrl+F6
wait_for 50 probe_is window.QUELMA "normal active"
click_widget tab.About
click_widget AboutLink
check "the program says the help is missing" \
  wait_for 50 sh -c "grep -q '^messagebox.text=The help file (README.md) was not found' '$work/probe'"
check "and opens nothing" opened 3
stop_quelma
gui_result help_links
