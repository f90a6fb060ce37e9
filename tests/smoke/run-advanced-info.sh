#!/usr/bin/env bash
# The real program in an X window with a window manager, Advanced Info shown, updating six
# comics from nginx three at a time: every comic ends, the program goes idle, and a key
# still opens a dialog. A window that lays itself out for ever fails here.
# Usage: run-advanced-info.sh PANELWICK_BINARY SOURCE_DIR
set -euo pipefail
bin=$1
src=$2
# shellcheck source=x-session.sh
. "$(dirname "$0")/x-session.sh"
x_test_begin advinfo
private_home
x_session_start

site="$work/site"
base=$(PANELWICK_DEMO_INTERVAL=3600 bash "$src/tools/demo/site.sh" start "$site" | tail -n 1)
trap 'bash "$src/tools/demo/site.sh" stop "$site" >/dev/null 2>&1 || true; x_cleanup' EXIT

comics=("Pixel Cats" "Night Shift" "Garden Gnomes" "Loop Street" "Tea Break" "Sun Porch")
prog="$work/prog"
mkdir -p "$prog"
: >"$prog/Comics.urls"
ini='[Comics]\r\n'
for name in "${comics[@]}"; do
  slug=$(echo "$name" | tr -d ' ' | tr 'A-Z' 'a-z')
  printf '%s\thttp://comics.example/%s/index.html\r\n' "$name" "$slug" >>"$prog/Comics.urls"
  ini+="$name=1\\r\\n"
done
printf "${ini}CurrentComic=Pixel Cats\r\n[Updates]\r\nShowAdvancedInfo=1\r\nUpdateProgramStart=1\r\n[Downloads]\r\nMaxSimDownloads=3\r\n[Misc]\r\nAutoStart=0\r\n" >"$prog/panelwick.ini"

PANELWICK_SITE_BASE="$base" "$bin" --program-folder "$prog" >"$work/panelwick.log" 2>&1 &
app=$!
pids+=($app)
wid=$(wait_window '^Panelwick$')
[ -n "$wid" ] || fail "no Panelwick window appeared"
[ -n "$(wait_window '^Advanced Info$')" ] || fail "the update at start did not show Advanced Info"

stored=$(wait_strips "$app" "$prog" "${comics[@]}") ||
  fail "$stored of 6 strips stored: $(ls -R "$prog/Comics")"
wait_idle "$app" || fail "panelwick stays busy after the update"

dialog=$(key_until_dialog "$wid" ctrl+s '^Settings$')
[ -n "$dialog" ] || fail "Ctrl+S opened no settings dialog after the update"
for _ in 1 2 3 4 5; do
  press_key "$dialog" Escape
  for _ in $(seq 30); do xwininfo -id "$dialog" 2>/dev/null | grep -q IsViewable || break 2; sleep 0.1; done
done
xwininfo -id "$dialog" 2>/dev/null | grep -q IsViewable && fail "Escape did not close the settings dialog"
wmctrl -i -c "$wid"
wait_gone "$app" 30 || fail "panelwick did not end"
echo "advanced info: 1 passed, 0 failed"
