#!/usr/bin/env bash
# Fetch Older Strips in a real X window: a feed of 13 daily strips, of which the update at
# start stores the newest 10 and says 3 more are left; Update → Fetch Older Strips from the
# keyboard stores the other 3 with the window working all along, and Home then shows the
# oldest (the 3 oldest strips have a colour of their own).
# Usage: run-older-strips.sh PANELWICK_BINARY SOURCE_DIR
set -euo pipefail
bin=$1
src=$2
# shellcheck source=x-session.sh
. "$(dirname "$0")/x-session.sh"
x_test_begin older-strips
private_home
x_session_start

# The demo site serves the feed and its pictures from a folder of their own.
site="$work/site"
base=$(PANELWICK_DEMO_INTERVAL=3600 bash "$src/tools/demo/site.sh" start "$site" | tail -n 1)
trap 'bash "$src/tools/demo/site.sh" stop "$site" >/dev/null 2>&1 || true; x_cleanup' EXIT
html="$site/html/backissues"
mkdir -p "$html"
convert -size 400x120 xc:'#A0C0F0' "PNG:$work/new.png"
convert -size 400x120 xc:'#F0A0A0' "PNG:$work/old.png"
{
  printf '<?xml version="1.0" encoding="UTF-8"?>\n<rss version="2.0"><channel>\n'
  printf '<title>Back Issues</title><link>%s/backissues/</link><description>a feed</description>\n' "$base"
  for n in $(seq 0 12); do
    day=$(date -u -d "-$((n + 1)) days" +%F)
    picture=new.png
    [ "$n" -ge 10 ] && picture=old.png
    cp "$work/$picture" "$html/$day.png"
    printf '<item><title>Strip of %s</title><link>%s/backissues/%s.html</link><pubDate>%s</pubDate>' \
      "$day" "$base" "$day" "$(date -u -R -d "$day 12:00:00 UTC")"
    printf '<enclosure url="%s/backissues/%s.png" type="image/png" length="0"/></item>\n' "$base" "$day"
  done
  printf '</channel></rss>\n'
} >"$html/rss.xml"

prog="$work/prog"
folder="$prog/Comics/Back Issues"
mkdir -p "$prog"
: >"$prog/Comics.urls"
printf 'Back Issues\t%s/backissues/rss.xml\r\n' "$base" >"$prog/MyComics.urls"
printf '[Comics]\r\nBack Issues=1\r\nCurrentComic=Back Issues\r\n[Updates]\r\nUpdateProgramStart=1\r\nOlderStripsPause=0\r\n[Misc]\r\nAutoStart=0\r\n' >"$prog/panelwick.ini"
stored() { ls "$folder" 2>/dev/null | grep -Ec '^Back Issues[0-9]{8}(-[0-9]+)?\.png$' || true; }

"$bin" --program-folder "$prog" >"$work/panelwick.log" 2>&1 &
app=$!
pids+=($app)
wid=$(wait_window '^Panelwick$')
[ -n "$wid" ] || fail "no Panelwick window appeared"
end=$((SECONDS + 120))
while [ "$(stored)" -lt 10 ] && [ $SECONDS -lt $end ]; do sleep 0.1; done
[ "$(stored)" -eq 10 ] || fail "the update at start stored $(stored) strips, not 10"
wait_idle "$app" || fail "panelwick stays busy after the update"
[ "$(stored)" -eq 10 ] || fail "the update at start stored $(stored) strips, not 10"
has_colour "$wid" A0C0F0 || fail "the newest strip does not show"

# Update → Fetch Older Strips, as a keyboard user opens it.
for _ in 1 2 3 4 5; do
  wait_focus "$wid" || fail "the window could not be activated"
  xdotool key --window "$wid" alt+u 2>/dev/null || true
  xdotool keyup alt u 2>/dev/null || true
  xdotool key o 2>/dev/null || true
  for _ in $(seq 50); do [ "$(stored)" -gt 10 ] && break; sleep 0.1; done
  [ "$(stored)" -gt 10 ] && break
  xdotool key Escape Escape 2>/dev/null || true
done
end=$((SECONDS + 120))
while [ "$(stored)" -lt 13 ] && [ $SECONDS -lt $end ]; do sleep 0.1; done
[ "$(stored)" -eq 13 ] || fail "Fetch Older Strips stored $(($(stored) - 10)) strips, not 3: $(ls "$folder")"
wait_idle "$app" || fail "panelwick stays busy after fetching older strips"
# Older strips come as read: nothing of theirs is in the unread list.
! grep -q "$(date -u -d '-13 days' +%Y%m%d)" "$folder/Back Issues.unr" 2>/dev/null ||
  fail "an older strip was marked unread"

# Home goes to the oldest strip, one of the three fetched.
shown=0
for _ in 1 2 3 4 5; do
  wait_focus "$wid" || fail "the window could not be activated"
  xdotool key --window "$wid" Home 2>/dev/null || true
  end=$((SECONDS + 10))
  while [ $SECONDS -lt $end ]; do
    has_colour "$wid" F0A0A0 && { shown=1; break; }
    sleep 0.1
  done
  [ "$shown" = 1 ] && break
done
[ "$shown" = 1 ] || fail "Home did not show the oldest strip"

wmctrl -i -c "$wid"
wait_gone "$app" 30 || fail "panelwick did not end"
echo "older-strips: 1 passed, 0 failed"
