#!/usr/bin/env bash
# The real panelwick in an X window with the trays most desktops run: a StatusNotifierItem
# panel on a private session bus (as KDE Plasma, AppIndicator and the Xfce, MATE, Cinnamon
# and LXQt panels), then no tray at all with a panel starting later.
# Usage: run-tray-panel.sh PANELWICK_BINARY SOURCE_DIR
set -euo pipefail
bin=$1
src=$2
# shellcheck source=x-session.sh
. "$(dirname "$0")/x-session.sh"
x_test_begin tray-panel
private_home
x_session_start
python=/usr/bin/python3 # Debian's, with python3-dbus
panel_tool() { "$python" "$src/tests/fixtures/sni-panel.py" "$@"; }

dbus-daemon --session --nofork --nopidfile --address="unix:path=$work/bus" --print-address=3 \
  3>"$work/bus.address" 2>"$work/dbus.log" &
pids+=($!)
for _ in $(seq 300); do [ -s "$work/bus.address" ] && break; sleep 0.1; done
[ -s "$work/bus.address" ] || fail "the session bus did not start"
export DBUS_SESSION_BUS_ADDRESS
DBUS_SESSION_BUS_ADDRESS=$(head -n 1 "$work/bus.address")

panel=""
start_panel() {
  rm -f "$work/panel.out"
  "$python" "$src/tests/fixtures/sni-panel.py" serve "$DBUS_SESSION_BUS_ADDRESS" >"$work/panel.out" 2>&1 &
  panel=$!
  pids+=($panel)
  for _ in $(seq 300); do grep -q ready "$work/panel.out" 2>/dev/null && return 0; sleep 0.1; done
  cat "$work/panel.out" >&2
  fail "the panel did not start"
}
items() { panel_tool items "$DBUS_SESSION_BUS_ADDRESS" 2>/dev/null || true; }
wait_item() { # waits for the program's icon on the panel
  for _ in $(seq 300); do [ -n "$(items)" ] && return 0; sleep 0.1; done
  return 1
}

prog="$work/prog"
mkdir -p "$prog/Comics/Alpha"
printf 'Alpha\thttp://127.0.0.1:9/alpha/\r\n' >"$prog/Comics.urls"
printf '[Comics]\r\nAlpha=1\r\nCurrentComic=Alpha\r\n[Updates]\r\nUpdateProgramStart=0\r\n[Misc]\r\nStartMinimized=1\r\n' >"$prog/panelwick.ini"
cp "$src/tests/smoke/smoke-a.gif" "$prog/Comics/Alpha/Alpha20010101.gif"
mkdir -p "$work/tools" # no desktop tool is meant here

app=""
start_panelwick() {
  PATH="$work/tools" "$bin" --program-folder "$prog" >"$work/panelwick.log" 2>&1 &
  app=$!
  pids+=($app)
}
state_of() { xprop -id "$1" WM_STATE 2>/dev/null | awk '/window state:/ {print $3}'; }
main_window() { # the program's main window, once the window manager has had it
  local w
  for w in $(xdotool search --all --pid "$app" --name '^Panelwick$' 2>/dev/null); do
    [ -n "$(state_of "$w")" ] && { echo "$w"; return 0; }
  done
  return 0
}
on_task_bar() { wmctrl -l | awk '{print $1}' | grep -qi "$(printf '0x%08x' "$1")"; }
viewable() { xwininfo -id "$1" 2>/dev/null | grep -q IsViewable; }
wait_until() { # SECONDS COMMAND...: waits while the program lives
  local n=$(($1 * 10))
  shift
  for _ in $(seq "$n"); do
    "$@" && return 0
    kill -0 "$app" 2>/dev/null || return 1
    sleep 0.1
  done
  return 1
}
shown() { viewable "$wid" && on_task_bar "$wid"; }
in_tray() { ! viewable "$wid" && ! on_task_bar "$wid"; }
iconic_on_task_bar() { [ "$(state_of "$wid")" = Iconic ] && on_task_bar "$wid"; }
popup_menu() { # a small window of the program's, as its menu is
  local w size
  for w in $(xdotool search --onlyvisible --pid "$app" 2>/dev/null); do
    size=$(xwininfo -id "$w" 2>/dev/null | awk '/Width:/{w=$2} /Height:/{h=$2} END{print w + 0, h + 0}')
    [ "${size#* }" -lt 60 ] && [ "${size% *}" -gt 40 ] && { echo "$w"; return 0; }
  done
  return 1
}
windows() { # what the program's windows are, for a failure
  local w
  for w in $(xdotool search --all --pid "$app" 2>/dev/null); do
    echo "$w $(xprop -id "$w" WM_NAME 2>/dev/null) $(xwininfo -id "$w" 2>/dev/null | grep 'Map State') $(state_of "$w")"
  done
  wmctrl -l
  tr -d '\r' <"$prog/panelwick.ini"
}
fail() { windows >&2 || true; echo "FAIL: $*" >&2; x_show_log; exit 1; }
ends_well() {
  wait_gone "$app" 60 || fail "panelwick did not end"
  local code=0
  wait "$app" || code=$?
  [ "$code" = 0 ] || fail "panelwick ended with $code"
}

