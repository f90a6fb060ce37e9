#!/usr/bin/env bash
# The offline demo comic site: nginx on a free loopback port serving a few comics whose
# pages follow the comic site's format, with GIF, JPEG and PNG strips made by ImageMagick and
# dated through the pages' Last-Modified; one comic publishes an RSS feed instead, and one a
# page that names its picture in og:image. A background loop publishes a new strip (the
# next day's) every PANELWICK_DEMO_INTERVAL seconds (default 60), rotating over the comics.
#
# The same files are also served over https (a second port, written to SITE_DIR/secure-base)
# with a certificate for localhost from a demo CA made here (SITE_DIR/ca.pem), which only a
# program started with SSL_CERT_FILE pointing at it trusts.
#
# Usage: site.sh start SITE_DIR   (prints the base address; runs until stopped)
#        site.sh stop SITE_DIR
set -euo pipefail

cmd=${1:?usage: site.sh start|stop SITE_DIR}
site=${2:?usage: site.sh start|stop SITE_DIR}
interval=${PANELWICK_DEMO_INTERVAL:-60}

CONVERT=/usr/bin/convert
[ -x "$CONVERT" ] || CONVERT=convert

# name|slug|extension|background|kind (page: the comic site's format; feed: rss.xml;
# picture: a page with og:image)
COMICS=(
  "Pixel Cats|pixelcats|gif|#ffe9a8|page"
  "Night Shift|nightshift|jpg|#b8d4ff|page"
  "Garden Gnomes|gardengnomes|gif|#c8f0c0|page"
  "Loop Street|loopstreet|jpg|#f4c6e4|page"
  "Tea Break|teabreak|gif|#e0e0e0|page"
  "Sun Porch|sunporch|png|#ffd8a8|page"
  "Feed Frogs|feedfrogs|png|#d0f0e8|feed"
  "Moon Diary|moondiary|jpg|#d8d0f8|picture"
)

free_port() {
  python3 - <<'PY'
import socket
s = socket.socket()
s.bind(("127.0.0.1", 0))
print(s.getsockname()[1])
s.close()
PY
}

