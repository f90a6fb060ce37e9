#!/usr/bin/env bash
# Start-up and navigation figures of the program.
#   1. Right key to the next strip painted, one comic with 10,000 strips (in-process,
#      offscreen), and the strip store's NextStrip alone on such a folder.
#   2. Start-up to the main window shown and painted with a catalogue of 1,000 comics of
#      which 100 are chosen, 3,650 strips each: in-process (offscreen) and the real
#      program under Xvfb, timed from the outside (window mapped, first drawn into), in
#      the same run as a bare Qt main window with a menu bar and a label (built here).
#      The main figure: nothing unread but three strips in each of ten comics; beside it
#      the older case with nothing unread at all.
#   3. Resident memory of the real program once its window is shown.
#   4. Space with nothing unread: the unread lists of the 100 chosen comics are read.
#   5. The strip area: Right key to a 900 x 300 strip painted at Actual Size (<= 3 ms); a
#      1,000 x 10,000 strip in Fit Width repainted after a resize (<= 16 ms), its memory
#      the picture plus one scaled copy (made once the size has settled).
# Goals: <= 3 ms per key press (NextStrip <= 0.3 ms), start-up to the window mapped
# <= 2x the bare window's, <= 35 MB resident.
# Usage: bench/app/run.sh [RUNS]  (RUNS whole-process starts, default 7). The program
# folders are built once under /tmp/panelwick-bench-app and reused.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=$root/build-bench
runs=${1:-7}
gif=$root/bench/imaging/strip.gif
folders=/tmp/panelwick-bench-app

make_folder() { # NAME ARGS...
  local dir=$folders/$1 stamp
  shift
  stamp="$*"
  if [ "$(cat "$dir.stamp" 2>/dev/null)" != "$stamp" ]; then
    echo "building $dir ($stamp)"
    rm -rf "$dir" "$dir.stamp" "$dir.state"
    python3 "$root/bench/app/make-bench-folder.py" "$dir" "$gif" "$@"
    echo "$stamp" >"$dir.stamp"
  fi
}
mkdir -p "$folders"
make_folder strips 1 1 10000 --link-all
make_folder startup 1000 100 3650
make_folder startup-unread10 1000 100 3650 --unread-in 10
# A start marks the strip it shows read and a close saves the settings: each start begins
# from the folder as it was made, or every run would measure a different state.
keep_state() { # NAME
  local dir=$folders/$1
  rm -rf "$dir.state" && mkdir -p "$dir.state"
  (cd "$dir" && find . \( -name '*.unr' -o -name panelwick.ini \) -print0 | xargs -0 cp --parents -t "$dir.state")
}
restore_state() { cp -a "$folders/$1.state/." "$folders/$1/"; }
for name in startup startup-unread10; do
  [ -d "$folders/$name.state" ] || keep_state "$name"
done

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DPANELWICK_BENCH=ON \
  -DPANELWICK_TESTS=OFF >/dev/null
cmake --build "$build" -j 2 --target panelwick bench_app bench_comics bench_strip_view pw_window_probe \
  pw_bare_window >/dev/null
bench_app=$(find "$build/bench" -name bench_app -type f -perm -u+x | head -n1)
bench_comics=$(find "$build/bench" -name bench_comics -type f -perm -u+x | head -n1)
bench_view=$(find "$build/bench" -name bench_strip_view -type f -perm -u+x | head -n1)
probe=$(find "$build/bench" -name pw_window_probe -type f -perm -u+x | head -n1)
bare=$(find "$build/bench" -name pw_bare_window -type f -perm -u+x | head -n1)

# The program's per-user files go to a throw-away home.
work=$(mktemp -d)
# A desktop session's runtime folder is a tmpfs (/run/user/UID), where the program's
# single-instance socket lives; on a disk, making the socket costs more than it would.
runtime=$(mktemp -d -p /dev/shm 2>/dev/null || mktemp -d)
xvfb_pid=""
cleanup() {
  if [ -n "$xvfb_pid" ]; then kill "$xvfb_pid" 2>/dev/null || true; wait "$xvfb_pid" 2>/dev/null || true; fi
  rm -rf "$work" "$runtime"
}
trap cleanup EXIT
export HOME=$work/home XDG_CONFIG_HOME=$work/home/.config XDG_DATA_HOME=$work/home/.local/share \
  XDG_CACHE_HOME=$work/home/.cache XDG_RUNTIME_DIR=$runtime
mkdir -p "$HOME" "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"

