#!/usr/bin/env bash
# The strip area of the real program in an X window (Xvfb + openbox): a strip taller than
# the window is seen to its bottom by Page Down and by the wheel, Fit to Window shows it
# whole and is remembered, and the strip's title text shows below it. Screenshots for the
# eye go to SMOKE_SHOTS when it names a folder.
# Usage: run-strip-view.sh PANELWICK_BINARY
set -euo pipefail
bin=$1
# shellcheck source=x-session.sh
. "$(dirname "$0")/x-session.sh"
x_test_begin strip-view
private_home
x_session_start
shots=${SMOKE_SHOTS:-$work/shots}
mkdir -p "$shots"

# One comic, one strip of 800 x 2400: red at the top, blue at the bottom, grey between.
prog="$work/prog"
mkdir -p "$prog/Comics/Tall"
printf 'Tall\thttp://127.0.0.1:9/tall/\r\n' >"$prog/Comics.urls"
printf '[Comics]\r\nTall=1\r\nCurrentComic=Tall\r\n[Updates]\r\nUpdateProgramStart=0\r\n' >"$prog/panelwick.ini"
convert -size 800x2400 xc:'#808080' -fill '#FF0000' -draw 'rectangle 0,0 799,99' \
  -fill '#0000FF' -draw 'rectangle 0,2300 799,2399' "$prog/Comics/Tall/Tall20261205.png"
printf '# words\nTall20261205.png\tRain\tIt has rained for forty days and forty nights, and the forecast says more is on its way.\t\thttps://comics.example/rain\t\n' \
  >"$prog/Comics/Tall/.words"

start_panelwick() {
  "$bin" --program-folder "$prog" >"$work/panelwick.log" 2>&1 &
  app=$!
  pids+=($app)
  wid=""
  for _ in $(seq 300); do
    wid=$(xdotool search --onlyvisible --name '^Panelwick$' 2>/dev/null | head -n 1 || true)
    [ -n "$wid" ] && break
    kill -0 "$app" 2>/dev/null || { wait "$app"; fail "panelwick ended at start ($?)"; }
    sleep 0.1
  done
  [ -n "$wid" ] || fail "no Panelwick window appeared"
  xdotool windowactivate --sync "$wid" 2>/dev/null || xdotool windowfocus --sync "$wid"
}
wait_exit() {
  for _ in $(seq 300); do kill -0 "$app" 2>/dev/null || return 0; sleep 0.1; done
  fail "panelwick did not end"
}
shot() { import -window "$wid" "$work/shot.png"; }
pixels_of() { # COLOUR: how many pixels of the last shot have it
  convert "$work/shot.png" -format %c histogram:info: | awk -v c="$1" 'toupper($0) ~ c {n += $1} END {print n + 0}'
}
dark_pixels() { # text: pixels darker than a quarter of full brightness
  convert "$work/shot.png" -colorspace Gray -threshold 25% -format %c histogram:info: |
    awk '/gray\(0\)|#000000/ {n += $1} END {print n + 0}'
}
# KEYS COLOUR: presses the keys until the shot shows a band of COLOUR (the steps needed
# depend on the window's size); false after 30 presses.
press_until() {
  for _ in $(seq 30); do
    shot
    [ "$(pixels_of "$2")" -gt 20000 ] && return 0
    eval "$1"
    sleep 0.2
  done
  shot
  [ "$(pixels_of "$2")" -gt 20000 ]
}

start_panelwick
press_until : '#FF0000' || fail "the top of the strip is not shown first"
[ "$(pixels_of '#0000FF')" -eq 0 ] || fail "the bottom shows before scrolling"
press_until 'xdotool key --window "$wid" Next' '#0000FF' || fail "Page Down does not reach the bottom of the strip"
cp "$work/shot.png" "$shots/page-down-bottom.png"
press_until 'xdotool key --window "$wid" Prior' '#FF0000' || fail "Page Up does not come back to the top"
# The wheel over the strip.
eval "$(xdotool getwindowgeometry --shell "$wid")"
xdotool mousemove --window "$wid" $((WIDTH / 2)) $((HEIGHT / 2))
press_until 'xdotool click --repeat 4 --delay 20 5' '#0000FF' || fail "the wheel does not reach the bottom of the strip"
cp "$work/shot.png" "$shots/wheel-bottom.png"

# The title text shows below the strip; switched off in the View menu it goes.
shot
with_text=$(dark_pixels)
cp "$work/shot.png" "$shots/title-text.png"
xdotool key --window "$wid" alt+v
sleep 0.5
xdotool key t
for _ in $(seq 50); do shot; [ "$(dark_pixels)" -lt "$with_text" ] && break; sleep 0.1; done
[ "$(dark_pixels)" -lt "$with_text" ] || fail "the title text line did not go when switched off"
grep -q $'ShowTitleText=0\r' "$prog/panelwick.ini" || fail "the title text choice was not kept"

# Fit to Window: the whole strip at once, and so again after a restart.
xdotool key --window "$wid" f
for _ in $(seq 50); do
  shot
  [ "$(pixels_of '#FF0000')" -gt 500 ] && [ "$(pixels_of '#0000FF')" -gt 500 ] && break
  sleep 0.1
done
[ "$(pixels_of '#FF0000')" -gt 500 ] && [ "$(pixels_of '#0000FF')" -gt 500 ] || fail "Fit to Window does not show the whole strip"
cp "$work/shot.png" "$shots/fit-to-window.png"
wmctrl -i -c "$wid"
wait_exit
grep -q $'Zoom=FitToWindow\r' "$prog/panelwick.ini" || fail "the zoom was not written to panelwick.ini"
start_panelwick
for _ in $(seq 50); do
  shot
  [ "$(pixels_of '#FF0000')" -gt 500 ] && [ "$(pixels_of '#0000FF')" -gt 500 ] && break
  sleep 0.1
done
[ "$(pixels_of '#FF0000')" -gt 500 ] && [ "$(pixels_of '#0000FF')" -gt 500 ] || fail "Fit to Window was not remembered"
wmctrl -i -c "$wid"
wait_exit
echo "strip view: 1 passed, 0 failed"
