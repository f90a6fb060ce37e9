#!/usr/bin/env bash
# Writes cmake/startup-functions.txt: the program's own functions that a start runs up to
# the window shown and idle, in the order first met. The link lays them out side by side,
# so a start reads a few pages of the program's code instead of most of them.
#
# Run it again after larger changes to the start: a function missing from the list only
# lands elsewhere, and a name no longer in the program is passed over. Optimisation levels
# inline differently: give it a build of each kind in use (the list is their union).
#
#   tools/startup-functions.sh [BUILD_DIR...]   (default: build; needs valgrind and Xvfb)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
[ $# -gt 0 ] || set -- "$root/build"
for build in "$@"; do
  [ -x "$build/panelwick" ] || { echo "no $build/panelwick: build it first" >&2; exit 1; }
done
work=$(mktemp -d)
xvfb_pid=""
cleanup() {
  if [ -n "$xvfb_pid" ]; then kill "$xvfb_pid" 2>/dev/null || true; wait "$xvfb_pid" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT

# A small program folder of the same shape as the start-up benchmark's.
python3 "$root/bench/app/make-bench-folder.py" "$work/folder" "$root/bench/imaging/strip.gif" 100 20 200 \
  --unread-in 3 >/dev/null
export HOME=$work/home XDG_CONFIG_HOME=$work/home/.config XDG_DATA_HOME=$work/home/.local/share \
  XDG_CACHE_HOME=$work/home/.cache XDG_RUNTIME_DIR=$work/runtime
mkdir -p "$HOME" "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"

display=""
for n in $(seq 150 199); do
  if [ ! -e "/tmp/.X11-unix/X$n" ] && [ ! -e "/tmp/.X$n-lock" ]; then display=$n; break; fi
done
[ -n "$display" ] || { echo "no free X display number" >&2; exit 1; }
Xvfb ":$display" -screen 0 1280x1024x24 -nolisten tcp -noreset >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
until [ -e "/tmp/.X11-unix/X$display" ]; do sleep 0.05; done
export DISPLAY=:$display

profile() { # PROGRAM OUT: the calls of one start, up to the window idle
  valgrind --tool=callgrind --demangle=no --compress-strings=no --compress-pos=no \
    --callgrind-out-file="$2" "$1" --program-folder "$work/folder" >"$work/valgrind.log" 2>&1 &
  local program_pid=$! pid=""
  # The window's own process id, once it is mapped; a while later it is idle (the button
  # icons come after the first paint).
  for _ in $(seq 1 1200); do
    # Qt's 1x1 helper windows share the title but carry no process id ("not found.").
    pid=$(xprop -name Panelwick _NET_WM_PID 2>/dev/null | awk '$3 ~ /^[0-9]+$/ {print $3}') && [ -n "$pid" ] && break
    sleep 0.1
  done
  [ -n "$pid" ] || { echo "the window never showed" >&2; cat "$work/valgrind.log" >&2; exit 1; }
  sleep 5
  kill -TERM "$pid"
  wait "$program_pid" || true
}
n=0
for build in "$@"; do
  n=$((n + 1))
  profile "$build/panelwick" "$work/calls.$n"
done

python3 - "$root/cmake/startup-functions.txt" "$work"/calls.* <<'EOF'
import sys
out, runs = sys.argv[1], sys.argv[2:]
names, seen = [], set()
def own(path):
    # The executable and the window's module, which it opens at a window's start.
    return path.endswith("/panelwick") or path.endswith("/panelwick-window.so")
def take(name):
    # Addresses without a name cannot be placed.
    if name not in seen and not name.startswith("0x"):
        seen.add(name)
        names.append(name)
for calls in runs:
    obj = called_obj = None
    for line in open(calls, errors="replace"):
        if line.startswith("ob="):
            obj = line[3:].strip()
        elif line.startswith("cob="):
            called_obj = line[4:].strip()
        elif line.startswith("fn="):
            if obj and own(obj):
                take(line[3:].strip())
        elif line.startswith("cfn="):
            where = called_obj or obj
            if where and own(where):
                take(line[4:].strip())
            called_obj = None
with open(out, "w") as f:
    f.write("\n".join(names) + "\n")
print(f"{len(names)} functions written to {out}")
EOF
