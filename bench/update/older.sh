#!/usr/bin/env bash
# Fetch Older Strips of one comic against a loopback nginx: a feed of 10 items (stored by
# one --batch-update first) whose RFC 5005 archive chain holds COUNT older items in
# documents of 100, every picture a real PNG. Times "panelwick --fetch-older Bench --max
# COUNT" with no pause between requests ([Updates] OlderStripsPause=0), RUNS times on a fresh
# copy of the store, and prints the best wall and CPU time and the peak RSS; then the
# same COUNT strips fetched by curl --http1.0 (one process, the same requests) for scale.
#
# Usage: bench/update/older.sh [BUILD_DIR] [COUNT] [RUNS]   (defaults: build, 1000, 3)
set -euo pipefail
cd "$(dirname "$0")/../.."
root=$(pwd)
build=${1:-$root/build}
count=${2:-1000}
runs=${3:-3}
[ -x "$build/panelwick" ] || { echo "no $build/panelwick: build it first" >&2; exit 2; }

work=$(mktemp -d /dev/shm/panelwick-older.XXXXXX)
nginx_pid=""
cleanup() {
  [ -n "$nginx_pid" ] && { kill "$nginx_pid" 2>/dev/null || true; wait "$nginx_pid" 2>/dev/null || true; }
  rm -rf "$work"
}
trap cleanup EXIT

port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')
base="http://127.0.0.1:$port"
mkdir -p "$work/site/html/strips" "$work/site/logs" "$work/site/tmp" "$work/program"
cp "$root/tests/fixtures/images/quadrants.png" "$work/site/html/strip.png"
python3 - "$work" "$base" "$count" <<'PY'
import datetime, sys
work, base, count = sys.argv[1], sys.argv[2], int(sys.argv[3])
day0 = datetime.date(2020, 1, 1)
def item(n):
    d = day0 + datetime.timedelta(days=n)
    return ("<item><title>Strip %d</title><link>%s/s/%d.html</link><pubDate>%s 12:00:00 GMT</pubDate>"
            "<enclosure url=\"%s/strips/%d.png\" type=\"image/png\"/></item>\n"
            % (n, base, n, d.strftime("%a, %d %b %Y"), base, n))
def rss(prev, items):
    link = '<atom:link rel="prev-archive" href="%s"/>' % prev if prev else ""
    return ('<?xml version="1.0"?><rss version="2.0" xmlns:atom="http://www.w3.org/2005/Atom"><channel>'
            "<title>Bench</title>%s\n%s</channel></rss>\n" % (link, "".join(items)))
docs = (count + 99) // 100
open(work + "/site/html/feed.xml", "w").write(
    rss("archive-%d.xml" % (docs - 1), [item(n) for n in range(count + 9, count - 1, -1)]))
for d in range(docs):
    lo, hi = d * 100, min(count, d * 100 + 100)
    open(work + "/site/html/archive-%d.xml" % d, "w").write(
        rss("archive-%d.xml" % (d - 1) if d > 0 else None, [item(n) for n in range(hi - 1, lo - 1, -1)]))
with open(work + "/curl.cfg", "w") as f:
    for n in range(count):
        f.write('url = "%s/strips/%d.png"\noutput = "%s/curl/%d.png"\n' % (base, n, work, n))
PY
user_line=""
[ "$(id -u)" -eq 0 ] && user_line="user root;"
cat >"$work/site/nginx.conf" <<CONF
$user_line
daemon off;
worker_processes 1;
pid $work/site/nginx.pid;
error_log $work/site/logs/error.log;
events { worker_connections 1024; }
http {
  access_log off;
  client_body_temp_path $work/site/tmp;
  proxy_temp_path $work/site/tmp;
  fastcgi_temp_path $work/site/tmp;
  uwsgi_temp_path $work/site/tmp;
  scgi_temp_path $work/site/tmp;
  types { text/xml xml; image/png png; }
  server { listen 127.0.0.1:$port; root $work/site/html;
    location /strips/ { try_files /strip.png =404; } }
}
CONF
nginx -c "$work/site/nginx.conf" -p "$work/site" >/dev/null 2>&1 &
nginx_pid=$!
for _ in $(seq 50); do curl -fs -o /dev/null "$base/feed.xml" && break; sleep 0.1; done

cp "$root/data/Comics.urls" "$work/program/" 2>/dev/null || true
printf 'Bench\t%s/feed.xml\r\n' "$base" >"$work/program/Comics.urls"
printf '[Comics]\r\nBench=1\r\n[Updates]\r\nOlderStripsPause=0\r\n' >"$work/program/panelwick.ini"
export HOME=$work/home XDG_CONFIG_HOME=$work/home/.config XDG_DATA_HOME=$work/home/.local/share
"$build/panelwick" --program-folder "$work/program" --batch-update >/dev/null
cp -a "$work/program" "$work/pristine"

best_wall="" best_cpu="" peak=0
for r in $(seq "$runs"); do
  rm -rf "$work/program" && cp -a "$work/pristine" "$work/program"
  read -r wall rss _fds cpu < <(python3 "$root/bench/update/measure.py" "$work/out" -- \
    "$build/panelwick" --program-folder "$work/program" --fetch-older Bench --max "$count")
  echo "run $r: $(cat "$work/out")"
  stored=$(find "$work/program/Comics/Bench" -name 'Bench2*.png' | wc -l)
  best_wall=$(python3 -c "print(min(x for x in [$wall, ${best_wall:-$wall}]))")
  best_cpu=$(python3 -c "print(min(x for x in [$cpu, ${best_cpu:-$cpu}]))")
  [ "$rss" -gt "$peak" ] && peak=$rss
done
mkdir -p "$work/curl"
read -r cwall _crss _cfds ccpu < <(python3 "$root/bench/update/measure.py" /dev/null -- \
  curl --http1.0 -s -K "$work/curl.cfg")
echo "fetch-older of $count strips ($stored in the store, 10 of them from the update):"
echo "  panelwick: best wall ${best_wall}s, best CPU ${best_cpu}s, peak RSS $((peak / 1024)) MB"
echo "  curl --http1.0, the $count pictures alone: wall ${cwall}s, CPU ${ccpu}s"