# feed SLUG NAME EXT: the comic's rss.xml listing all its strips, newest first, dated by
# pubDate; the strips are escaped <img> in the descriptions.
feed() {
  local slug=$1 name=$2 ext=$3 file newest=""
  {
    printf '<?xml version="1.0" encoding="UTF-8"?>\n<rss version="2.0"><channel>\n'
    printf '<title>%s</title><link>/%s/</link><description>%s, a demo feed</description>\n' "$name" "$slug" "$name"
    for file in $(ls "$site/html/strips/" | grep "^${slug}[0-9]*\.${ext}\$" | sort -r); do
      local stamp=${file#"$slug"}
      stamp=${stamp%."$ext"}
      local day="${stamp:0:4}-${stamp:4:2}-${stamp:6:2}"
      [ -n "$newest" ] || newest=$day
      printf '<item><title>%s of %s</title><link>/%s/%s.html</link><pubDate>%s</pubDate>' \
        "$name" "$day" "$slug" "$stamp" "$(date -u -R -d "$day 12:00:00 UTC")"
      printf '<description>&lt;p&gt;&lt;img src="/strips/%s" alt=""&gt;&lt;/p&gt;</description></item>\n' "$file"
    done
    printf '</channel></rss>\n'
  } > "$site/html/$slug/rss.xml.tmp"
  mv "$site/html/$slug/rss.xml.tmp" "$site/html/$slug/rss.xml"
  touch -d "$newest 12:00:00 UTC" "$site/html/$slug/rss.xml"
}

# publish SLUG EXT BG NAME DATE(YYYY-MM-DD) [KIND]: one strip and the page or feed showing it.
publish() {
  local slug=$1 ext=$2 bg=$3 name=$4 day=$5 kind=${6:-page}
  local stamp=${day//-/}
  local image="archive/images/${slug}${stamp}.${ext}"
  # A feed's or picture page's strips live apart: "archive/images" marks the comic site's format.
  [ "$kind" = page ] || image="strips/${slug}${stamp}.${ext}"
  local format=GIF
  [ "$ext" = jpg ] && format=JPEG
  [ "$ext" = png ] && format=PNG
  "$CONVERT" -size 600x180 "xc:$bg" -fill white -stroke black -strokewidth 2 \
    -draw "rectangle 10,10 195,170" -draw "rectangle 205,10 395,170" -draw "rectangle 405,10 590,170" \
    -stroke none -fill black -font DejaVu-Sans -pointsize 22 \
    -annotate +25+50 "$name" -annotate +220+95 "strip of" -annotate +420+140 "$day" \
    "$format:$site/html/$image.tmp" 2>/dev/null || "$CONVERT" -size 600x180 "xc:$bg" "$format:$site/html/$image.tmp"
  mv "$site/html/$image.tmp" "$site/html/$image"
  mkdir -p "$site/html/$slug"
  echo "$day" > "$site/state/$slug"
  if [ "$kind" = feed ]; then
    feed "$slug" "$name" "$ext"
    return
  fi
  if [ "$kind" = picture ]; then
    cat > "$site/html/$slug/index.html.tmp" <<HTML
<!DOCTYPE html>
<html><head><title>$name</title>
<meta property="og:title" content="$name">
<meta property="og:image" content="/$image">
</head><body><h1>$name</h1><p><img src="/$image" alt="$name of $day"></p></body></html>
HTML
    mv "$site/html/$slug/index.html.tmp" "$site/html/$slug/index.html"
    touch -d "$day 12:00:00 UTC" "$site/html/$slug/index.html"
    return
  fi
  cat > "$site/html/$slug/index.html.tmp" <<HTML
<html><head><title>$name</title></head><body>
<h1>$name</h1>
<p><img src="/archive/images/SendAStrip.gif" alt="Send a strip to a friend"></p>
<center><a href="/$image"><img src="/$image" alt="$name of $day"></a> <!-- archive/images --></center>
</body></html>
HTML
  mv "$site/html/$slug/index.html.tmp" "$site/html/$slug/index.html"
  touch -d "$day 12:00:00 UTC" "$site/html/$slug/index.html"
}

start() {
  mkdir -p "$site/html/archive/images" "$site/html/strips" "$site/logs" "$site/tmp" "$site/state"
  local port sport
  port=$(free_port)
  sport=$(free_port)
  # The demo CA and the site's certificate, made afresh for each run.
  openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -days 30 \
    -subj "/CN=Panelwick Demo CA" -keyout "$site/ca.key" -out "$site/ca.pem" 2>/dev/null
  openssl req -new -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -subj "/CN=localhost" \
    -keyout "$site/site.key" -out "$site/site.csr" 2>/dev/null
  printf 'subjectAltName=DNS:localhost,IP:127.0.0.1\n' > "$site/site.ext"
  openssl x509 -req -in "$site/site.csr" -CA "$site/ca.pem" -CAkey "$site/ca.key" -CAcreateserial \
    -days 30 -extfile "$site/site.ext" -out "$site/site.pem" 2>/dev/null
  local user_line=""
  [ "$(id -u)" -eq 0 ] && user_line="user root;"
  cat > "$site/nginx.conf" <<CONF
$user_line
daemon off;
worker_processes 1;
pid $site/nginx.pid;
error_log $site/logs/error.log;
events { worker_connections 1024; }
http {
  access_log $site/logs/access.log;
  client_body_temp_path $site/tmp;
  proxy_temp_path $site/tmp;
  fastcgi_temp_path $site/tmp;
  uwsgi_temp_path $site/tmp;
  scgi_temp_path $site/tmp;
  types { text/html html; image/gif gif; image/jpeg jpg; image/png png; application/rss+xml xml; }
  server {
    listen 127.0.0.1:$port;
    root $site/html;
  }
  server {
    listen 127.0.0.1:$sport ssl;
    ssl_certificate $site/site.pem;
    ssl_certificate_key $site/site.key;
    root $site/html;
  }
}
CONF
  # Each comic starts with a strip a few days back.
  local i=0
  for entry in "${COMICS[@]}"; do
    IFS='|' read -r name slug ext bg kind <<<"$entry"
    publish "$slug" "$ext" "$bg" "$name" "$(date -u -d "-$((10 + i)) days" +%F)" "$kind"
    i=$((i + 1))
  done
  nginx -c "$site/nginx.conf" -p "$site" >"$site/logs/nginx.out" 2>&1 &
  echo $! > "$site/nginx.pid.demo"
  echo "http://127.0.0.1:$port" > "$site/base"
  echo "https://localhost:$sport" > "$site/secure-base"
  # Wait until it answers.
  for _ in $(seq 50); do
    curl -fs -o /dev/null "http://127.0.0.1:$port/pixelcats/index.html" && break
    sleep 0.1
  done
  (
    n=0
    while sleep "$interval"; do
      entry=${COMICS[$((n % ${#COMICS[@]}))]}
      IFS='|' read -r name slug ext bg kind <<<"$entry"
      last=$(cat "$site/state/$slug")
      publish "$slug" "$ext" "$bg" "$name" "$(date -u -d "$last + 1 day" +%F)" "$kind"
      n=$((n + 1))
    done
  ) >"$site/logs/publisher.out" 2>&1 &
  echo $! > "$site/publisher.pid"
  cat "$site/base"
}

stop() {
  for f in publisher.pid nginx.pid.demo; do
    if [ -f "$site/$f" ]; then
      kill "$(cat "$site/$f")" 2>/dev/null || true
      rm -f "$site/$f"
    fi
  done
}

case "$cmd" in
  start) start ;;
  stop) stop ;;
  *) echo "usage: site.sh start|stop SITE_DIR" >&2; exit 2 ;;
esac
