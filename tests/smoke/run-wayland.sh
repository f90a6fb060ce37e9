#!/usr/bin/env bash
# The real program on a Wayland compositor (weston, headless, drawing in memory): the
# window maps at its saved size, the update at start stores the strips and sets the
# wallpaper through the desktop's own tool, a new-strips notification brings the window
# back showing the first new comic, SIGTERM closes the window as its frame does, with
# exit code 0, and the position saved under X stays. The batch update needs no display.
# Usage: run-wayland.sh PANELWICK_BINARY SOURCE_DIR
# Not tested here: the clipboard. Weston's headless backend has no seat, so there are no
# keys to press and no selection to own.
set -euo pipefail
bin=$1
src=$2
if ! command -v weston >/dev/null 2>&1; then
  echo "SKIP: weston is not installed (scripts/install-deps.sh)"
  exit 77
fi
# shellcheck source=x-session.sh
. "$(dirname "$0")/x-session.sh"
x_test_begin wayland
private_home # its folder is also the private runtime folder that weston wants
unset DISPLAY # nothing here may reach an X server

site="$work/site"
base=$(PANELWICK_DEMO_INTERVAL=3600 bash "$src/tools/demo/site.sh" start "$site" | tail -n 1)
stop_site() { bash "$src/tools/demo/site.sh" stop "$site" >/dev/null 2>&1 || true; }
trap 'stop_site; x_cleanup' EXIT

# The compositor. --debug offers the screenshooter, through which the test sees what the
# compositor really shows (a mapped window, drawn); the pixman renderer draws without a GPU.
export WAYLAND_DISPLAY=wayland-panelwick
weston --backend=headless-backend.so --socket="$WAYLAND_DISPLAY" --idle-time=0 --no-config \
  --use-pixman --width=1024 --height=768 --debug --log="$work/weston.log" >"$work/weston.out" 2>&1 &
weston=$!
pids+=($weston)
for _ in $(seq 300); do
  [ -S "$XDG_RUNTIME_DIR/$WAYLAND_DISPLAY" ] && break
  kill -0 "$weston" 2>/dev/null || break
  sleep 0.1
done
[ -S "$XDG_RUNTIME_DIR/$WAYLAND_DISPLAY" ] || { cat "$work/weston.log" >&2; fail "weston did not start"; }

# A private session bus with a notification service that records what it is told, and
# GNOME's settings store (dconf), started by the bus when first asked.
mkdir -p "$work/services"
ln -s /usr/share/dbus-1/services/ca.desrt.dconf.service "$work/services/"
cat >"$work/bus.conf" <<CONF
<busconfig>
  <type>session</type>
  <listen>unix:path=$work/bus</listen>
  <servicedir>$work/services</servicedir>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
CONF
dbus-daemon --config-file="$work/bus.conf" --nofork --nopidfile --print-address=1 >"$work/bus.address" 2>"$work/bus.log" &
pids+=($!)
for _ in $(seq 300); do [ -s "$work/bus.address" ] && break; sleep 0.1; done
bus=$(head -n 1 "$work/bus.address")
[ -n "$bus" ] || fail "dbus-daemon printed no address"
# Debian's python3, where python3-dbus is installed, not whichever comes first on PATH.
/usr/bin/python3 "$src/tests/fixtures/notification-recorder.py" "$bus" "$work/notes" >"$work/recorder.out" 2>&1 &
recorder=$!
pids+=($recorder)
for _ in $(seq 300); do
  grep -qx ready "$work/recorder.out" 2>/dev/null && break
  kill -0 "$recorder" 2>/dev/null || break
  sleep 0.1
done
grep -qx ready "$work/recorder.out" || fail "the notification recorder did not start: $(cat "$work/recorder.out")"

# A GNOME desktop as far as the wallpaper goes: its own gsettings.
mkdir -p "$work/tools"
ln -s "$(command -v gsettings)" "$work/tools/gsettings"

