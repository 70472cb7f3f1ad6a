#!/usr/bin/env bash
# A desktop scaled up, by QT_SCALE_FACTOR=2 or by Xft.dpi: 192: the settings
# window is drawn twice as large and nothing on any of its tabs is cut off,
# while the flame stays in screen pixels, its window where and as large as
# on an unscaled desktop. (Xvfb 1920x1200, openbox, xcompmgr.)
# Usage: high_dpi.sh BUILD_DIR
set -u
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=lib.sh
. "$here/lib.sh"
gui_require xrdb
gui_begin high_dpi "${1:-}" 1920x1200x24

settings_size() { probe geom.SheetSelect | cut -d' ' -f3,4; }
flame_geometry() { steady_geometry "$(window_id PartForm visible)"; }
# every_tab_whole LABEL: on each tab, no control has less room than it needs.
every_tab_whole() {
  local tab
  for tab in Files Emitters Fading Animation System Help About; do
    click_widget "tab.$tab" || return 1
    wait_for 30 probe_is SheetSelect "$tab" || return 1
    check "$1, $tab tab: nothing cut off ($(probe clipped))" wait_for 10 probe_is clipped ""
  done
}
# open_settings: the program started in the tray, its settings window shown.
open_settings() {
  start_quelma /TRAY "$@"
  wait_for 100 is_visible PartForm || return 1
  xdotool key ctrl+F6
  wait_for 50 probe_has geom.SheetSelect
}

echo "== unscaled"
open_settings || { echo "no settings window" >&2; exit 1; }
read -r w1 h1 <<<"$(settings_size)"
flame1=$(flame_geometry)
check "the flame window is placed ($flame1)" test -n "$flame1"
every_tab_whole unscaled
stop_quelma

for how in "QT_SCALE_FACTOR=2" "Xft.dpi: 192"; do
  echo "== $how"
  case $how in
    QT_SCALE_FACTOR=*) export QT_SCALE_FACTOR=2 ;;
    *) echo "$how" | xrdb -merge ;;
  esac
  open_settings || { echo "no settings window" >&2; exit 1; }
  read -r w2 h2 <<<"$(settings_size)"
  check "$how: the tabs are twice as large (${w1}x$h1 -> ${w2}x$h2)" \
    test $((w2 * 10)) -ge $((w1 * 19)) -a $((h2 * 10)) -ge $((h1 * 19))
  check "$how: the flame window is where and as large as unscaled" test "$(flame_geometry)" = "$flame1"
  every_tab_whole "$how"
  screenshot "$(echo "$how" | tr -c 'A-Za-z0-9\n' _)"
  stop_quelma
  unset QT_SCALE_FACTOR
  xrdb -remove 2>/dev/null || true
done
gui_result high_dpi
