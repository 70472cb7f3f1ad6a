#!/usr/bin/env bash
# The monkey: random use of the whole program for SECONDS, as a user could
# use it (Xvfb, openbox, xcompmgr), from a generator seeded with SEED so that
# a failing run can be repeated. It clicks, drags, scrolls and types on every
# control of every tab, draws strokes, presses the hot keys (and changes
# them), minimises and closes the settings window, loads the shipped styles
# and hostile state files, imports good and broken pictures through the file
# dialogs with typed paths, hands files and commands over from second starts,
# and restarts the program with its preferences.
#
# Every few actions it checks that the program lives, answers two commands,
# has written no sanitizer report, and lets a click on a transparent flame
# pixel through to the window below; it samples the program's memory. A
# failure prints the seed and the last 20 actions and ends with status 1.
#
# Usage: monkey.sh SECONDS SEED [BUILD_DIR]
#   Without BUILD_DIR: the sanitizer build ($QUELMA_ASAN_BUILD_DIR, else
#   build-asan/) when there is one, else the normal build ($QUELMA_BUILD_DIR,
#   else build/). Every action goes to BUILD_DIR/gui-monkey/actions.log.
set -u
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
usage="usage: monkey.sh SECONDS SEED [BUILD_DIR]"
seconds=${1:?$usage}
seed=${2:?$usage}
case "$seconds$seed" in *[!0-9]*) echo "$usage (whole numbers)" >&2; exit 2 ;; esac
# shellcheck source=lib.sh
. "$here/lib.sh"

sanitized() { grep -qs '^QUELMA_SANITIZE:BOOL=ON' "$1/CMakeCache.txt"; }
if [ -n "${3:-}" ]; then
  chosen=$3
else
  chosen=""
  for d in "${QUELMA_ASAN_BUILD_DIR:-}" "$root/build-asan"; do
    if [ -n "$d" ] && [ -x "$d/app/quelma" ]; then chosen=$d; break; fi
  done
  if [ -z "$chosen" ]; then
    chosen=${QUELMA_BUILD_DIR:-$root/build}
    echo "monkey: no sanitizer build found (build-asan/): falling back to the normal build"
  fi
fi
if sanitized "$chosen"; then
  echo "monkey: the sanitizer build in $chosen"
else
  echo "monkey: $chosen is not a sanitizer build: memory errors show only when they crash"
fi
gui_require wmctrl python3 timeout
gui_begin monkey "$chosen"
echo "monkey: $seconds seconds, seed $seed"
RANDOM=$seed

# ---- Files a user may come with ---------------------------------------------------

files=$work/files
mkdir -p "$files" "$work/saved" "$work/bin" "$files/folder.quelma"
# The desktop's opener for the help links: notes what it was asked to open.
printf '#!/bin/sh\necho "$@" >>"%s/opened"\n' "$work" >"$work/bin/xdg-open"
chmod +x "$work/bin/xdg-open"
export PATH="$work/bin:$PATH"

python3 - "$files" "$seed" <<'PY'
import os, random, sys
d, rng = sys.argv[1], random.Random(int(sys.argv[2]))
def put(name, data):
    with open(os.path.join(d, name), "wb") as f:
        f.write(data if isinstance(data, bytes) else data.encode())
head = '<QUELMA_state Version="1.0.0.0">'
style = ('<Style><Emitters Max_alpha="200" Hue="10" Saturation="200" Lightness="150" Max_count="20000" '
         'Thickness="30" Fat="True" X_wildness="50" Y_wildness="50" Independent_emitters="True"/>'
         '<Fading Fade_alpha="250" Fade_hue="20" Fade_saturation="256" Fade_lightness="240" '
         'Fade_hue_cycle="10" X_blur="2" Y_blur="2" Y_motion="-2"/>'
         '<Animation FPS="60" Gravity="100" Attraction="-50" Emitter_lifetime="1000" '
         'Emitter_fade_out="200"/></Style>')
# Damaged XML: cut off inside an element.
put("cut.quelma", head + style[:140])
put("empty.quelma", b"")
put("garbage.quelma", bytes(rng.randrange(256) for _ in range(4096)))
# Noise where a picture is expected, from the seed so that a run repeats.
put("noise.jpg", bytes(rng.randrange(256) for _ in range(2048)))
put("utf16.quelma", (head + style + "</QUELMA_state>").encode("utf-16"))
put("wrong-extension.txt", head + style + "</QUELMA_state>")
# Numbers no slider or surface can take.
huge = ['1e308', '-1e308', '99999999999999999999999', 'nan', 'inf', '-inf', '1e-320', '0x7fffffff']
put("huge-numbers.quelma", head + '<Style><Emitters Max_alpha="1e308" Hue="-99999999999" '
    'Max_count="2147483647" Thickness="inf" X_wildness="nan"/><Fading X_blur="1e9" Y_blur="-1e9" '
    'Y_motion="99999"/><Animation FPS="0" Gravity="1e308" Attraction="-1e308" '
    'Emitter_lifetime="-5"/></Style><Art><Emitters>'
    + "".join('<New X="%s" Y="%s" FS="%s" LT="%s" AM="%s" MS="%s" XS="%s" YS="%s" C="%s" A="%s" F="1"/>'
              % tuple(rng.choice(huge) for _ in range(10)) for _ in range(200))
    + '</Emitters></Art></QUELMA_state>')
# Nesting far deeper than any state file has.
put("deep.quelma", head + "<Art>" + "<Emitters>" * 100000 + '<New X="1" Y="1"/>'
    + "</Emitters>" * 100000 + "</Art></QUELMA_state>")
# A thousand emitters of the largest own style.
put("thousand-thick.quelma", head + style + "<Art><Emitters>" + "".join(
    '<New X="%d" Y="%d" FS="%d" AM="256" MS="1000" XS="1000" YS="1000" C="%d" A="256" F="True"/>'
    % (rng.randrange(-600, 600), rng.randrange(-350, 350), rng.randrange(-50, 50), rng.randrange(1 << 24))
    for _ in range(1000)) + "</Emitters></Art></QUELMA_state>")
