#!/usr/bin/env bash
# Batch update of many comics from a loopback nginx, set against curl --http1.0 making
# the same requests from the same nginx in the same run: every comic's page (kept in
# memory by us, so curl writes it to /dev/null) and the strip of every comic whose date
# is new, written to one file per strip (--create-dirs) as we do; and curl writing
# everything to /dev/null. Goals: wall and CPU <= 1.2x curl writing the strips on tmpfs;
# peak RSS <= 60 MB at 10,000 comics, and flat (the RSS per comic tends to 0).
#
# Runs everything once with the work folder on tmpfs (/dev/shm), which leaves the file
# system out of the figure, and once on the disk (DISK_DIR, default /var/tmp). Each tool
# runs RUNS times, interleaved, and the best wall and best CPU time of each are shown:
# the machine is shared, so wall times are noisy; CPU times (user + sys) much less.
#
# When BUILD_DIR was configured with -DPANELWICK_BENCH=ON, the same update also runs once
# in the window (bench_update_window: the real main and Advanced Info windows, under Xvfb
# when it is installed, else offscreen) and the longest gap of a 10 ms timer shows how
# responsive the window stays (goal <= 50 ms).
#
# With TLS=1 the site speaks https (a certificate for 127.0.0.1 from a CA made here, which
# panelwick trusts through SSL_CERT_FILE and curl through --cacert), and one more panelwick
# run with nginx logging $ssl_session_reused counts the full and resumed handshakes.
#
# Usage: [DISK_DIR=DIR] [TLS=1] bench/update/run.sh [BUILD_DIR] [COUNT] [RUNS]
#        (defaults: build, 10000, 3; FILESYSTEMS="tmpfs disk" chooses where to run)
set -euo pipefail
cd "$(dirname "$0")/../.."
root=$(pwd)
build=${1:-$root/build}
count=${2:-10000}
runs=${3:-3}
[ -x "$build/panelwick" ] || { echo "no $build/panelwick: build it first" >&2; exit 2; }

window_bench=$(find "$build/bench/update" -name bench_update_window -type f -perm -u+x 2>/dev/null | head -n1 || true)

work=""
nginx_pid=""
xvfb_pid=""
cleanup() {
  if [ -n "$nginx_pid" ]; then kill "$nginx_pid" 2>/dev/null || true; wait "$nginx_pid" 2>/dev/null || true; fi
  [ -n "$work" ] && rm -rf "$work"
  nginx_pid=""
  work=""
}
trap 'cleanup; [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null' EXIT

# The window's platform: a private Xvfb display, else offscreen.
platform=offscreen
if [ -n "$window_bench" ] && command -v Xvfb >/dev/null; then
  for n in $(seq 150 199); do
    if [ ! -e "/tmp/.X11-unix/X$n" ] && [ ! -e "/tmp/.X$n-lock" ]; then
      Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp -noreset >/dev/null 2>&1 &
      xvfb_pid=$!
      for _ in $(seq 100); do [ -e "/tmp/.X11-unix/X$n" ] && break; sleep 0.05; done
      platform=xcb
      export DISPLAY=:$n
      break
    fi
  done
fi

# measure LABEL OUT command...: appends "LABEL wall rss fds cpu" to $work/results.
# Each run starts with the writes of the one before (and of the copies and removals
# between runs) on the disk: otherwise their write-back lands on whoever runs next.
measure() {
  local label=$1 out=$2
  shift 2
  sync
  echo "$label $(python3 "$root/bench/update/measure.py" "$out" -- "$@")" >>"$work/results"
}

