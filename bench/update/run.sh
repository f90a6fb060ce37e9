#!/usr/bin/env bash
# Batch update of many comics from a loopback nginx compared with curl fetching the
# same URLs in parallel (and, since our client speaks HTTP/1.0 with a connection per
# request, against curl --http1.0 too). Prints wall times, both ratios (goal <= 1.3
# against plain curl), Panelwick's peak resident memory (goal <= 80 MB) and its peak
# count of open descriptors. On ext4 without a journal, creating files stays slow for
# a while after many creations and deletions, so results vary from run to run there;
# TMPDIR=/dev/shm runs everything on tmpfs, which leaves out the file system.
#
# Usage: [TMPDIR=DIR] bench/update/run.sh [BUILD_DIR] [COUNT]   (defaults: build, 1000)
set -euo pipefail
cd "$(dirname "$0")/../.."
root=$(pwd)
build=${1:-$root/build}
count=${2:-1000}
[ -x "$build/panelwick" ] || { echo "no $build/panelwick: build it first" >&2; exit 2; }

work=$(mktemp -d "${TMPDIR:-/tmp}/panelwick-bench.XXXXXX")
nginx_pid=""
cleanup() { [ -n "$nginx_pid" ] && kill "$nginx_pid" 2>/dev/null; rm -rf "$work"; }
trap cleanup EXIT

mkdir -p "$work/site/html" "$work/site/logs" "$work/site/tmp"
python3 "$root/bench/update/make-site.py" "$work/site/html" "$work/program" "$count"
port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')
user_line=""
[ "$(id -u)" -eq 0 ] && user_line="user root;"
cat > "$work/site/nginx.conf" <<CONF
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
  server { listen 127.0.0.1:$port backlog=4096; root $work/site/html; }
}
CONF
nginx -c "$work/site/nginx.conf" -p "$work/site" >/dev/null 2>&1 &
nginx_pid=$!
base="http://127.0.0.1:$port"
for _ in $(seq 50); do curl -fs -o /dev/null "$base/c0000/index.html" && break; sleep 0.1; done

# Panelwick, with its descriptors sampled while it runs.
export PANELWICK_SITE_BASE="$base"
read -r pw_wall rss_kb peak_fds pw_cpu < <(python3 "$root/bench/update/measure.py" "$work/out" -- \
  "$build/panelwick" --batch-update --program-folder "$work/program")
summary=$(tail -n 1 "$work/out")

# curl on the same URLs.
sed "s|^|url = \"$base|; s|\$|\"\noutput = \"/dev/null\"|" "$work/urls.txt" > "$work/curl.cfg"
read -r curl_wall _ _ curl_cpu < <(python3 "$root/bench/update/measure.py" "$work/curl.out" -- \
  curl -s --fail --parallel --parallel-max 99 -K "$work/curl.cfg" -w "%{size_download}\\n")
# Our client speaks HTTP/1.0 and closes every connection: curl doing the same.
read -r curl10_wall _ _ curl10_cpu < <(python3 "$root/bench/update/measure.py" "$work/curl10.out" -- \
  curl --http1.0 -s --fail --parallel --parallel-max 99 -K "$work/curl.cfg" -w "%{size_download}\\n")

curl_bytes=$(awk '{s += $1} END {print s}' "$work/curl.out")
curl10_bytes=$(awk '{s += $1} END {print s}' "$work/curl10.out")
echo "curl fetched $(wc -l < "$work/curl.out") URLs, $curl_bytes bytes; with --http1.0 $(wc -l < "$work/curl10.out") URLs, $curl10_bytes bytes"
python3 - "$count" "$pw_wall" "$curl_wall" "$rss_kb" "$peak_fds" "$summary" "$pw_cpu" "$curl_cpu" \
  "$curl10_wall" "$curl10_cpu" <<'PY'
import sys
count, pw, curl, rss, fds = int(sys.argv[1]), float(sys.argv[2]), float(sys.argv[3]), int(sys.argv[4]), int(sys.argv[5])
curl10 = float(sys.argv[9])
print("comics: %d (half new), pages ~30 KB, strips 50 KB, MaxSimDownloads 99" % count)
print("panelwick --batch-update: %.2f s wall, %s s CPU  (%s)" % (pw, sys.argv[7], sys.argv[6]))
print("curl --parallel-max 99, %d URLs: %.2f s wall, %s s CPU" % (count * 2, curl, sys.argv[8]))
print("curl --http1.0 --parallel-max 99, %d URLs: %.2f s wall, %s s CPU" % (count * 2, curl10, sys.argv[10]))
print("wall ratio: %.2f (goal <= 1.3)" % (pw / curl))
print("wall ratio against curl --http1.0: %.2f" % (pw / curl10))
print("peak RSS: %.1f MB (goal <= 80 MB)" % (rss / 1024))
print("peak open descriptors while running: %d" % fds)
PY