# More emitters than the largest Max count.
put("flood.quelma", head + style + "<Art><Emitters>" + "".join(
    '<New X="%d" Y="%d" FS="0" AM="200"/>' % (rng.randrange(-640, 640), rng.randrange(-400, 400))
    for _ in range(30000)) + "</Emitters></Art></QUELMA_state>")
# Art far outside every screen.
put("far.quelma", head + style + "<Art><Emitters>" + "".join(
    '<New X="%d" Y="%d" FS="0" AM="256"/>' % (rng.choice([-1, 1]) * 2000000000, rng.randrange(-10**9, 10**9))
    for _ in range(50)) + "</Emitters></Art></QUELMA_state>")
PY
ln -s "$files/does-not-exist.quelma" "$files/dangling.quelma"
states=("$build"/app/Data/*.quelma "$files"/*.quelma "$files/wrong-extension.txt" "$files/missing.quelma")

# Pictures: good ones in each format, and broken ones.
convert -size 160x90 gradient:yellow-red "$files/good.png"
convert -size 120x80 radial-gradient:white-blue "bmp3:$files/good.bmp"
convert -size 90x90 plasma:fractal -seed "$seed" "$files/good.jpg" 2>/dev/null ||
  convert -size 90x90 gradient:green-black "$files/good.jpg"
convert -size 64x40 gradient:white-black "$files/good.tga"
convert -size 1600x1000 gradient:orange-purple "$files/large.png"
head -c 300 "$files/good.png" >"$files/truncated.png"
head -c 200 "$files/good.bmp" >"$files/truncated.bmp"
cp "$files/good.png" "$files/png-named.bmp"
printf 'not a picture' >"$files/text.png"
: >"$files/empty.bmp"
# A BMP header that asks for 60000 x 60000 pixels of 32 bits, without them.
printf 'BM\x36\x00\x00\x00\x00\x00\x00\x00\x36\x00\x00\x00\x28\x00\x00\x00\x60\xea\x00\x00\x60\xea\x00\x00\x01\x00\x20\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00' \
  >"$files/huge-header.bmp"
# GIF with a transparent corner, WebP with alpha, and cut copies of both.
convert -size 80x60 gradient:red-yellow -alpha set -channel A -fx 'i<20&&j<20?0:1' "$files/good.gif"
convert -size 100x70 gradient:yellow-red -alpha set -channel A -fx 'i/w' "$files/alpha.png"
if command -v cwebp >/dev/null; then
  cwebp -quiet -lossless "$files/alpha.png" -o "$files/good.webp"
  head -c 60 "$files/good.webp" >"$files/truncated.webp"
fi
head -c 40 "$files/good.gif" >"$files/truncated.gif"
pictures=("$files"/*.png "$files"/*.bmp "$files"/*.jpg "$files"/*.tga "$files"/*.gif "$files"/*.webp
  "$files/missing.png")

# ---- The program ------------------------------------------------------------------

log=()       # the last 20 actions
actions=0
restarts=0
checks=0
steps=0
declare -A kinds # actions of each kind
through_ok=0
through_hidden=0
through_no_spot=0
peak_rss=0   # kB, over every run of the program
worst_growth=0
rss_bound=0
started_at=0
baseline_rss=0
# The memory of a run is compared with its size once it is warmed up: the
# first check after this many seconds of running.
warmup=20

note() {
  actions=$((actions + 1))
  local line
  line=$(printf '%6d %5ds  %s' "$actions" "$SECONDS" "$*")
  log+=("$line")
  [ "${#log[@]}" -le 20 ] || log=("${log[@]:1}")
  echo "$line" >>"$out/actions.log"
}

fail() {
  echo "monkey: FAILED: $*"
  echo "monkey: seed $seed (repeat with: tests/gui/monkey.sh $seconds $seed $build)"
  echo "monkey: the last ${#log[@]} actions:"
  printf '  %s\n' "${log[@]}"
  if [ -s "$work/quelma.log" ]; then
    echo "--- the program's output (last 40 lines; xdotool's minimise message left out):"
    grep -v '_KDE_WM_CHANGE_STATE' "$work/quelma.log" | tail -n 40
  fi
  cp "$work/quelma.log" "$work/probe" "$out/" 2>/dev/null
  exit 1
}

# rnd N: r := a random number below N. (In this shell: a subshell's RANDOM
# would not move the seeded sequence on.)
rnd() { r=$(((RANDOM << 15 | RANDOM) % $1)); }
# choose WORD...: c := one of the words.
choose() {
  local words=("$@")
  rnd $#
  c=${words[r]}
}

alive() { kill -0 "$quelma_pid" 2>/dev/null; }
gone() { ! alive; }
start_program() {
  rm -f "$work/probe"
  # Where no small file system can be mounted, every save beyond 256 kB fails.
  (
    [ "$full_kind" != ulimit ] || ulimit -f 256
    QUELMA_TEST_PROBE="$work/probe" exec "$quelma" "$@"
  ) >>"$work/quelma.log" 2>&1 &
  quelma_pid=$!
  pids+=("$quelma_pid")
  started_at=$SECONDS
  baseline_rss=0
  # A file given at the start that cannot be read is reported in a box before
  # the readout begins: it is closed as a user would, with Return.
  local boxes=0
  until [ -s "$work/probe" ]; do
    wait_for 600 start_seen || fail "the program did not start (arguments: $*)"
    alive || { wait "$quelma_pid"; fail "the program ended at the start with status $? (arguments: $*)"; }
    [ -s "$work/probe" ] && break
    boxes=$((boxes + 1))
    [ "$boxes" -le 5 ] || fail "boxes at the start do not close (arguments: $*)"
    note "  (a box at the start)"
    xdotool search --onlyvisible --name '^Debug$' windowactivate 2>/dev/null
    xdotool key Return
    wait_for 50 sh -c "test -s '$work/probe' || ! xdotool search --onlyvisible --name '^Debug\$'"
  done
}
start_seen() { test -s "$work/probe" || ! alive || xdotool search --onlyvisible --name '^Debug$' >/dev/null 2>&1; }

# remote ARGS...: a second start without a display; its status in rc.
remote() {
  env -u DISPLAY timeout 60 "$quelma" "$@" >>"$work/remote.log" 2>&1
  rc=$?
}

# probe_fresh: the readout has been written anew since now.
probe_fresh() {
  local before
  before=$(stat -c %i "$work/probe" 2>/dev/null)
  wait_for 50 sh -c "[ \"\$(stat -c %i '$work/probe' 2>/dev/null)\" != '$before' ]"
}
# visible_named SUFFIX: the names of the shown widgets whose name ends so.
visible_named() { sed -n "s/^pos\.\([A-Za-z0-9]*$1\)=.*/\1/p" "$work/probe"; }
# The settings window's state ("normal active", "minimized"...; empty when
# hidden) and its id. Its title is "QUELMA", in debug mode the engine's figures.
settings_title='QUELMA|Emitters: .*'
settings_state() { grep -m1 -E "^window\.($settings_title)=" "$work/probe" 2>/dev/null | sed 's/^[^=]*=//'; }
settings_shown() { case "$(settings_state)" in normal*) return 0 ;; esac; return 1; }
settings_id() { xdotool search --onlyvisible --name "^($settings_title)\$" 2>/dev/null | head -n1; }
drawing_shown() { is_visible "Mouse input"; }
drawing_gone() { ! drawing_shown; }
dialog_open() { grep -q -e '^messagebox\.title=' -e '^window\.Load=' -e '^window\.Save=' \
  -e '^window\.Import bitmap=' "$work/probe" 2>/dev/null; }
