#!/usr/bin/env bash
# One Panelwick per user, in a real X window: a second start as the menu does it brings
# the running window forward and ends with 0; a start with a feed address (as a browser's
# "subscribe" passes it) opens Add comic in the running window with that address; a
# "--batch-update" beside the window stores a strip that the window then shows; and a
# comic added by "--add-comic" beside the window is taken in and updated at once.
# Usage: run-single-instance.sh PANELWICK_BINARY SOURCE_DIR
set -euo pipefail
bin=$1
src=$2
# shellcheck source=x-session.sh
. "$(dirname "$0")/x-session.sh"
x_test_begin single-instance
private_home
x_session_start

site="$work/site"
base=$(PANELWICK_DEMO_INTERVAL=3600 bash "$src/tools/demo/site.sh" start "$site" | tail -n 1)
trap 'bash "$src/tools/demo/site.sh" stop "$site" >/dev/null 2>&1 || true; x_cleanup' EXIT
secure=$(sed 's/localhost/127.0.0.1/' "$site/secure-base")
# Only the program trusts the demo site's CA.
export SSL_CERT_FILE="$site/ca.pem"

# One chosen comic, not updated at start: the window shows "No strips yet" until the
# batch run beside it stores a strip (the demo's Pixel Cats strips are #FFE9A8).
prog="$work/prog"
mkdir -p "$prog"
printf 'Pixel Cats\t%s/pixelcats/index.html\r\n' "$base" >"$prog/Comics.urls"
printf '[Comics]\r\nPixel Cats=1\r\nCurrentComic=Pixel Cats\r\n[Updates]\r\nUpdateProgramStart=0\r\n' >"$prog/panelwick.ini"

# WINDOW COLOUR: whether the window shows pixels of that colour. The histogram is read
# whole before it is searched: "grep -q" would end the pipe early, which pipefail counts
# as a failure.
# Started with an address and no window running: the window starts and opens Add comic
# with it (the page's picture shows in Moon Diary's colour); Escape leaves it.
"$bin" --program-folder "$prog" "$base/moondiary/index.html" >"$work/panelwick.log" 2>&1 &
app=$!
pids+=($app)
wid=$(wait_window '^Panelwick$')
[ -n "$wid" ] || fail "no Panelwick window appeared"
add=$(wait_window '^Add comic$')
[ -n "$add" ] || fail "the start with an address opened no Add comic dialog"
looked=0
end=$((SECONDS + 120))
while [ $SECONDS -lt $end ]; do
  has_colour "$add" D8D0F8 && { looked=1; break; }
  sleep 0.1
done
[ "$looked" = 1 ] || fail "the Add comic dialog did not look at the address the program was started with"
adding_open() { [ -n "$(xdotool search --onlyvisible --name '^Add comic$' 2>/dev/null)" ]; }
for _ in 1 2 3 4 5; do
  press_key "$add" Escape
  for _ in $(seq 50); do adding_open || break; sleep 0.1; done
  adding_open || break
done
! adding_open || fail "Escape did not close Add comic"
[ ! -e "$prog/MyComics.urls" ] || fail "a comic was added without the user's word"

windows() { xdotool search --onlyvisible --name '^Panelwick$' 2>/dev/null | wc -l; }
pixels_of() { # COLOUR: how many pixels of the window have it
  timeout 10 import -window "$wid" "$work/shot.png" 2>/dev/null || { echo 0; return; }
  convert "$work/shot.png" -format %c histogram:info: | awk -v c="$1" 'toupper($0) ~ c {n += $1} END {print n + 0}'
}

# Another window takes the focus, as when the user works elsewhere.
xmessage -name other -title other "another program" >/dev/null 2>&1 &
pids+=($!)
other=$(wait_window '^other$')
[ -n "$other" ] || fail "the other window did not appear"
for _ in $(seq 100); do
  xdotool windowactivate --sync "$other" 2>/dev/null || true
  [ "$(active)" = "$other" ] && break
  sleep 0.1
done
[ "$(active)" = "$other" ] || fail "the other window could not be activated"

# The menu's start: no argument (its %u stays empty), with the launcher's startup id.
set +e
DESKTOP_STARTUP_ID="smoke/panelwick/$$-0-$(hostname)" timeout 60 "$bin" --program-folder "$prog" >"$work/second.log" 2>&1
rc=$?
set -e
[ "$rc" = 0 ] || { cat "$work/second.log" >&2; fail "the second start ended with $rc"; }
[ "$(pgrep -c -f -- "--program-folder $prog")" -eq 1 ] || fail "a second panelwick process runs"
for _ in $(seq 100); do [ "$(active)" = "$wid" ] && break; sleep 0.1; done
[ "$(active)" = "$wid" ] || fail "the running window was not activated (active: $(active), window: $wid)"
[ "$(windows)" -eq 1 ] || fail "$(windows) Panelwick windows"
# Its stacking: above the other window.
stack=$(xprop -root _NET_CLIENT_LIST_STACKING | tr -d ',' | awk '{print $NF}')
[ "$((stack))" = "$((wid))" ] || fail "the running window was not raised (top: $stack)"

