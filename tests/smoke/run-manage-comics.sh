#!/usr/bin/env bash
# Managing comics in a real X window: File > Import Comics... reads a feed reader's list,
# and in Settings a comic of the user's own is renamed with Edit... and OK, its strips and
# unread marks following it.
# Usage: run-manage-comics.sh PANELWICK_BINARY SOURCE_DIR
set -euo pipefail
bin=$1
src=$2
# shellcheck source=x-session.sh
. "$(dirname "$0")/x-session.sh"
x_test_begin manage-comics
private_home
x_session_start

prog="$work/prog"
mkdir -p "$prog/Comics/Inky"
printf 'Alpha\thttp://127.0.0.1:9/a.html\r\n' >"$prog/Comics.urls"
printf 'Inky\thttp://127.0.0.1:9/inky.xml\r\n' >"$prog/MyComics.urls"
cp "$src/tests/smoke/smoke-a.gif" "$prog/Comics/Inky/Inky20261201.gif"
cp "$src/tests/smoke/smoke-a.gif" "$prog/Comics/Inky/Inky20261202.gif"
printf 'Inky20261202.gif\r\n' >"$prog/Comics/Inky/Inky.unr"
printf '[Comics]\r\nAlpha=1\r\nInky=1\r\nCurrentComic=Alpha\r\n[Updates]\r\nUpdateOnlyManually=1\r\nUpdateProgramStart=0\r\n' \
  >"$prog/panelwick.ini"
cat >"$work/robots.opml" <<'OPML'
<?xml version="1.0" encoding="UTF-8"?>
<opml version="2.0"><head><title>Exported</title></head><body>
<outline text="Comics"><outline text="Tiny Robots" type="rss" xmlUrl="http://127.0.0.1:9/robots.xml"/></outline>
</body></opml>
OPML
"$bin" --program-folder "$prog" >"$work/panelwick.log" 2>&1 &
app=$!
pids+=($app)

gone() { ! xwininfo -id "$1" 2>/dev/null | grep -q IsViewable; }
type_into() { # WINDOW TEXT: typed into the window's focused field
  xdotool windowactivate --sync "$1" 2>/dev/null || xdotool windowfocus --sync "$1" 2>/dev/null || true
  xdotool type --delay 20 "$2"
}

wid=$(wait_window '^Panelwick$')
[ -n "$wid" ] || fail "no Panelwick window"

# File > Import Comics...: the file dialog takes the list's path.
dlg=""
for _ in 1 2 3; do
  xdotool windowactivate --sync "$wid" 2>/dev/null || true
  xdotool key --window "$wid" alt+f 2>/dev/null || true
  xdotool keyup alt f 2>/dev/null || true
  xdotool key i
  dlg=$(wait_window '^Import Comics$')
  [ -n "$dlg" ] && break
  xdotool key Escape Escape
done
[ -n "$dlg" ] || fail "File > Import Comics... opened no file dialog"
type_into "$dlg" "$work/robots.opml"
xdotool key Return
for _ in $(seq 100); do grep -q "^Tiny Robots	" "$prog/MyComics.urls" && break; sleep 0.1; done
grep -q "^Tiny Robots	http://127.0.0.1:9/robots.xml" "$prog/MyComics.urls" ||
  fail "MyComics.urls holds: $(cat "$prog/MyComics.urls")"
grep -q "^Tiny Robots=1" "$prog/panelwick.ini" || fail "the imported comic was not chosen"
# The box that tells what was imported, closed with Enter.
box=""
for _ in $(seq 100); do
  box=$(xdotool search --onlyvisible --name '^Panelwick$' 2>/dev/null | grep -v "^$wid\$" | head -n 1 || true)
  [ -n "$box" ] && break
  sleep 0.1
done
[ -n "$box" ] || fail "no box told what was imported"
xdotool windowactivate --sync "$box" 2>/dev/null || true
xdotool key Return
for _ in $(seq 100); do gone "$box" && break; sleep 0.1; done
gone "$box" || fail "the import's box did not close"

# Settings: Inky selected in "Comics To Update", Edit..., a new name, OK twice.
settings=$(key_until_dialog "$wid" "ctrl+s" '^Settings$')
[ -n "$settings" ] || fail "Ctrl+S opened no settings dialog"
xdotool windowactivate --sync "$settings" 2>/dev/null || true
# The focus starts on the tabs; four Tabs reach "Comics To Update" past the first list
# and the buttons between them, where typing a name selects it.
xdotool key Tab Tab Tab Tab
xdotool type --delay 20 Inky
edit=$(key_until_dialog "$settings" "alt+e" '^Edit comic$')
[ -n "$edit" ] || fail "Edit... opened no Edit comic dialog"
xdotool windowactivate --sync "$edit" 2>/dev/null || true
xdotool key ctrl+a
xdotool type --delay 20 "Inky Pen"
xdotool key Return
for _ in $(seq 100); do gone "$edit" && break; sleep 0.1; done
gone "$edit" || fail "the Edit comic dialog did not take the name"
[ -d "$prog/Comics/Inky" ] || fail "the comic was renamed before OK"
xdotool windowactivate --sync "$settings" 2>/dev/null || true
xdotool key Return
for _ in $(seq 100); do gone "$settings" && break; sleep 0.1; done
gone "$settings" || fail "OK did not close the settings dialog"

[ -f "$prog/Comics/Inky Pen/Inky Pen20261201.gif" ] || fail "the strips did not follow: $(ls -R "$prog/Comics")"
[ "$(cat "$prog/Comics/Inky Pen/Inky Pen.unr")" = $'Inky Pen20261202.gif\r' ] || fail "the unread marks did not follow"
grep -q "^Inky Pen	http://127.0.0.1:9/inky.xml" "$prog/MyComics.urls" || fail "MyComics.urls holds: $(cat "$prog/MyComics.urls")"
grep -q "^Inky Pen=1" "$prog/panelwick.ini" || fail "the choice did not follow the name"
wmctrl -i -c "$wid"
wait_gone "$app" 30 || fail "panelwick did not end"
echo "manage-comics: 1 passed, 0 failed"