# The settings window's place with its frame (the window manager's title bar
# and borders), as "X0 Y0 X1 Y1"; empty when it is hidden.
settings_rect() {
  local x y w h
  settings_shown || return 0
  read -r x y w h <<<"$(probe geom.QUELMAMainForm)"
  [ -n "$h" ] && echo "$((x - 12)) $((y - 40)) $((x + w + 12)) $((y + h + 12))"
}

# settle: closes whatever box or file dialog an action left open, with
# Escape as a user would (the dialog in front first).
settle() {
  local tries=0 title
  while dialog_open; do
    tries=$((tries + 1))
    [ "$tries" -le 8 ] || fail "a dialog stays open: $(grep -e '^messagebox' -e '^window' "$work/probe" | tr '\n' ' ')"
    title=$(probe messagebox.title)
    [ "$tries" -eq 1 ] && [ -n "$title" ] &&
      note "  (box \"$title\": $(probe messagebox.text) $(probe messagebox.informative | sed 's/.*\\n//'))"
    if [ "$tries" -gt 2 ]; then
      # The keyboard went elsewhere (a click on the window below): the
      # dialog is activated from the window manager first.
      for t in "$title" Load Save "Import bitmap"; do
        [ -n "$t" ] && xdotool search --onlyvisible --name "^$t\$" windowactivate 2>/dev/null && break
      done
    fi
    xdotool key Escape
    wait_for 20 sh -c "! grep -q '^messagebox\.title=$title\$' '$work/probe'" || true
    probe_fresh
  done
}

ensure_settings() {
  settings_shown && return 0
  remote --show-settings
  [ "$rc" -eq 0 ] || fail "--show-settings ended with status $rc"
  wait_for 100 settings_shown || fail "--show-settings did not show the settings window ($(settings_state))"
}
goto_tab() {
  probe_is SheetSelect "$1" && return 0
  click_widget "tab.$1" 2>/dev/null
  wait_for 30 probe_is SheetSelect "$1"
}

# The hot key of a slot (0 drawing, 1 visibility, 2 settings) as xdotool
# names it, from the edit that holds it; empty for none.
hotkey_of() {
  local edit t
  edit=$(echo DrawingHotKey DisplayHotKey EditorHotKey | cut -d' ' -f$(($1 + 1)))
  t=$(probe "$edit")
  case "$t" in None | "" | *"#"*) return 0 ;; esac
  t=${t//Ctrl+/ctrl+}
  t=${t//Shift+/shift+}
  t=${t//Alt+/alt+}
  t=${t//Meta+/super+}
  echo "$t"
}

# ---- Actions ------------------------------------------------------------------------

act_tab() {
  ensure_settings
  choose Files Emitters Fading Animation System Help About
  note "tab $c"
  goto_tab "$c"
}

act_slider() {
  ensure_settings
  local sliders x y w h v
  choose Emitters Fading Animation Files
  mapfile -t sliders < <(visible_named Sel)
  if [ "${#sliders[@]}" -eq 0 ]; then
    goto_tab "$c"
    mapfile -t sliders < <(visible_named Sel)
  fi
  [ "${#sliders[@]}" -gt 0 ] || { note "slider: none shown"; return; }
  choose "${sliders[@]}"
  local s=$c
  read -r x y w h <<<"$(probe "geom.$s")"
  [ -n "$h" ] || return
  v=$(probe "$s")
  choose drag arrow hold wheel keys
  case "$c" in
  drag)
    rnd $((w - 30)); local from=$((x + 15 + r))
    rnd $((w - 30)); local to=$((x + 15 + r))
    note "slider $s ($v): drag $from -> $to"
    xdotool mousemove -- "$from" $((y + h / 2)) mousedown 1 mousemove -- $(((from + to) / 2)) $((y + h / 2)) \
      mousemove -- "$to" $((y + h / 2)) mouseup 1
    ;;
  arrow | hold)
    local how=$c
    choose $((x + 11)) $((x + w - 12))
    note "slider $s ($v): $how the arrow at $c"
    if [ "$how" = arrow ]; then
      xdotool mousemove -- "$c" $((y + h / 2)) click 1
    else
      # Held until the value moves (or a second passes), as a user holds it.
      xdotool mousemove -- "$c" $((y + h / 2)) mousedown 1
      wait_for 10 sh -c "[ \"\$(sed -n 's/^$s=//p' '$work/probe')\" != '$v' ]"
      xdotool mouseup 1
    fi
    ;;
  wheel)
    rnd 6; local n=$((r + 1))
    choose 4 5
    note "slider $s ($v): $n wheel notches (button $c)"
    xdotool mousemove -- $((x + w / 2)) $((y + h / 2)) click --repeat "$n" --delay 30 "$c"
    ;;
  keys)
    choose Left Right Up Down Prior Next Home End plus minus
    note "slider $s ($v): click, then key $c"
    xdotool mousemove -- $((x + w / 2)) $((y + h / 2)) click 1 key "$c"
    ;;
  esac
}

