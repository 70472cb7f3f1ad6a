#!/usr/bin/env bash
# The help as a user meets it (Xvfb, openbox, xcompmgr): the Help tab shows
# the user manual beside the quick help; the About tab's link and its logo
# bring the manual up there, from its start, the drawing window gone first;
# the Help tab's link opens the manual as a web page in the desktop's
# browser, never a file of the program's developers. The desktop's opener
# (xdg-open) is a stand-in here that notes what it was asked to open.
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
manual_at_start() { probe_is ManualView.top "QUELMA user manual"; }

start_quelma
wait_for 100 is_visible "Mouse input" || { echo "no drawing window" >&2; exit 1; }
wait_for 50 probe_is window.QUELMA "normal active"

click_widget tab.Help
wait_for 30 probe_is SheetSelect Help
check "the Help tab shows the manual" probe_is ManualView "QUELMA user manual"
check "beside the quick help" probe_has pos.HelpMemo
click_widget ManualView
xdotool key Page_Down Page_Down
check "it scrolls" wait_for 30 sh -c "! grep -q '^ManualView.top=QUELMA user manual$' '$work/probe'"
click_widget HelpLink
check "the Help tab's link opens a page" wait_for 50 opened 1
page=$(tail -n1 "$work/opened" 2>/dev/null | sed 's|^file://||')
check "the manual as a web page ($page)" sh -c "case '$page' in *manual.html) grep -q '<title>QUELMA user manual</title>' '$page' ;; *) false ;; esac"
check "no developers' file" sh -c "! grep -q README '$work/opened'"
check "the drawing window went first" wait_for 30 drawing_gone

xdotool key ctrl+F8
wait_for 30 is_visible "Mouse input"
click_widget tab.About
wait_for 30 probe_is SheetSelect About
click_widget AboutLink
check "the About tab's link shows the manual on the Help tab" wait_for 50 probe_is SheetSelect Help
check "from its start" wait_for 30 manual_at_start
check "the drawing window went first" wait_for 30 drawing_gone
click_widget tab.About
wait_for 30 probe_is SheetSelect About
click_widget Logo
check "so does the logo" wait_for 50 probe_is SheetSelect Help
check "and nothing else was opened" opened 1
stop_quelma
gui_result help_links
