#!/usr/bin/env bash
# The sliders of the settings window as a user meets them (Xvfb, openbox,
# xcompmgr): the arrow buttons at both ends step by one, a held arrow button
# repeats, and the mouse wheel steps one per notch.
# Usage: sliders.sh BUILD_DIR. Screenshots go to BUILD_DIR/gui-sliders/.
set -u
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=lib.sh
. "$here/lib.sh"
gui_begin sliders "${1:-}"

start_quelma /TRAY
xdotool key ctrl+F6
wait_for 50 probe_is window.QUELMA "normal active" || { echo "no settings window" >&2; exit 1; }
click_widget tab.Emitters
wait_for 30 probe_is SheetSelect Emitters
slider=PSSel
wait_for 30 probe_has "geom.$slider" || { echo "no slider $slider" >&2; exit 1; }
read -r sx sy sw sh <<<"$(probe "geom.$slider")"
start=$(probe "$slider")
echo "slider $slider at $sx $sy ${sw}x$sh, value $start"
import -window root "$out/emitters.png"
value_is() { probe_is "$slider" "$1"; }
more_than() { [ "$(probe "$slider")" -gt "$1" ]; }
decrement="$((sx + 11)) $((sy + sh / 2))"
increment="$((sx + sw - 12)) $((sy + sh / 2))"

# shellcheck disable=SC2086
xdotool mousemove $increment click 1
check "the increment arrow steps up by one" wait_for 30 value_is $((start + 1))
# shellcheck disable=SC2086
xdotool mousemove $decrement click 1
check "the decrement arrow steps down by one" wait_for 30 value_is "$start"

# shellcheck disable=SC2086
xdotool mousemove $increment mousedown 1
check "a held arrow repeats" wait_for 50 more_than $((start + 5))
xdotool mouseup 1
sleep 0.2  # the readout is a tenth of a second behind
held=$(probe "$slider")
sleep 0.4  # after the release no further step may come
check "the repeat stops at the release" value_is "$held"
less_than() { [ "$(probe "$slider")" -lt "$1" ]; }
# shellcheck disable=SC2086
xdotool mousemove $decrement mousedown 1
check "a held decrement arrow repeats back" wait_for 50 less_than "$held"
xdotool mouseup 1
sleep 0.3  # as above: the last step of the repeat reaches the readout
base=$(probe "$slider")

xdotool mousemove $((sx + sw / 2)) $((sy + sh / 2)) click 4
check "a wheel notch forward steps up by one" wait_for 30 value_is $((base + 1))
xdotool click 5 click 5
check "two notches back step down by two" wait_for 30 value_is $((base - 1))
import -window root "$out/after.png"
stop_quelma
gui_result sliders