act_checkbox() {
  ensure_settings
  local boxes
  mapfile -t boxes < <(visible_named Box)
  if [ "${#boxes[@]}" -eq 0 ]; then
    choose Files Emitters System
    goto_tab "$c"
    mapfile -t boxes < <(visible_named Box)
  fi
  [ "${#boxes[@]}" -gt 0 ] || { note "check box: none shown"; return; }
  choose "${boxes[@]}"
  note "check box $c ($(probe "$c"))"
  click_widget "$c"
}

act_button() {
  ensure_settings
  local buttons=(StartOverBtn ClearFadingBtn CenterArtBtn)
  probe_has pos.DeskIconsBtn && buttons+=(DeskIconsBtn)
  choose "${buttons[@]}"
  note "button $c"
  click_widget "$c"
}

act_link() {
  ensure_settings
  choose Help About
  goto_tab "$c"
  local links
  mapfile -t links < <(sed -n 's/^pos\.\(HelpLink\|AboutLink\|Logo\)=.*/\1/p' "$work/probe")
  [ "${#links[@]}" -gt 0 ] || { note "link: none shown"; return; }
  choose "${links[@]}"
  note "link $c"
  click_widget "$c"
}

act_click_anywhere() {
  ensure_settings
  local x y w h
  read -r x y w h <<<"$(probe geom.SheetSelect)"
  [ -n "$h" ] || return
  rnd "$w"; local px=$((x + r))
  rnd "$h"; local py=$((y + r))
  choose 1 1 1 3
  note "click (button $c) at $px $py on the tabs"
  xdotool mousemove -- "$px" "$py" click "$c"
}

act_hotkey() {
  choose 0 0 1 1 2 2
  local k
  k=$(hotkey_of "$c")
  note "hot key $c (${k:-none})"
  [ -n "$k" ] && xdotool key "$k"
}

act_hotkey_edit() {
  ensure_settings
  goto_tab System || return
  choose DrawingHotKey DisplayHotKey EditorHotKey
  local edit=$c
  choose ctrl+F8 ctrl+F7 ctrl+F6 ctrl+F5 ctrl+F9 ctrl+shift+F10 alt+F11 shift+F12 ctrl+alt+F9 BackSpace Escape
  note "hot key edit $edit ($(probe "$edit")): $c"
  click_widget "$edit"
  wait_for 20 probe_is focus "$edit" && xdotool key "$c"
  # Done: a click beside it, as the edit asks for.
  click_widget tab.System
}

act_stroke() {
  if ! probe_is DrawingBox 1 || ! drawing_shown; then
    choose hotkey command
    if [ "$c" = hotkey ] && [ -n "$(hotkey_of 0)" ]; then
      note "start drawing: hot key $(hotkey_of 0)"
      xdotool key "$(hotkey_of 0)"
    else
      note "start drawing: --toggle-drawing"
      remote --toggle-drawing
    fi
    wait_for 50 drawing_shown || { note "(no drawing window: drawing was on)"; return; }
  fi
  # The stroke starts away from the settings window: a press there is a
  # click on its controls (Exit among them).
  local avoid x y n i moves=()
  avoid=$(settings_rect)
  for i in 1 2 3 4 5 6; do
    rnd 1260; x=$((r + 10))
    rnd 780; y=$((r + 10))
    if [ -n "$avoid" ]; then
      read -r ax0 ay0 ax1 ay1 <<<"$avoid"
      [ "$x" -ge "$ax0" ] && [ "$x" -lt "$ax1" ] && [ "$y" -ge "$ay0" ] && [ "$y" -lt "$ay1" ] && continue
    fi
    break
  done
  rnd 8; n=$((r + 1))
  for ((i = 0; i < n; i++)); do
    rnd 1280; moves+=(mousemove -- "$r")
    rnd 800; moves+=("$r")
  done
  choose left left left left middle right escape
  note "stroke from $x $y through $n points, then $c"
  xdotool mousemove -- "$x" "$y" mousedown 1 "${moves[@]}" mouseup 1
  case "$c" in
  middle) xdotool mousemove -- "$x" "$y" click 2 ;;
  right) xdotool mousemove -- "$x" "$y" click 3 ;;
  escape) xdotool key Escape ;;
  esac
}

act_escape() {
  note "Escape"
  xdotool key Escape
}

act_minimise() {
  local id
  needs_wm minimise || return
  id=$(settings_id)
  [ -n "$id" ] || { note "minimise: settings window hidden"; return; }
  note "minimise the settings window"
  xdotool windowminimize "$id"
}

# drag_settings X Y: drags the settings window by its title bar (just above its
# own area, a third of the way along) so that that point ends at X Y.
drag_settings() {
  local x y w h
  read -r x y w h <<<"$(probe geom.QUELMAMainForm)"
  [ -n "$h" ] || return 1
  xdotool mousemove -- $((x + w / 3)) $((y - 10)) mousedown 1 mousemove -- $(((x + w / 3 + $1) / 2)) \
    $(((y - 10 + $2) / 2)) mousemove -- "$1" "$2" mouseup 1
}

