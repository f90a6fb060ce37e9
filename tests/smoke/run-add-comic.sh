#!/usr/bin/env bash
# The first start with an empty catalogue, in a real X window: the Add comic dialog opens
# at once; the demo site's feed comic is added with the keyboard by its address without a
# scheme (tried as https, then http), and the update at start stores its strip.
# Usage: run-add-comic.sh PANELWICK_BINARY SOURCE_DIR
set -euo pipefail
bin=$1
src=$2
# shellcheck source=x-session.sh
. "$(dirname "$0")/x-session.sh"
x_test_begin add-comic
private_home
x_session_start

site="$work/site"
base=$(PANELWICK_DEMO_INTERVAL=3600 bash "$src/tools/demo/site.sh" start "$site" | tail -n 1)
trap 'bash "$src/tools/demo/site.sh" stop "$site" >/dev/null 2>&1 || true; x_cleanup' EXIT
prog="$work/prog"
mkdir -p "$prog"
: >"$prog/Comics.urls"
"$bin" --program-folder "$prog" >"$work/panelwick.log" 2>&1 &
app=$!
pids+=($app)

gone() { ! xwininfo -id "$1" 2>/dev/null | grep -q IsViewable; }

add=$(wait_window '^Add comic$')
[ -n "$add" ] || fail "the first start opened no Add comic dialog"
[ -z "$(xdotool search --onlyvisible --name '^Settings$' 2>/dev/null)" ] || fail "the settings dialog opened first"
# Typed into the focused address field as a user does, without http://; Enter looks.
wait_focus "$add" || fail "the Add comic dialog never got the focus"
xdotool type --delay 20 "${base#http://}/feedfrogs/rss.xml"
xdotool key Return
# The newest strip shows as a preview in the comic's colour once the feed was read.
found=0
end=$((SECONDS + 120))
while [ $SECONDS -lt $end ]; do
  has_colour "$add" D0F0E8 && { found=1; break; }
  sleep 0.1
done
[ "$found" = 1 ] || fail "the Add comic dialog showed no preview of the feed's newest strip ($(cat "$work/panelwick.log"))"
wait_focus "$add" || true
press_key "$add" Return # after a successful look, Enter adds
end=$((SECONDS + 60))
while [ $SECONDS -lt $end ]; do gone "$add" && break; sleep 0.1; done
gone "$add" || fail "Enter did not add the comic and close the Add comic dialog"

grep -q "^Feed Frogs	$base/feedfrogs/rss.xml" "$prog/MyComics.urls" ||
  fail "MyComics.urls holds: $(cat "$prog/MyComics.urls" 2>/dev/null)"
[ -s "$prog/Comics.urls" ] && fail "the shipped catalogue was written"
wid=$(wait_window '^Panelwick$')
[ -n "$wid" ] || fail "no Panelwick window after adding the comic"
end=$((SECONDS + 120))
while [ $SECONDS -lt $end ]; do [ "$(strips_stored "$prog" "Feed Frogs")" -eq 1 ] && break; sleep 0.1; done
[ "$(strips_stored "$prog" "Feed Frogs")" -eq 1 ] || fail "the update at start stored no strip of the added comic"
wmctrl -i -c "$wid"
wait_gone "$app" 30 || fail "panelwick did not end"
echo "add-comic: 1 passed, 0 failed"