bench_in() { # PARENT_DIR LABEL
  work=$(mktemp -d "$1/panelwick-bench.XXXXXX")
  local where=$2
  mkdir -p "$work/site/html" "$work/site/logs" "$work/site/tmp"
  python3 "$root/bench/update/make-site.py" "$work/site/html" "$work/program" "$count"
  local port
  port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')
  local user_line=""
  [ "$(id -u)" -eq 0 ] && user_line="user root;"
  local scheme=http listen_tls="" tls_lines="" http_lines="" curl_tls=()
  if [ "${TLS:-0}" = 1 ]; then
    openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -days 2 \
      -subj "/CN=Bench CA" -keyout "$work/ca.key" -out "$work/ca.pem" 2>/dev/null
    openssl req -new -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -subj "/CN=127.0.0.1" \
      -keyout "$work/site.key" -out "$work/site.csr" 2>/dev/null
    printf 'subjectAltName=IP:127.0.0.1\n' >"$work/site.ext"
    openssl x509 -req -in "$work/site.csr" -CA "$work/ca.pem" -CAkey "$work/ca.key" -CAcreateserial -days 2 \
      -extfile "$work/site.ext" -out "$work/site.pem" 2>/dev/null
    scheme=https
    listen_tls=" ssl"
    tls_lines="ssl_certificate $work/site.pem; ssl_certificate_key $work/site.key;
    ssl_session_cache shared:bench:10m; access_log $work/site/logs/tls.log reused;"
    http_lines="log_format reused \$ssl_session_reused;"
    curl_tls=(--cacert "$work/ca.pem")
    export SSL_CERT_FILE="$work/ca.pem"
  fi
  cat >"$work/site/nginx.conf" <<CONF
$user_line
daemon off;
worker_processes 1;
pid $work/site/nginx.pid;
error_log $work/site/logs/error.log;
events { worker_connections 4096; }
http {
  access_log off;
  client_body_temp_path $work/site/tmp;
  proxy_temp_path $work/site/tmp;
  fastcgi_temp_path $work/site/tmp;
  uwsgi_temp_path $work/site/tmp;
  scgi_temp_path $work/site/tmp;
  types { text/html html; image/gif gif; image/jpeg jpg; }
  $http_lines
  server { listen 127.0.0.1:$port$listen_tls backlog=4096; root $work/site/html; $tls_lines }
}
CONF
  nginx -c "$work/site/nginx.conf" -p "$work/site" >/dev/null 2>&1 &
  nginx_pid=$!
  local base="$scheme://127.0.0.1:$port"
  for _ in $(seq 50); do curl -fs "${curl_tls[@]}" -o /dev/null "$base/c0000/index.html" && break; sleep 0.1; done
  export PANELWICK_SITE_BASE="$base"

  # The same requests for curl: pages to /dev/null, strips to their files.
  awk -F'\t' -v base="$base" -v out="$work/curl-files" '{
      printf "url = \"%s%s\"\n", base, $1
      if ($2 == "") print "output = \"/dev/null\""; else printf "output = \"%s/%s\"\n", out, $2 }' \
    "$work/requests.txt" >"$work/curl-files.cfg"
  awk -F'\t' -v base="$base" '{ printf "url = \"%s%s\"\noutput = \"/dev/null\"\n", base, $1 }' \
    "$work/requests.txt" >"$work/curl-null.cfg"

  # One chosen comic: the program's own size, for the memory per comic.
  mkdir -p "$work/one"
  cp "$work/program/Comics.urls" "$work/one/"
  printf '[Comics]\r\nComic 0001=1\r\n[Downloads]\r\nMaxSimDownloads=99\r\n' >"$work/one/panelwick.ini"
  : >"$work/results"
  measure one "$work/one.out" "$build/panelwick" --batch-update --program-folder "$work/one"

  for run in $(seq "$runs"); do
    rm -rf "$work/run" "$work/curl-files"
    cp -a "$work/program" "$work/run"
    measure panelwick "$work/pw.out" "$build/panelwick" --batch-update --program-folder "$work/run"
    local summary
    summary=$(tail -n 1 "$work/pw.out")
    [ "$summary" = "$((count - count / 2)) updated, $((count / 2)) didn't need a update, 0 failed." ] ||
      echo "run $run: unexpected summary: $summary" >&2
    measure curl-files "$work/curl.out" \
      curl --http1.0 -s --fail "${curl_tls[@]}" --parallel --parallel-max 99 --create-dirs -K "$work/curl-files.cfg"
    measure curl-null "$work/curl.out" \
      curl --http1.0 -s --fail "${curl_tls[@]}" --parallel --parallel-max 99 -K "$work/curl-null.cfg"
  done
  local handshakes=""
  if [ "${TLS:-0}" = 1 ]; then
    # One more panelwick run alone in the log: "r" is a resumed handshake, "." a full one.
    rm -rf "$work/run"
    cp -a "$work/program" "$work/run"
    mv "$work/site/logs/tls.log" "$work/site/logs/tls.before"
    kill -USR1 "$nginx_pid"
    for _ in $(seq 50); do [ -e "$work/site/logs/tls.log" ] && break; sleep 0.1; done
    "$build/panelwick" --batch-update --program-folder "$work/run" >/dev/null
    local full resumed
    full=$(grep -c '^\.$' "$work/site/logs/tls.log" || true)
    resumed=$(grep -c '^r$' "$work/site/logs/tls.log" || true)
    handshakes="  handshakes of one panelwick run: $full full, $resumed resumed, for $count comics ($((count - count / 2)) with a strip): $(echo "scale=2; ($full + $resumed) / $count" | bc -l) per comic, $(echo "scale=3; $full / $count" | bc -l) full per comic"
  fi
  local strips_pw strips_curl
  strips_pw=$(find "$work/run/Comics" -type f -size +0 ! -name '*.unr' | wc -l)
  strips_curl=$(find "$work/curl-files" -type f | wc -l)
  [ "$strips_pw" -eq "$strips_curl" ] || echo "panelwick stored $strips_pw strips, curl $strips_curl" >&2

  local window_line=""
  if [ -n "$window_bench" ]; then
    # The same update from the window's "&Update Comics", Advanced Info shown.
    rm -rf "$work/window" "$work/home"
    cp -a "$work/program" "$work/window"
    sed -i 's/^UpdateProgramStart=1\r$/UpdateProgramStart=0\r\nShowAdvancedInfo=1\r/' "$work/window/panelwick.ini"
    mkdir -p "$work/home/runtime" && chmod 700 "$work/home/runtime"
    window_line=$(HOME=$work/home XDG_CONFIG_HOME=$work/home/.config XDG_DATA_HOME=$work/home/.local/share \
      XDG_RUNTIME_DIR=$work/home/runtime QT_QPA_PLATFORM=$platform \
      "$window_bench" "$work/window" 2>"$work/window.err" | tail -n 1)
    # A box during the run means a broken set-up: say so.
    grep -m 3 "message box during the benchmark" "$work/window.err" >&2 || true
  fi

  python3 - "$where" "$count" "$runs" "$work/results" <<'PY'