act_move() {
  local id
  needs_wm move || return
  id=$(settings_id)
  [ -n "$id" ] && settings_shown || { note "move: settings window hidden"; return; }
  # Partly off the screen too, as a user may leave it.
  rnd 1100; local to_x=$((r + 20))
  rnd 700; local to_y=$((r + 20))
  note "move the settings window by its title bar to $to_x $to_y"
  drag_settings "$to_x" "$to_y"
}

# on_screen WIDGET: the centre of the widget lies on the 1280x800 screen.
on_screen() {
  local x y
  read -r x y <<<"$(probe "pos.$1")"
  [ -n "$y" ] && [ "$x" -ge 0 ] && [ "$x" -lt 1280 ] && [ "$y" -ge 0 ] && [ "$y" -lt 800 ]
}

act_close() {
  local id
  needs_wm close || return
  id=$(settings_id)
  [ -n "$id" ] || { note "close: settings window hidden"; return; }
  xdotool windowactivate "$id" 2>/dev/null
  if wait_for 20 sh -c "[ \"\$(xdotool getactivewindow)\" = '$id' ]"; then
    note "close the settings window (Alt+F4)"
    xdotool key alt+F4
  else
    note "close: the settings window does not take the focus"
  fi
}

# file_dialog BUTTON TITLE PATH: a button of the Files tab, its dialog, a typed
# path and Return.
file_dialog() {
  needs_wm "$1" || return
  ensure_settings
  goto_tab Files || { note "(no Files tab)"; return; }
  note "$1: \"$2\" dialog, typed ${3#"$work"/}"
  if ! file_dialog_type "$1" "$2" "$3"; then
    note "(no \"$2\" dialog)"
    return
  fi
  # (A path the dialog refuses keeps it open: settle closes it.)
  wait_for 30 sh -c "! grep -q '^window\.$2=' '$work/probe'" || true
}

act_load() {
  choose "${states[@]}"
  file_dialog LoadBtn Load "$c"
}
act_save() {
  rnd 4
  local name=$work/saved/style$r
  [ "$RANDOM" -lt 16384 ] && name=$name.quelma
  file_dialog SaveBtn Save "$name"
}
act_import() {
  choose "${pictures[@]}"
  file_dialog Button2 "Import bitmap" "$c"
}