# A browser's "subscribe": feed:https://... opens Add comic in the running window.
set +e
timeout 60 "$bin" --program-folder "$prog" "feed:$secure/feedfrogs/rss.xml" >"$work/third.log" 2>&1
rc=$?
set -e
[ "$rc" = 0 ] || { cat "$work/third.log" >&2; fail "the start with an address ended with $rc"; }
add=""
end=$((SECONDS + 60))
while [ -z "$add" ] && [ $SECONDS -lt $end ]; do add=$(wait_window '^Add comic$'); done
[ -n "$add" ] || { wmctrl -l >&2 || true; fail "no Add comic dialog opened in the running window"; }
# The address was looked at: the feed's newest strip shows in its colour; Enter adds it.
found=0
end=$((SECONDS + 120))
while [ $SECONDS -lt $end ]; do
  has_colour "$add" D0F0E8 && { found=1; break; }
  sleep 0.1
done
[ "$found" = 1 ] || fail "the Add comic dialog did not look at the address it was given"
added() { grep -q "^Feed Frogs	$secure/feedfrogs/rss.xml" "$prog/MyComics.urls" 2>/dev/null; }
# Enter goes to the dialog once it has the focus (a key sent while the focus moves is lost).
for _ in $(seq 20); do
  xdotool windowactivate --sync "$add" 2>/dev/null || true
  if [ "$(active)" = "$add" ]; then xdotool key Return 2>/dev/null || true; fi
  for _ in $(seq 30); do added && break; sleep 0.1; done
  added && break
done
grep -q "^Feed Frogs	$secure/feedfrogs/rss.xml" "$prog/MyComics.urls" ||
  fail "MyComics.urls holds: $(cat "$prog/MyComics.urls" 2>/dev/null)"

# The added comic shows (with its strip, fetched at once); back to Pixel Cats, which has
# no strip yet, with Up. Then the batch run beside the window.
for _ in $(seq 300); do [ "$(pixels_of D0F0E8)" -gt 1000 ] && break; sleep 0.1; done
for _ in 1 2 3 4 5; do
  xdotool windowactivate --sync "$wid" 2>/dev/null || true
  xdotool key --window "$wid" Up 2>/dev/null || true
  for _ in $(seq 30); do [ "$(pixels_of D0F0E8)" -eq 0 ] && break; sleep 0.1; done
  [ "$(pixels_of D0F0E8)" -eq 0 ] && break
done
[ "$(pixels_of D0F0E8)" -eq 0 ] || fail "Up did not go back to Pixel Cats"
[ "$(pixels_of FFE9A8)" -eq 0 ] || fail "a Pixel Cats strip shows before the batch run"
set +e
"$bin" --program-folder "$prog" --batch-update >"$work/batch.log" 2>&1
set -e
grep -q '^Pixel Cats: New strip updated' "$work/batch.log" || { cat "$work/batch.log" >&2; fail "the batch run stored no strip"; }
shown=0
for _ in $(seq 300); do [ "$(pixels_of FFE9A8)" -gt 1000 ] && { shown=1; break; }; sleep 0.1; done
[ "$shown" = 1 ] || fail "the window did not show the strip the batch run stored"
# Shown means read: the marker the batch run wrote no longer lists it.
for _ in $(seq 100); do [ ! -s "$prog/Comics/Pixel Cats/Pixel Cats.unr" ] && break; sleep 0.1; done
[ ! -s "$prog/Comics/Pixel Cats/Pixel Cats.unr" ] || fail "the shown strip is still unread"

# "--add-comic" beside the window: the window takes the comic in and gets its strip at
# once (the add run itself stores none).
"$bin" --program-folder "$prog" --add-comic "$base/moondiary/index.html" >"$work/add.log" 2>&1 ||
  { cat "$work/add.log" >&2; fail "--add-comic beside the window failed"; }
grep -q '^Added Moon Diary' "$work/add.log" || { cat "$work/add.log" >&2; fail "--add-comic said otherwise"; }
for _ in $(seq 300); do [ "$(strips_stored "$prog" "Moon Diary")" -eq 1 ] && break; sleep 0.1; done
[ "$(strips_stored "$prog" "Moon Diary")" -eq 1 ] || fail "the window did not take in the comic added beside it"

wmctrl -i -c "$wid"
wait_gone "$app" 30 || fail "panelwick did not end"
# What the window wrote at the end kept what the add run wrote.
grep -q '^Moon Diary=1' "$prog/panelwick.ini" || fail "the added comic's choice was lost: $(cat "$prog/panelwick.ini")"
grep -q '^Moon Diary	' "$prog/MyComics.urls" || fail "the added comic left MyComics.urls"
# The window's socket went with it: the next start is a window again.
[ -z "$(ls "$XDG_RUNTIME_DIR/panelwick" 2>/dev/null)" ] || fail "the socket was left: $(ls "$XDG_RUNTIME_DIR/panelwick")"
echo "single-instance: 1 passed, 0 failed"
