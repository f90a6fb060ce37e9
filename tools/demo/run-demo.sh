#!/usr/bin/env bash
# Sets up and runs Panelwick against the offline demo comic site: installs the
# packages, builds, starts the site on loopback, prepares a demo program folder and
# starts Panelwick on it. The site stops when Panelwick ends.
#
# Usage: tools/demo/run-demo.sh [--batch] [--no-build]
#   --batch     update once with --batch-update instead of opening the window
#   --no-build  use the existing build
set -euo pipefail
cd "$(dirname "$0")/../.."
root=$(pwd)
batch=0
build=1
for a in "$@"; do
  case "$a" in
    --batch) batch=1 ;;
    --no-build) build=0 ;;
    *) echo "unknown option $a" >&2; exit 2 ;;
  esac
done

build_dir=${PANELWICK_DEMO_BUILD:-$root/build-demo}
if [ "$build" -eq 1 ]; then
  bash scripts/install-deps.sh
  cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DPANELWICK_TESTS=OFF >/dev/null
  cmake --build "$build_dir" --target panelwick -j "$(nproc)"
fi

work=$(mktemp -d /tmp/panelwick-demo.XXXXXX)
site="$work/site"
program="$work/program"
mkdir -p "$site" "$program"
cleanup() { bash "$root/tools/demo/site.sh" stop "$site"; }
trap cleanup EXIT

base=$(bash "$root/tools/demo/site.sh" start "$site" | tail -n 1)
echo "demo comic site at $base (files in $site)"

# The catalogue names the built-in site; PANELWICK_SITE_BASE points it at the demo. The
# last two comics are a feed and a page with a picture.
site_const="http://comics.example"
{
  printf 'Pixel Cats\t%s/pixelcats/index.html\r\n' "$site_const"
  printf 'Night Shift\t%s/nightshift/index.html\r\n' "$site_const"
  printf 'Garden Gnomes\t%s/gardengnomes/index.html\r\n' "$site_const"
  printf 'Loop Street\t%s/loopstreet/index.html\r\n' "$site_const"
  printf 'Tea Break\t%s/teabreak/index.html\r\n' "$site_const"
  # One comic lives on the https side of the site: its own site, trusted through the demo CA.
  printf 'Sun Porch\t%s/sunporch/index.html\r\n' "$(cat "$site/secure-base")"
  printf 'Feed Frogs\t%s/feedfrogs/rss.xml\r\n' "$site_const"
  printf 'Moon Diary\t%s/moondiary/index.html\r\n' "$site_const"
} > "$program/Comics.urls"
[ -d "$build_dir/Help" ] && cp -r "$build_dir/Help" "$program/"
printf '[Comics]\r\nPixel Cats=1\r\nNight Shift=1\r\nGarden Gnomes=1\r\nLoop Street=1\r\nTea Break=1\r\nSun Porch=1\r\nFeed Frogs=1\r\nMoon Diary=1\r\nCurrentComic=Pixel Cats\r\n[Updates]\r\nShowAdvancedInfo=1\r\nUpdateProgramStart=1\r\n[Downloads]\r\nMaxSimDownloads=3\r\n' \
  > "$program/panelwick.ini"

export PANELWICK_SITE_BASE="$base"
# Only this program trusts the demo CA (it replaces the system's certificate file for it alone).
export SSL_CERT_FILE="$site/ca.pem"
if [ "$batch" -eq 1 ]; then
  "$build_dir/panelwick" --batch-update --program-folder "$program"
else
  echo "starting Panelwick on $program; a new strip appears on the site every ${PANELWICK_DEMO_INTERVAL:-60} s (Ctrl+U updates)"
  "$build_dir/panelwick" --program-folder "$program"
fi