echo "== load before the run: $(cut -d' ' -f1-3 /proc/loadavg) (2 cores shared)"
echo
echo "== strip store alone: NextStrip on a folder of 10,000 strips"
"$bench_comics" --benchmark_filter='(Next|Previous|Newest)Strip10000' 2>&1 | grep -E '^(BM_|-|Benchmark)'
echo
echo "== in-process, offscreen platform: nothing unread but in ten comics"
restore_state startup-unread10
PANELWICK_BENCH_STRIPS_FOLDER=$folders/strips PANELWICK_BENCH_STARTUP_FOLDER=$folders/startup-unread10 \
  QT_QPA_PLATFORM=offscreen "$bench_app" --benchmark_filter='Startup|RightKey' 2>&1
echo "== in-process, offscreen platform: nothing unread at all (the older case)"
restore_state startup
PANELWICK_BENCH_STARTUP_FOLDER=$folders/startup \
  QT_QPA_PLATFORM=offscreen "$bench_app" --benchmark_filter='Startup|Space' 2>&1

echo "== strip area, offscreen: 900 x 300 at Actual Size; 1,000 x 10,000 in Fit Width resized"
QT_QPA_PLATFORM=offscreen "$bench_view" 2>&1 | grep -E '^(BM_|-|Benchmark)'

echo
echo "== whole process under Xvfb, no window manager, $runs starts of each, alternating"
display=""
for n in $(seq 90 140); do
  if [ ! -e "/tmp/.X11-unix/X$n" ] && [ ! -e "/tmp/.X$n-lock" ]; then display=$n; break; fi
done
[ -n "$display" ] || { echo "no free X display number"; exit 1; }
Xvfb ":$display" -screen 0 1280x1024x24 -nolisten tcp -noreset >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
for _ in $(seq 1 100); do
  [ -e "/tmp/.X11-unix/X$display" ] && break
  sleep 0.05
done
export DISPLAY=:$display
unset QT_QPA_PLATFORM
# One untimed start of each warms the page cache, as for a user who has run the program before.
"$probe" "Bare Qt window" "$bare" >/dev/null
restore_state startup-unread10
"$probe" Panelwick "$build/panelwick" --program-folder "$folders/startup-unread10" >/dev/null
restore_state startup
"$probe" Panelwick "$build/panelwick" --program-folder "$folders/startup" >/dev/null
results=()
for i in $(seq 1 "$runs"); do
  line=$("$probe" "Bare Qt window" "$bare")
  echo "run $i bare:           $line"
  results+=("bare $line")
  restore_state startup-unread10
  line=$("$probe" Panelwick "$build/panelwick" --program-folder "$folders/startup-unread10")
  echo "run $i unread in ten:  $line"
  results+=("main $line")
  restore_state startup
  line=$("$probe" Panelwick "$build/panelwick" --program-folder "$folders/startup")
  echo "run $i nothing unread: $line"
  results+=("old $line")
done
printf '%s\n' "${results[@]}" | python3 -c '
import statistics, sys
rows = {}
for l in sys.stdin:
    if l.strip():
        kind, *pairs = l.split()
        rows.setdefault(kind, []).append(dict(kv.split("=") for kv in pairs))
def median(kind, k, scale=1):
    return statistics.median(float(r[k]) for r in rows[kind]) / scale
names = [("bare", "bare Qt window"), ("main", "unread in ten"), ("old", "nothing unread")]
print("median".ljust(20) + "".join(label.rjust(17) for _, label in names))
for k, label, scale in [("map_ms", "window mapped ms", 1), ("paint_ms", "first painted ms", 1),
                        ("main_cpu_ms", "main thread CPU ms", 1), ("main_cpu_wait_ms", "CPU wait ms", 1),
                        ("rss_at_paint_kb", "VmRSS at paint MB", 1024),
                        ("rss_idle_kb", "VmRSS idle MB", 1024), ("hwm_kb", "VmHWM MB", 1024)]:
    print(label.ljust(20) + "".join("%17.1f" % median(kind, k, scale) for kind, _ in names))
for kind, label in names[1:]:
    print("%s: window mapped %.2fx the bare window, first painted %.2fx" % (
        label, median(kind, "map_ms") / median("bare", "map_ms"),
        median(kind, "paint_ms") / median("bare", "paint_ms")))
'
echo "(map/paint: from fork to the window mapped / first drawn into; cpu_wait: time the main"
echo " thread was ready but waited for a CPU, which an idle machine would not spend)"
echo "== load after the run: $(cut -d' ' -f1-3 /proc/loadavg)"