act_handover() {
  choose "${states[@]}" "$work"/saved/*.quelma
  note "second start with ${c#"$work"/}"
  timeout 60 "$quelma" "$c" >"$work/handover.log" 2>&1
  rc=$?
  cat "$work/handover.log" >>"$work/remote.log"
  # A file the running program cannot load: status 1, and the sender says why.
  if [ "$rc" -eq 1 ] && grep -qF "quelma: $c: " "$work/handover.log"; then
    note "  ($(head -c 200 "$work/handover.log"))"
  elif [ "$rc" -ne 0 ]; then
    fail "a second start with $c ended with status $rc: $(head -c 300 "$work/handover.log")"
  fi
}

act_command() {
  choose --toggle-drawing --toggle-visible --toggle-settings --show-settings --start-over plain
  note "second start: $c"
  if [ "$c" = plain ]; then
    timeout 60 "$quelma" >>"$work/remote.log" 2>&1
    rc=$?
  else
    remote "$c"
  fi
  [ "$rc" -eq 0 ] || fail "a second start ($c) ended with status $rc"
}

# The preferences that a restart must keep.
prefs() {
  local n
  for n in WOEVisibleBox WFrontBox WSolidBox AddBox DrawingHotKey DisplayHotKey EditorHotKey; do
    printf '%s=%s ' "$n" "$(probe "$n")"
  done
}
act_restart() {
  settle
  probe_fresh
  local before how status
  before=$(prefs)
  choose command command button signal
  how=$c
  # Without a window manager no title bar can bring the button back.
  [ "$how" = button ] && [ "$wm" = none ] && ! on_screen ExitBtn && how=command
  case "$how" in
  command)
    note "restart: --exit"
    remote --exit
    [ "$rc" -eq 0 ] || fail "--exit ended with status $rc"
    ;;
  button)
    ensure_settings
    if ! on_screen ExitBtn; then
      # Left partly off the screen by a move: brought back to reach the button.
      note "restart: the Exit button is off the screen; the window is moved back"
      local w
      read -r _ _ w _ <<<"$(probe geom.QUELMAMainForm)"
      drag_settings $((20 + w / 3)) 30
      if ! wait_for 50 on_screen ExitBtn; then
        # The window manager may keep the title bar (a box of the program
        # was open meanwhile, a frame still being made): shown again, the
        # program places the window wholly on a monitor.
        note "  (the title bar did not move it: --show-settings)"
        remote --show-settings
        wait_for 50 on_screen ExitBtn || fail "the settings window did not come back on the screen"
      fi
    fi
    note "restart: the Exit button"
    click_widget ExitBtn || fail "no Exit button"
    ;;
  signal)
    note "restart: the session ends (SIGTERM)"
    kill -TERM "$quelma_pid"
    ;;
  esac
  wait_for 600 gone || fail "the program did not end after the $how"
  wait "$quelma_pid"
  status=$?
  [ "$status" -eq 0 ] || fail "the program ended with status $status after the $how"
  test -s "$conf" || fail "no preferences written at the end"
  if [ "$config_ro" = 1 ]; then
    # They could not be written: said once, the earlier file whole.
    grep -q 'preferences cannot be saved' "$work/quelma.log" ||
      fail "preferences that could not be saved were not reported"
    cmp -s "$conf" "$work/conf.readonly" || fail "preferences that could not be saved changed the file"
  fi
  sanitizer_reported && fail "sanitizer report at the end of a run"
  restarts=$((restarts + 1))
  choose none none tray file
  case "$c" in
  none) start_program ;;
  tray) start_program /TRAY ;;
  file)
    choose "${states[@]}"
    start_program "$c"
    ;;
  esac
  note "started again (${c#"$work"/})"
  local after=""
  for _ in 1 2 3 4 5 6 7 8 9 10; do
    probe_fresh
    after=$(prefs)
    [ "$after" = "$before" ] && break
  done
  if [ "$config_ro" = 1 ]; then
    note "(the preferences were not saved: the configuration folder is read-only)"
  else
    [ "$after" = "$before" ] || fail "the preferences changed over a restart: before $before, after $after"
  fi
}

# ---- The world around the program ------------------------------------------------------
# The desktop changes under the program as real ones do: the window manager
# and the compositor restart or stay away for a while, the tray goes and
# comes, monitors come, go and move, another window goes full screen, the
# screen saver starts, the configuration folder turns read-only and saves go
# to a full disk. After each the program must live, answer, let clicks
# through and keep a shown settings window on a monitor (world_check).

declare -A world  # world actions of each kind
declare -A faults # faults the program lived through, of each kind
wm=running        # or none: the window manager is away until wm_back_at
wm_back_at=0
compositor_back_at=0
config_ro=0       # the configuration folder is read-only until config_back_at
config_back_at=0
conf=$work/config/QUELMA.conf
tray_pid=0
full=$work/full   # the full file system, once made
full_kind=""      # "tmpfs" or "ulimit" (the program runs under a file-size limit)
fault() { faults[$1]=$((${faults[$1]:-0} + 1)); }
# later N: the step at which something done for a while is undone (1 to N
# actions on).
later() { rnd "$1"; echo $((steps + 1 + r)); }

# needs_wm WHAT: true with a window manager; else notes that WHAT waits.
needs_wm() {
  [ "$wm" = running ] && return 0
  note "$1: no window manager now"
  return 1
}

# wholly_shown: the settings window, when shown, lies wholly on one monitor
# with its frame.
settings_frame() { frame_rect "$(settings_id)"; }
wholly_shown() {
  settings_shown || return 0
  local rect
  rect=$(settings_frame) || return 1
  # shellcheck disable=SC2086
  on_one_monitor $rect
}

# world_check KIND: after a world action, the program lives and answers (and
# the rest of health), and a settings window that lay wholly on a monitor
# before still does; after monitor changes one always does.
world_check() {
  if [ "$1" = monitors ] || [ "$was_wholly" = 1 ]; then
    wait_for 50 wholly_shown ||
      fail "after $1 the settings window is not wholly on a monitor (frame $(settings_frame); monitors $(monitor_rects | tr '\n' ','))"
  fi
  health
}

act_wm_restart() {
  if [ "$wm" = none ]; then
    note "wm_restart: openbox started again"
    start_openbox || fail "openbox did not start again"
    wm=running
    return
  fi
  choose replace kill none
  case "$c" in
  replace)
    note "wm_restart: openbox --replace"
    local old=$openbox_pid
    openbox --replace >>"$work/openbox.log" 2>&1 &
    openbox_pid=$!
    pids+=("$openbox_pid")
    wait_for 100 sh -c "! kill -0 $old 2>/dev/null" || fail "the old openbox did not leave"
    wait_for 100 wm_running || fail "openbox --replace did not take over"
    ;;
  kill | none)
    note "wm_restart: openbox killed$([ "$c" = none ] && echo ', none for a while')"
    kill -KILL "$openbox_pid"
    wait "$openbox_pid" 2>/dev/null
    fault wm_gone
    if [ "$c" = kill ]; then
      start_openbox || fail "openbox did not start again"
    else
      wm=none
      wm_back_at=$(later 6)
    fi
    ;;
  esac
}

act_compositor() {
  if kill -0 "$xcompmgr_pid" 2>/dev/null; then
    note "compositor: xcompmgr stopped for a while"
    kill "$xcompmgr_pid"
    wait "$xcompmgr_pid" 2>/dev/null
    fault compositor_gone
    compositor_back_at=$(later 5)
  else
    note "compositor: xcompmgr started"
    start_compositor
    compositor_back_at=0
  fi
}

tray_up() { [ "$tray_pid" -ne 0 ] && kill -0 "$tray_pid" 2>/dev/null; }
act_tray() {
  local want
  if tray_up; then
    note "tray: trayer killed"
    kill -KILL "$tray_pid"
    wait "$tray_pid" 2>/dev/null
    fault tray_gone
    want=0
  else
    note "tray: trayer started"
    trayer --edge top --align right --widthtype request --height 24 --transparent false \
      >>"$work/trayer.log" 2>&1 &
    tray_pid=$!
    pids+=("$tray_pid")
    want=1
  fi
  # (Paused, the program asks the display nothing: it sees the tray later.)
  probe_is paused 1 || wait_for 50 probe_is tray "$want" || fail "the program did not see the tray $([ "$want" = 1 ] && echo come || echo go)"
}
# tray_rect: where trayer's panel is ("" without one): clicks there do not
# reach the window below.
tray_rect() {
  local id
  tray_up || return 0
  id=$(xdotool search --name '^panel$' 2>/dev/null | head -n1)
  [ -n "$id" ] && frame_rect "$id"
}

# Layouts of RandR monitors on the 1280x800 screen ("" for the screen's own).
setmonitor() { xrandr --setmonitor "$1" "$2/$2x$3/$3+$4+$5" "$6" >/dev/null 2>&1; }
act_monitors() {
  choose one wide-left wide-right
  note "monitors: $c"
  xrandr --delmonitor Q1 >/dev/null 2>&1
  xrandr --delmonitor Q2 >/dev/null 2>&1
  case "$c" in
  wide-left)
    setmonitor Q1 800 800 0 0 screen
    setmonitor Q2 480 800 800 0 none
    ;;
  wide-right)
    setmonitor Q1 800 800 480 0 screen
    setmonitor Q2 480 800 0 0 none
    ;;
  esac
  # The screen keeps its size (Xvfb has one mode), so the desktop does too.
  wait_for 50 probe_is desktop "0 0 1280 800" || fail "the desktop is $(probe desktop) after the monitors changed"
}

act_fullscreen() {
  needs_wm fullscreen || return
  note "fullscreen: an xterm full screen and active, then left"
  xterm -fullscreen -T monkey-full -e sleep 600 >/dev/null 2>&1 &
  local term=$!
  pids+=("$term")
  wait_for 100 is_visible monkey-full || fail "no full-screen xterm"
  if probe_is PauseFullScreenBox 1; then
    wait_for 50 probe_is paused 1 || fail "the program did not pause under a full-screen window"
  fi
  choose close leave
  if [ "$c" = close ]; then
    kill "$term"
    wait "$term" 2>/dev/null
  else
    wmctrl -r monkey-full -b remove,fullscreen
    wait_for 50 sh -c '! xprop -id "$(xdotool search --name "^monkey-full$" | head -n1)" _NET_WM_STATE | grep -q FULLSCREEN'
    kill "$term"
    wait "$term" 2>/dev/null
  fi
  wait_for 50 probe_is paused 0 || fail "the program stayed paused after the full-screen window left"
}

act_saver() {
  note "saver: xset s activate, then reset"
  xset s activate
  wait_for 50 probe_is paused 1 || fail "the program did not pause under the screen saver"
  xset s reset
  wait_for 50 probe_is paused 0 || fail "the program stayed paused after the screen saver"
}

# The autostart box: a click writes or removes the entry, or, where it
# cannot, the box shows what the desktop will do.
autostart_file=$work/config/autostart/org.quelma.Quelma.desktop
box_as_entry() {
  local want=0
  [ -e "$autostart_file" ] && want=1
  steady 3 probe AutostartBox >/dev/null && probe_is AutostartBox "$want"
}
act_readonly_config() {
  if [ "$config_ro" = 1 ]; then
    note "readonly_config: the configuration folder writable again"
    make_writable "$work/config"
    config_ro=0
    return
  fi
  if ! make_readonly "$work/config"; then
    note "readonly_config: no folder can be made read-only here"
    return
  fi
  note "readonly_config: the configuration folder read-only for a while"
  config_ro=1
  config_back_at=$(later 8)
  cp "$conf" "$work/conf.readonly" 2>/dev/null || : >"$work/conf.readonly"
  fault config_readonly
  needs_wm "readonly_config: the autostart box" || return
  ensure_settings
  goto_tab System || return
  click_widget AutostartBox
  wait_for 30 box_as_entry || fail "with the folder read-only the autostart box ($(probe AutostartBox)) does not show the entry"
}

# A save of the art over a file on a full disk: it fails and says so, and the
# old file stays whole (or, when it fits after all, the new one is whole).
whole_state_file() {
  python3 -c 'import sys, xml.etree.ElementTree as E; sys.exit(E.parse(sys.argv[1]).getroot().tag != "QUELMA_state")' "$1" 2>/dev/null
}
act_disk_full() {
  needs_wm disk_full || return
  [ -n "$full_kind" ] || { note "disk_full: no full disk here"; return; }
  local old=$full/old.quelma
  cp "$old" "$work/old.before"
  file_dialog SaveBtn Save "$old"
  # The dialog asks before replacing the file.
  if wait_for 30 probe_is messagebox.title Save; then
    xdotool key y
  fi
  if wait_for 100 probe_is messagebox.title Debug; then
    probe_is messagebox.text "Error saving the file." ||
      fail "the failed save said \"$(probe messagebox.text)\""
    note "  (the save failed: $(probe messagebox.informative | sed 's/.*\\n//'))"
    cmp -s "$old" "$work/old.before" || fail "a failed save changed the old file"
    fault save_refused
  else
    whole_state_file "$old" || fail "the save on a full disk left a broken file"
  fi
}

# world_due: what was done for a while is undone when its time comes.
world_due() {
  if [ "$wm" = none ] && [ "$steps" -ge "$wm_back_at" ]; then
    note "openbox started again"
    start_openbox || fail "openbox did not start again"
    wm=running
  fi
  if [ "$compositor_back_at" -ne 0 ] && [ "$steps" -ge "$compositor_back_at" ]; then
    note "xcompmgr started again"
    start_compositor
    compositor_back_at=0
  fi
  if [ "$config_ro" = 1 ] && [ "$steps" -ge "$config_back_at" ]; then
    note "the configuration folder writable again"
    make_writable "$work/config"
    config_ro=0
  fi
}
world_kinds=" wm_restart compositor tray monitors fullscreen saver readonly_config disk_full "

# ---- Checks -------------------------------------------------------------------------

clicked_more() { [ "$(clicks_on target)" -gt "$1" ]; }
# click_through: a click on a transparent pixel of the flame reaches the
# window below (with "Solid" too: only the fire takes clicks then).
click_through() {
  if probe_is DrawingBox 1 || drawing_shown; then
    remote --toggle-drawing
    wait_for 50 drawing_gone || fail "--toggle-drawing did not end drawing"
  fi
  local id fx fy fw fh tx ty tw th avoid at attempt before tried=""
  id=$(window_id PartForm visible)
  if [ -z "$id" ]; then
    through_hidden=$((through_hidden + 1))
    return
  fi
  read -r fx fy fw fh <<<"$(geometry "$id")"
  # Where the window below shows its own area (not its title bar) on screen.
  read -r tx ty tw th <<<"$(geometry "$(window_id target)")"
  [ "$tx" -ge 0 ] || { tw=$((tw + tx)); tx=0; }
  [ "$ty" -ge 0 ] || { th=$((th + ty)); ty=0; }
  avoid="$(settings_rect) $(tray_rect)"
  for attempt in 1 2 3; do
    # The flame's own pixels: their alpha tells transparent from faint fire,
    # which a screenshot cannot (a faint, pale pixel over a pale window).
    # shellcheck disable=SC2086
    at=$(python3 "$gui_shot_py" clear "$id" "$tx" "$ty" \
      $((tx + tw < 1280 ? tx + tw : 1280)) $((ty + th < 800 ? ty + th : 800)) $avoid $tried)
    if [ -z "$at" ]; then
      through_no_spot=$((through_no_spot + 1))
      return
    fi
    before=$(clicks_on target)
    # shellcheck disable=SC2086
    xdotool mousemove -- $at click 1
    if wait_for 30 clicked_more "$before"; then
      through_ok=$((through_ok + 1))
      return
    fi
    # Fire may have risen into the spot meanwhile: another spot, away from it.
    read -r ax ay <<<"$at"
    tried="$tried $((ax - 48)) $((ay - 48)) $((ax + 48)) $((ay + 48))"
  done
  screenshot failed-click
  fail "clicks on transparent flame pixels (last at $at, flame $fx $fy ${fw}x$fh, Solid $(probe WSolidBox)) did not reach the window below"
}

rss_now() { awk '/^VmRSS:/{print $2}' "/proc/$quelma_pid/status" 2>/dev/null; }
health() {
  checks=$((checks + 1))
  alive || { wait "$quelma_pid"; fail "the program has died (status $?)"; }
  sanitizer_reported && fail "sanitizer report"
  settle
  local i
  for i in 1 2; do
    remote --toggle-visible
    [ "$rc" -eq 0 ] || fail "--toggle-visible ended with status $rc: the program does not answer"
  done
  # The check needs the flame: "Visible" is set again when the monkey had
  # cleared it (a command carries out its action before it answers, so the
  # next readout shows the state after both).
  probe_fresh
  if probe_is DisplayBox 0; then
    remote --toggle-visible
    wait_for 30 probe_is DisplayBox 1
  fi
  # ("Visible only when editor visible" may still hide it with the settings window.)
  wait_for 50 is_visible PartForm
  click_through
  sanitizer_reported && fail "sanitizer report"
  local rss
  rss=$(rss_now)
  [ -n "$rss" ] || return 0
  [ "$rss" -gt "$peak_rss" ] && peak_rss=$rss
  if [ "$baseline_rss" -eq 0 ]; then
    [ $((SECONDS - started_at)) -ge "$warmup" ] && baseline_rss=$rss
  elif [ $((rss - baseline_rss)) -gt "$worst_growth" ]; then
    worst_growth=$((rss - baseline_rss))
    [ "$worst_growth" -le "$rss_bound" ] ||
      fail "memory grew from $((baseline_rss / 1024)) MB to $((rss / 1024)) MB within one run"
  fi
  echo "monkey: ${SECONDS}s: $steps actions, $restarts restarts, RSS $((rss / 1024)) MB"
}

# ---- The run -----------------------------------------------------------------------

# Memory may grow within one run by this much before it counts as a leak (kB).
if sanitized "$build"; then
  rss_bound=$((600 * 1024))
else
  rss_bound=$((300 * 1024))
fi

# A window below everything that counts the clicks it gets.
click_target target 0 0 1280 800 || fail "no click target"
wmctrl -i -r "$(window_id target)" -b add,below || fail "the click target does not stay below"
: >"$out/actions.log"

# A full disk for saves: a file system of a few kilobytes holding an old
# state file, else a file-size limit on the program.
if full_filesystem "$full" "$build/app/Data/Neon.quelma" old.quelma; then
  full_kind=tmpfs
else
  full_kind=ulimit
  mkdir -p "$full"
  cp "$build/app/Data/Neon.quelma" "$full/old.quelma"
fi
echo "monkey: saves on a full disk: $full_kind"

start_program
wait_for 100 settings_shown
weighted=()
for a in tab:5 slider:12 checkbox:6 button:3 link:1 click_anywhere:3 hotkey:6 hotkey_edit:1 \
  stroke:8 escape:3 minimise:2 move:2 close:2 load:4 save:1 import:3 handover:3 command:4 restart:1 \
  wm_restart:1 compositor:1 tray:1 monitors:2 fullscreen:1 saver:1 readonly_config:1 disk_full:1; do
  for ((i = 0; i < ${a#*:}; i++)); do weighted+=("${a%:*}"); done
done

end=$((SECONDS + seconds))
while [ "$SECONDS" -lt "$end" ]; do
  world_due
  choose "${weighted[@]}"
  kind=$c # (the action's own choices change c)
  kinds[$kind]=$((${kinds[$kind]:-0} + 1))
  [ "$kind" = restart ] || settle
  was_wholly=0
  wholly_shown && settings_shown && was_wholly=1
  "act_$kind"
  alive || [ "$kind" = restart ] || { wait "$quelma_pid"; fail "the program has died (status $?)"; }
  steps=$((steps + 1))
  if [[ "$world_kinds" == *" $kind "* ]]; then
    world[$kind]=$((${world[$kind]:-0} + 1))
    world_check "$kind"
  elif [ $((steps % 5)) -eq 0 ]; then
    health
  fi
done
health
note "end: --exit"
remote --exit
[ "$rc" -eq 0 ] || fail "--exit ended with status $rc"
wait_for 600 gone || fail "the program did not end after --exit"
wait "$quelma_pid"
status=$?
[ "$status" -eq 0 ] || fail "the program ended with status $status"
sanitizer_reported && fail "sanitizer report at the end"
echo "monkey: passed: $steps actions, $restarts restarts, $checks checks in ${SECONDS}s (seed $seed)"
echo "monkey: actions of each kind:$(for k in "${!kinds[@]}"; do printf ' %s %d' "$k" "${kinds[$k]}"; done)"
total() { local k n=0; for k in "$@"; do n=$((n + k)); done; echo "$n"; }
echo "monkey: world actions: $(total "${world[@]}")$(for k in "${!world[@]}"; do printf ' %s %d' "$k" "${world[$k]}"; done)"
echo "monkey: faults survived: $(total "${faults[@]}")$(for k in "${!faults[@]}"; do printf ' %s %d' "$k" "${faults[$k]}"; done)"
echo "monkey: clicks through the flame: $through_ok passed; none tried with the flame hidden $through_hidden times, without a transparent spot $through_no_spot times"
echo "monkey: peak RSS $((peak_rss / 1024)) MB; largest growth within a run after ${warmup}s: $((worst_growth / 1024)) MB (bound $((rss_bound / 1024)) MB)"