prog="$work/prog"
mkdir -p "$prog"
printf 'Pixel Cats\thttp://comics.example/pixelcats/index.html\r\nNight Shift\thttp://comics.example/nightshift/index.html\r\n' >"$prog/Comics.urls"
# One update at a time, so Pixel Cats, first in the catalogue, is the first new comic.
printf '[Comics]\r\nPixel Cats=1\r\nNight Shift=1\r\nCurrentComic=Night Shift\r\n[Updates]\r\nUpdateProgramStart=1\r\n[Downloads]\r\nMaxSimDownloads=1\r\n[Misc]\r\nAutoStart=0\r\n[Wallpaper]\r\nComic=Night Shift\r\n[Window]\r\nLeftPos=217\r\nTopPos=163\r\nWidth=700\r\nHeight=520\r\nMaximized=0\r\n' >"$prog/panelwick.ini"

ini_value() { # SECTION KEY
  awk -v s="[$1]" -v k="$2" '{sub(/\r$/,"")} /^\[/{in_s=($0==s)} in_s && index($0, k"=")==1 {print substr($0, length(k)+2); exit}' "$prog/panelwick.ini"
}

shot() { # a picture of the compositor's output, as $work/shot.png; false when none was taken
  rm -rf "$work/shots"
  mkdir -p "$work/shots"
  (cd "$work/shots" && weston-screenshooter) >/dev/null 2>&1 || return 1
  local file
  file=$(ls "$work/shots"/*.png 2>/dev/null | head -n 1)
  [ -n "$file" ] && mv "$file" "$work/shot.png"
}
pixels_near() { # COLOUR: how many pixels of the last picture are near that colour (JPEG moves them)
  convert "$work/shot.png" -alpha off -fuzz 6% -fill black +opaque "$1" -fill white -opaque "$1" \
    -format '%[fx:round(mean*w*h)]' info:
}
wait_shown() { # COLOUR: waits until the compositor shows a strip-sized area of that colour
  for _ in $(seq 300); do
    if shot && [ "$(pixels_near "$1")" -gt 10000 ]; then return 0; fi
    kill -0 "$app" 2>/dev/null || return 1
    sleep 0.2
  done
  return 1
}

start_panelwick() { # the window program on the compositor, with the given extra environment
  env -u DISPLAY PATH="$work/tools" QT_QPA_PLATFORM=wayland DBUS_SESSION_BUS_ADDRESS="$bus" "$@" \
    "$bin" --program-folder "$prog" >"$work/panelwick.log" 2>&1 &
  app=$!
  pids+=($app)
}
# SUFFIX: SIGTERM, as a session ends its programs, ends the program with 0 (SUFFIX names the run in a failure).
end_by_sigterm() {
  local code=0
  kill -TERM "$app"
  wait_gone "$app" 60 || fail "panelwick did not end on SIGTERM$1"
  wait "$app" || code=$?
  [ "$code" -eq 0 ] || fail "panelwick ended with $code on SIGTERM$1"
}

start_panelwick XDG_CURRENT_DESKTOP=GNOME GSETTINGS_BACKEND=dconf PANELWICK_SITE_BASE="$base"

# Night Shift, the current comic, has no strip before the update: the window maps first,
# and shows its strip (light blue) once the update stored it.
stored=$(wait_strips "$app" "$prog" "Pixel Cats" "Night Shift") ||
  fail "$stored of 2 strips stored: $(ls -R "$prog/Comics" 2>&1)"
wait_shown '#b8d4ff' || fail "the compositor shows no window with Night Shift's strip"
[ "$(pixels_near '#ffe9a8')" -lt 1000 ] || fail "Pixel Cats' strip shows before it was asked for"

# The wallpaper comic's new strip went to the desktop's own tool, centred.
background() { # KEY: its value in the desktop's settings
  DBUS_SESSION_BUS_ADDRESS="$bus" GSETTINGS_BACKEND=dconf gsettings get org.gnome.desktop.background "$1" 2>&1
}
wallpaper="'file://$XDG_DATA_HOME/panelwick/Panelwick%20Wallpaper.bmp'"
for _ in $(seq 300); do
  [ "$(background picture-uri)" = "$wallpaper" ] && [ "$(background picture-uri-dark)" = "$wallpaper" ] && break
  sleep 0.1
done
[ "$(background picture-uri)" = "$wallpaper" ] && [ "$(background picture-uri-dark)" = "$wallpaper" ] ||
  fail "the desktop was not told the wallpaper: $(background picture-uri) $(background picture-uri-dark)"
[ "$(background picture-options)" = "'centered'" ] || fail "the wallpaper is not centred: $(background picture-options)"
[ "$(identify -format %wx%h "$XDG_DATA_HOME/panelwick/Panelwick Wallpaper.bmp")" = 600x180 ] ||
  fail "the wallpaper bitmap is not the strip"

# No window is active on a compositor without a seat, so the new strips are announced;
# a click on the notice brings the window to the first comic that got one.
for _ in $(seq 300); do [ -s "$work/notes" ] && break; sleep 0.1; done
[ -s "$work/notes" ] || fail "no notification about the new strips"
grep -q '"body": "2 new strips: Pixel Cats, Night Shift"' "$work/notes" || fail "unexpected notification: $(cat "$work/notes")"
id=$(/usr/bin/python3 -c 'import json, sys; print(json.loads(open(sys.argv[1]).readline())["id"])' "$work/notes")
dbus-send --bus="$bus" --type=method_call --dest=org.freedesktop.Notifications /org/freedesktop/Notifications \
  org.panelwick.TestRecorder.Invoke uint32:"$id" string:default
wait_shown '#ffe9a8' || fail "a click on the notification did not show Pixel Cats"

# SIGTERM, as a session ends its programs: the window closes as through its frame.
end_by_sigterm ""
[ "$(ini_value Comics CurrentComic)" = "Pixel Cats" ] || fail "closing did not save the comic shown: $(ini_value Comics CurrentComic)"
[ "$(ini_value Window Maximized)" = 0 ] || fail "closing did not save Maximized"
[ "$(ini_value Window Width)x$(ini_value Window Height)" = 700x520 ] ||
  fail "the window did not keep its saved size: $(ini_value Window Width)x$(ini_value Window Height)"
[ "$(ini_value Window LeftPos),$(ini_value Window TopPos)" = 217,163 ] ||
  fail "the position saved under X was overwritten: $(ini_value Window LeftPos),$(ini_value Window TopPos)"
# Qt's Wayland plugin says so when it is asked for what the compositor does not offer.
if grep -iE 'qt\.qpa\.wayland|QWaylandWindow|position|geometry' "$work/panelwick.log" >&2; then
  fail "Qt warned about the window on Wayland"
fi

# A second start with a size but no position saved: the window maps at that size, and
# closing it invents no position.
printf '[Comics]\r\nPixel Cats=1\r\nNight Shift=1\r\nCurrentComic=Night Shift\r\n[Updates]\r\nUpdateProgramStart=0\r\n[Misc]\r\nAutoStart=0\r\n[Window]\r\nWidth=640\r\nHeight=480\r\n' >"$prog/panelwick.ini"
start_panelwick
wait_shown '#b8d4ff' || fail "the compositor shows no window with Night Shift's strip at the second start"
end_by_sigterm " at the second start"
[ "$(ini_value Window Width)x$(ini_value Window Height)" = 640x480 ] ||
  fail "the window did not keep its saved size: $(ini_value Window Width)x$(ini_value Window Height)"
! grep -qE '^(LeftPos|TopPos)=' "$prog/panelwick.ini" || fail "closing saved a position nobody knows: $(tr -d '\r' <"$prog/panelwick.ini")"

# The batch update opens no window: it runs with the Wayland platform named and no
# compositor at all.
batch="$work/batch"
mkdir -p "$batch"
printf 'Garden Gnomes\thttp://comics.example/gardengnomes/index.html\r\nLoop Street\thttp://comics.example/loopstreet/index.html\r\n' >"$batch/Comics.urls"
printf '[Comics]\r\nGarden Gnomes=1\r\nLoop Street=1\r\n' >"$batch/panelwick.ini"
code=0
env -u DISPLAY -u WAYLAND_DISPLAY PATH="$work/tools" QT_QPA_PLATFORM=wayland PANELWICK_SITE_BASE="$base" \
  "$bin" --program-folder "$batch" --batch-update >"$work/batch.out" 2>"$work/batch.err" || code=$?
[ "$code" -eq 0 ] || fail "the batch update ended with $code: $(cat "$work/batch.out" "$work/batch.err")"
[ "$(strips_stored "$batch" "Garden Gnomes" "Loop Street")" -eq 2 ] || fail "the batch update stored no strips: $(cat "$work/batch.out")"
[ ! -s "$work/batch.err" ] || fail "the batch update complained: $(cat "$work/batch.err")"
echo "wayland: 1 passed, 0 failed"
