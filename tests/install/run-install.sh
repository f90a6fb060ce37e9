#!/usr/bin/env bash
# Installs the build into a temporary prefix and checks it like a packager and a user
# would: the installed files and their validators, the command line, and a batch update
# of the installed program that keeps everything in a temporary home and writes nothing
# under the prefix.
# Usage: run-install.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
build=$1
source=$2
work=$(mktemp -d /tmp/panelwick-install-XXXXXX)
site="$work/site"
cleanup() {
  [ -d "$site" ] && bash "$source/tools/demo/site.sh" stop "$site" >/dev/null 2>&1 || true
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

prefix="$work/prefix"
cmake --install "$build" --prefix "$prefix" >/dev/null
id=org.panelwick.Panelwick
for f in bin/panelwick share/panelwick/Comics.urls share/panelwick/Help/index.html \
  share/applications/$id.desktop share/metainfo/$id.metainfo.xml share/man/man1/panelwick.1 \
  share/icons/hicolor/32x32/apps/$id.png share/icons/hicolor/64x64/apps/$id.png \
  share/icons/hicolor/128x128/apps/$id.png share/icons/hicolor/scalable/apps/$id.svg; do
  [ -f "$prefix/$f" ] || fail "not installed: $f"
done
[ -x "$prefix/bin/panelwick" ] || fail "bin/panelwick is not executable"
[ -n "$(find "$prefix" -path '*/panelwick/modules/panelwick-window.so')" ] || fail "the window's module is not installed"
[ -n "$(find "$prefix" -path '*/panelwick/modules/panelwick-print.so')" ] || fail "the print module is not installed"
for size in 32 64 128; do
  [ "$(identify -format '%wx%h' "$prefix/share/icons/hicolor/${size}x${size}/apps/$id.png")" = "${size}x${size}" ] ||
    fail "the ${size} px icon has another size"
done
desktop-file-validate "$prefix/share/applications/$id.desktop" || fail "desktop-file-validate"
# A browser's "subscribe" and a file manager's "open with" reach the program: once the
# menu's cache is brought up to date (as Debian's trigger does after installing), xdg-mime
# names it for feeds where nothing else claims them.
grep -qx 'Exec=panelwick %u' "$prefix/share/applications/$id.desktop" || fail "the menu entry passes no address"
update-desktop-database "$prefix/share/applications" || fail "update-desktop-database"
for type in x-scheme-handler/feed application/rss+xml application/atom+xml; do
  handler=$(env -i PATH="$PATH" HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" \
    XDG_DATA_HOME="$work/home/.local/share" XDG_CONFIG_DIRS="$work/no-config" XDG_DATA_DIRS="$prefix/share" \
    xdg-mime query default "$type")
  [ "$handler" = "$id.desktop" ] || fail "xdg-mime names \"$handler\" for $type"
done
appstreamcli validate --no-net "$prefix/share/metainfo/$id.metainfo.xml" >"$work/appstream.log" 2>&1 ||
  { cat "$work/appstream.log" >&2; fail "appstreamcli validate"; }
groff -man -Tutf8 -ww -z "$prefix/share/man/man1/panelwick.1" 2>"$work/man.log" && [ ! -s "$work/man.log" ] ||
  { cat "$work/man.log" >&2; fail "the man page has warnings"; }

# The command line needs no display.
bin="$prefix/bin/panelwick"
unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM
"$bin" --help >"$work/help" || fail "--help did not exit 0"
# Every option the program takes, in --help and in the man page (rendered as a reader sees it).
LC_ALL=C groff -man -Tascii -P-cbou "$prefix/share/man/man1/panelwick.1" >"$work/man.txt" 2>/dev/null
for option in --program-folder --batch-update --add-comic --name --import-opml --export-opml -h --help --version; do
  grep -Eq -- "^  (-[a-z], )?$option( |,|$)" "$work/help" || fail "--help does not list $option"
  grep -Eq -- "(^|[ [|])$option( |$|])" "$work/man.txt" || fail "the man page does not list $option"
done
"$bin" --version >"$work/version" || fail "--version did not exit 0"
grep -Eq '^Panelwick 1\.1 \(build 1\.1' "$work/version" || fail "--version printed: $(cat "$work/version")"
set +e
"$bin" --no-such-option >"$work/out" 2>"$work/err"
rc=$?
set -e
[ "$rc" = 2 ] || fail "an unknown option exited $rc"
[ -s "$work/out" ] && fail "an unknown option printed to standard output"
grep -q -- "--no-such-option" "$work/err" && grep -q "^Usage: panelwick" "$work/err" ||
  fail "an unknown option did not print the usage to standard error"

# A user's first batch update of the installed program, in a temporary home.
export HOME="$work/home"
export XDG_CONFIG_HOME="$HOME/.config" XDG_DATA_HOME="$HOME/.local/share" XDG_CACHE_HOME="$HOME/.cache"
export XDG_RUNTIME_DIR="$HOME"
mkdir -p "$HOME"
snapshot() { (cd "$prefix" && find . -printf '%p %s %T@ %m\n' | sort && find . -type f -exec md5sum {} + | sort); }
snapshot >"$work/before"

# Where the system lets us, the prefix is made read-only in a private mount namespace
# (root writes anywhere otherwise); everywhere the prefix is compared before and after.
run_installed() {
  if unshare -m true 2>/dev/null; then
    unshare -m sh -c 'mount --bind "$1" "$1" && mount -o remount,ro,bind "$1" "$1" && shift && exec "$@"' \
      sh "$prefix" "$bin" "$@"
  else
    "$bin" "$@"
  fi
}

set +e
run_installed --batch-update >"$work/out" 2>"$work/err"
rc=$?
set -e
# No comic chosen yet: the shipped catalogue was read and the configuration is the user's.
[ "$rc" = 2 ] || { cat "$work/err" >&2; fail "first batch update exited $rc"; }
grep -q "No comic is chosen in $XDG_CONFIG_HOME/panelwick/panelwick.ini" "$work/err" ||
  { cat "$work/err" >&2; fail "the configuration is not under XDG_CONFIG_HOME"; }
[ -d "$XDG_CONFIG_HOME/panelwick" ] && [ -d "$XDG_DATA_HOME/panelwick" ] || fail "the user's folders were not made"

# The user's own catalogue replaces the shipped one; the strips go to XDG_DATA_HOME.
base=$(bash "$source/tools/demo/site.sh" start "$site" | tail -n 1)
printf 'Sun Porch\thttp://comics.example/sunporch/index.html\r\n' >"$XDG_CONFIG_HOME/panelwick/Comics.urls"
printf '[Comics]\r\nSun Porch=1\r\n' >"$XDG_CONFIG_HOME/panelwick/panelwick.ini"
set +e
PANELWICK_SITE_BASE="$base" run_installed --batch-update >"$work/out" 2>"$work/err"
rc=$?
set -e
[ "$rc" = 0 ] || { cat "$work/out" "$work/err" >&2; fail "batch update exited $rc"; }
strips=("$XDG_DATA_HOME/panelwick/Comics/Sun Porch/"Sun\ Porch*.png)
[ -f "${strips[0]}" ] || { cat "$work/out" >&2; fail "no PNG strip under XDG_DATA_HOME"; }

# The installed window finds its module: it gets as far as asking for a display platform,
# which here is one that does not exist.
ulimit -c 0
set +e
QT_QPA_PLATFORM=no-such-platform run_installed >"$work/out" 2>"$work/err"
rc=$?
set -e
[ "$rc" != 0 ] && grep -q "no Qt platform plugin could be initialized" "$work/err" &&
  ! grep -q "cannot load" "$work/err" || { cat "$work/err" >&2; fail "the installed window did not start (exit $rc)"; }

snapshot >"$work/after"
cmp -s "$work/before" "$work/after" || { diff "$work/before" "$work/after" >&2; fail "something under the prefix changed"; }
echo "install: 1 passed, 0 failed"