# 1. A panel runs: the program starts in it, no window shown.
start_panel
start_panelwick
wait_item || fail "the icon never reached the panel"
[ "$(items | wc -l)" = 1 ] || fail "more than one icon on the panel: $(items)"
# The panel draws the program's icon and shows its hint.
shown_icon=$(panel_tool show "$DBUS_SESSION_BUS_ADDRESS")
grep -qx '32x32 opaque' <<<"$shown_icon" || fail "the panel got no icon picture: $shown_icon"
[ "$(tail -n 1 <<<"$shown_icon")" = Panelwick ] || fail "the panel's tool tip is not the hint: $shown_icon"
[ -z "$(xdotool search --all --onlyvisible --pid "$app" --name '^Panelwick$' 2>/dev/null)" ] ||
  fail "started minimised, but the window shows"
# A click on the icon (the panel's Activate) brings the window back.
panel_tool activate "$DBUS_SESSION_BUS_ADDRESS"
wait_until 30 eval '[ -n "$(main_window)" ] && wid=$(main_window) && shown' ||
  fail "a click on the panel's icon did not bring the window back"
# Minimising sends it to the panel again; another click, back.
xdotool windowminimize "$wid"
wait_until 30 in_tray || fail "minimising did not hide the window into the panel"
panel_tool activate "$DBUS_SESSION_BUS_ADDRESS"
wait_until 30 shown || fail "the second click did not bring the window back"
# A right click where the panel leaves the menu to the program: the program's own menu.
panel_tool context "$DBUS_SESSION_BUS_ADDRESS"
menu=""
wait_until 30 eval 'menu=$(popup_menu)' || fail "ContextMenu showed no menu"
xdotool key --window "$menu" Escape 2>/dev/null || true
# The menu is gone before the key-up: released through XTEST, or the held key repeats.
xdotool keyup Escape 2>/dev/null || true
wait_until 30 eval '! popup_menu >/dev/null' || fail "the menu did not close"
# The panel's own menu, from the exported entries: "Close Panelwick" ends the program.
panel_tool menu "$DBUS_SESSION_BUS_ADDRESS" "Close Panelwick"
ends_well
[ -z "$(items)" ] || fail "the icon stayed on the panel: $(items)"

# 2. No tray at all: started minimised, the window waits on the task bar; minimising again
# keeps it there.
kill "$panel"
wait_gone "$panel" 30 || fail "the panel did not end"
start_panelwick
wait_until 60 eval '[ -n "$(main_window)" ] && wid=$(main_window) && iconic_on_task_bar' ||
  fail "without a tray the window is not minimised on the task bar"
xdotool windowactivate "$wid" 2>/dev/null || wmctrl -i -a "$wid"
wait_until 30 shown || fail "the window did not come back from the task bar"
xdotool windowminimize "$wid"
wait_until 30 iconic_on_task_bar || fail "minimising without a tray did not keep the window on the task bar"
# 3. A panel starts later: the icon comes, and minimising goes to the panel from then on.
start_panel
wait_item || fail "the icon did not come to a panel started later"
xdotool windowactivate "$wid" 2>/dev/null || wmctrl -i -a "$wid"
wait_until 30 shown || fail "the window did not come back from the task bar"
xdotool windowminimize "$wid"
wait_until 30 in_tray || fail "with the later panel, minimising did not hide the window into it"
panel_tool activate "$DBUS_SESSION_BUS_ADDRESS"
wait_until 30 shown || fail "a click on the later panel's icon did not bring the window back"
panel_tool menu "$DBUS_SESSION_BUS_ADDRESS" "Close Panelwick"
ends_well
echo "PASS"
