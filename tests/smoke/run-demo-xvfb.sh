#!/usr/bin/env bash
# The README's first command as a user meets it: tools/demo/run-demo.sh (on the build it
# is given) opens the window, updates its eight comics (six of the comic site's format, a
# feed and a page with a picture) at start with Advanced Info shown,
# and every comic ends with the program idle. Closing the window ends the demo and its site.
# Usage: run-demo-xvfb.sh PANELWICK_BINARY SOURCE_DIR
set -euo pipefail
bin=$1
src=$2
# shellcheck source=x-session.sh
. "$(dirname "$0")/x-session.sh"
x_test_begin demo
private_home
x_session_start

: >"$work/demo.out"
PANELWICK_DEMO_BUILD=$(dirname "$bin") bash "$src/tools/demo/run-demo.sh" --no-build >"$work/demo.out" 2>&1 &
demo=$!
pids+=($demo)
demo_fail() { cat "$work/demo.out" >&2; fail "$@"; }

prog=""
for _ in $(seq 600); do
  prog=$(sed -n 's/^starting Panelwick on \([^;]*\);.*/\1/p' "$work/demo.out")
  [ -n "$prog" ] && break
  kill -0 "$demo" 2>/dev/null || demo_fail "the demo ended before starting Panelwick"
  sleep 0.1
done
[ -n "$prog" ] || demo_fail "the demo did not start Panelwick"
demo_work=$(dirname "$prog")
trap 'x_cleanup; rm -rf "$demo_work"' EXIT
site_nginx=$(cat "$demo_work/site/nginx.pid.demo")

app=""
for _ in $(seq 100); do app=$(pgrep -P "$demo" -x panelwick || true); [ -n "$app" ] && break; sleep 0.1; done
[ -n "$app" ] || demo_fail "no panelwick process under the demo"
wid=$(wait_window '^Panelwick$')
[ -n "$wid" ] || demo_fail "no Panelwick window appeared"
[ -n "$(wait_window '^Advanced Info$')" ] || demo_fail "the demo's update at start did not show Advanced Info"

comics=("Pixel Cats" "Night Shift" "Garden Gnomes" "Loop Street" "Tea Break" "Sun Porch" "Feed Frogs" "Moon Diary")
stored=$(wait_strips "$app" "$prog" "${comics[@]}") || demo_fail "$stored of 8 strips stored by the demo"
wait_idle "$app" || demo_fail "panelwick stays busy after the demo's update"

wmctrl -i -c "$wid"
wait_gone "$demo" 30 || demo_fail "the demo did not end with its window"
wait "$demo" || demo_fail "the demo ended with status $?"
wait_gone "$site_nginx" 10 || demo_fail "the demo site's nginx still runs after the demo"
echo "demo: 1 passed, 0 failed"
