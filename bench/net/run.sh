#!/usr/bin/env bash
# Sets the HTTP client against curl on the same loopback nginx and prints the ratios.
# Usage: bench/net/run.sh [BUILD_DIR]  (default: build-bench, configured with
# -DPANELWICK_BENCH=ON and built here when bench_http is missing).
# Goals: one 200 MB body >= 0.9x curl's throughput; 2,000 GETs of 50 KB with 99 clients
# at once: wall <= 1.2x and CPU <= 1.5x curl's; longest 10 ms timer gap <= 50 ms.
# The 200 MB body also goes over TLS (a second nginx port with a certificate for 127.0.0.1
# from a CA made here; curl gets --cacert, the client SSL_CERT_FILE): >= 0.9x curl's.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$root/build-bench}
bench=$(find "$build" -name bench_http -type f -perm -u+x 2>/dev/null | head -n1 || true)
if [ -z "$bench" ]; then
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DPANELWICK_BENCH=ON -DPANELWICK_TESTS=OFF >/dev/null
  cmake --build "$build" -j 2 --target bench_http
  bench=$(find "$build" -name bench_http -type f -perm -u+x | head -n1)
fi

work=$(mktemp -d)
nginx_pid=""
cleanup() {
  if [ -n "$nginx_pid" ]; then kill "$nginx_pid" 2>/dev/null || true; wait "$nginx_pid" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT

# nginx on a free loopback port, everything in $work.
port=""
for _ in $(seq 1 50); do
  p=$((20000 + RANDOM % 40000))
  if ! (exec 3<>"/dev/tcp/127.0.0.1/$p") 2>/dev/null; then port=$p; break; fi
done
[ -n "$port" ] || { echo "no free port"; exit 1; }
tls_port=""
for _ in $(seq 1 50); do
  p=$((20000 + RANDOM % 40000))
  if [ "$p" != "$port" ] && ! (exec 3<>"/dev/tcp/127.0.0.1/$p") 2>/dev/null; then tls_port=$p; break; fi
done
openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -days 2 -subj "/CN=Bench CA" \
  -keyout "$work/ca.key" -out "$work/ca.pem" 2>/dev/null
openssl req -new -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -subj "/CN=127.0.0.1" \
  -keyout "$work/site.key" -out "$work/site.csr" 2>/dev/null
printf 'subjectAltName=IP:127.0.0.1\n' >"$work/site.ext"
openssl x509 -req -in "$work/site.csr" -CA "$work/ca.pem" -CAkey "$work/ca.key" -CAcreateserial -days 2 \
  -extfile "$work/site.ext" -out "$work/site.pem" 2>/dev/null
mkdir -p "$work/html/small" "$work/logs" "$work/temp"
user=""; [ "$(id -u)" -eq 0 ] && user="user root;"
cat >"$work/nginx.conf" <<CONF
$user
daemon off;
worker_processes 2;
pid $work/nginx.pid;
error_log $work/logs/error.log warn;
events { worker_connections 1024; }
http {
  access_log off;
  sendfile on;
  keepalive_timeout 0;
  client_body_temp_path $work/temp/body; proxy_temp_path $work/temp/proxy;
  fastcgi_temp_path $work/temp/fastcgi; uwsgi_temp_path $work/temp/uwsgi; scgi_temp_path $work/temp/scgi;
  server { listen 127.0.0.1:$port; root $work/html; }
  server { listen 127.0.0.1:$tls_port ssl; ssl_certificate $work/site.pem; ssl_certificate_key $work/site.key;
           root $work/html; }
}
CONF
head -c $((200 * 1024 * 1024)) /dev/urandom >"$work/html/big.bin"
for i in $(seq 1 100); do head -c $((50 * 1024)) /dev/urandom >"$work/html/small/$i.bin"; done
: >"$work/urls.txt"; : >"$work/curl.cfg"
for n in $(seq 0 1999); do
  u="http://127.0.0.1:$port/small/$((n % 100 + 1)).bin"
  echo "$u" >>"$work/urls.txt"
  printf 'url = "%s"\noutput = "/dev/null"\n' "$u" >>"$work/curl.cfg"
done
/usr/sbin/nginx -p "$work" -c "$work/nginx.conf" &
nginx_pid=$!
for _ in $(seq 1 100); do curl -s -o /dev/null "http://127.0.0.1:$port/small/1.bin" && break; sleep 0.1; done

# Runs a command 3 times and prints the best "wall user+sys" pair.
best() {
  local best_wall="" best_cpu=""
  for _ in 1 2 3; do
    local t
    /usr/bin/time -f '%e %U %S' -o "$work/time.txt" "$@" >"$work/out.txt" 2>/dev/null
    read -r w u s <"$work/time.txt"
    local cpu; cpu=$(echo "$u + $s" | bc -l)
    if [ -z "$best_wall" ] || (( $(echo "$w < $best_wall" | bc -l) )); then best_wall=$w; best_cpu=$cpu; fi
  done
  echo "$best_wall $best_cpu"
}

echo "== one 200 MB body into a file =="
read -r cw cc < <(best curl -s --http1.0 -o "$work/curl.bin" "http://127.0.0.1:$port/big.bin")
read -r pw pc < <(best "$bench" one "http://127.0.0.1:$port/big.bin" "$work/pw.bin")
cmp -s "$work/html/big.bin" "$work/pw.bin" || { echo "bench_http stored a different file"; exit 1; }
echo "curl: ${cw}s  panelwick: ${pw}s  throughput ratio (panelwick/curl): $(echo "scale=2; $cw / $pw" | bc -l)  (goal >= 0.9)"

echo "== one 200 MB body into a file, over TLS =="
read -r cw cc < <(best curl -s --http1.0 --cacert "$work/ca.pem" -o "$work/curl.bin" "https://127.0.0.1:$tls_port/big.bin")
read -r pw pc < <(SSL_CERT_FILE="$work/ca.pem" best "$bench" one "https://127.0.0.1:$tls_port/big.bin" "$work/pw.bin")
cmp -s "$work/html/big.bin" "$work/pw.bin" || { echo "bench_http stored a different file over TLS"; exit 1; }
echo "curl: ${cw}s cpu ${cc}s  panelwick: ${pw}s cpu ${pc}s  throughput ratio (panelwick/curl): $(echo "scale=2; $cw / $pw" | bc -l)  (goal >= 0.9)"

echo "== 2,000 GETs of 50 KB, 99 at once =="
read -r cw cc < <(best curl -s --http1.0 --parallel --parallel-max 99 -K "$work/curl.cfg")
read -r pw pc < <(best "$bench" many "$work/urls.txt" 99)
gap=$(sed -n 's/.*max_tick_gap_ms=\([0-9]*\).*/\1/p' "$work/out.txt")
echo "curl: wall ${cw}s cpu ${cc}s  panelwick: wall ${pw}s cpu ${pc}s  ($(cat "$work/out.txt"))"
echo "wall ratio: $(echo "scale=2; $pw / $cw" | bc -l) (goal <= 1.2)  cpu ratio: $(echo "scale=2; $pc / $cc" | bc -l) (goal <= 1.5)"
echo "longest gap between 10 ms timer ticks: ${gap} ms (goal <= 50)"