import sys
where, count, runs, path = sys.argv[1], int(sys.argv[2]), int(sys.argv[3]), sys.argv[4]
rows = {}
for line in open(path):
    label, wall, rss, fds, cpu = line.split()
    rows.setdefault(label, []).append((float(wall), int(rss), int(fds), float(cpu)))
def best(label, i):
    return min(r[i] for r in rows[label])
pw_wall, pw_cpu = best("panelwick", 0), best("panelwick", 3)
rss = max(r[1] for r in rows["panelwick"])
one = rows["one"][0][1]
print("== %s: %d comics (half with a new 50 KB strip), pages ~40 KB, MaxSimDownloads 99, best of %d"
      % (where, count, runs))
print("  %-34s %6.2f s wall  %6.2f s CPU" % ("panelwick --batch-update", pw_wall, pw_cpu))
for label, text in [("curl-files", "curl --http1.0, strips to files"),
                    ("curl-null", "curl --http1.0, all to /dev/null")]:
    w, c = best(label, 0), best(label, 3)
    print("  %-34s %6.2f s wall  %6.2f s CPU   panelwick/curl: wall %.2f  CPU %.2f (goal <= 1.2)"
          % (text, w, c, pw_wall / w, pw_cpu / c))
print("  peak RSS %.1f MB (goal <= 60 MB at 10,000); one comic alone %.1f MB; per comic %.2f KB"
      % (rss / 1024, one / 1024, (rss - one) / count))
print("  peak open descriptors %d" % max(r[2] for r in rows["panelwick"]))
PY
  [ -n "$window_line" ] && echo "  in the window ($platform): $window_line"
  [ -n "$handshakes" ] && echo "$handshakes"
  cleanup
}

echo "load before: $(cut -d' ' -f1-3 /proc/loadavg) (2 cores, shared)"
for fs in ${FILESYSTEMS:-tmpfs disk}; do
  case $fs in
  tmpfs) bench_in /dev/shm "tmpfs (/dev/shm)${TLS:+, https}" ;;
  disk) bench_in "${DISK_DIR:-/var/tmp}" "disk (${DISK_DIR:-/var/tmp}, $(stat -f -c %T "${DISK_DIR:-/var/tmp}"))" ;;
  *) echo "unknown file system choice $fs" >&2; exit 2 ;;
  esac
done
echo "load after: $(cut -d' ' -f1-3 /proc/loadavg)"
