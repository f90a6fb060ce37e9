#!/usr/bin/env bash
# Builds the Debian package from the build folder (cpack -G DEB) and checks its name, its
# computed dependencies, its contents, that apt accepts it here, and that the packaged
# program finds its shared files from /usr/bin.
# Usage: run-package.sh BUILD_DIR
set -euo pipefail
build=$1
work=$(mktemp -d /tmp/panelwick-package-XXXXXX)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/out" >"$work/cpack.log" 2>&1 ||
  { cat "$work/cpack.log" >&2; fail "cpack"; }
deb="$work/out/panelwick_1.1_$(dpkg --print-architecture).deb"
[ -f "$deb" ] || { ls "$work/out" >&2; fail "no $(basename "$deb")"; }

depends=$(dpkg-deb -f "$deb" Depends)
for lib in libqt6widgets6 libqt6gui6 libqt6core6 libgif7 libjpeg62-turbo libc6; do
  [[ "$depends" == *"$lib "* ]] || fail "Depends lacks $lib: $depends"
done
[[ "$(dpkg-deb -f "$deb" Recommends)" == *qt6-wayland* ]] || fail "Recommends lacks qt6-wayland"
dpkg-deb -c "$deb" | awk '{print $6}' >"$work/contents"
for f in ./usr/bin/panelwick ./usr/lib/panelwick/modules/panelwick-window.so \
  ./usr/lib/panelwick/modules/panelwick-print.so ./usr/share/applications/org.panelwick.Panelwick.desktop \
  ./usr/share/metainfo/org.panelwick.Panelwick.metainfo.xml ./usr/share/panelwick/Comics.urls \
  ./usr/share/panelwick/Help/index.html ./usr/share/man/man1/panelwick.1 \
  ./usr/share/icons/hicolor/scalable/apps/org.panelwick.Panelwick.svg; do
  grep -qxF "$f" "$work/contents" || fail "the package lacks $f"
done
# Every dependency can be met here (simulated: nothing is installed on this machine).
apt-get install -s "$deb" >"$work/apt.log" 2>&1 || { cat "$work/apt.log" >&2; fail "apt-get cannot install it"; }

dpkg-deb -x "$deb" "$work/root"
# The package ships no maintainer script of its own: desktop-file-utils' trigger on
# /usr/share/applications updates the menu's cache, after which the packaged entry is the
# feed handler where nothing else claims feeds.
dpkg-deb -e "$deb" "$work/control"
[ ! -e "$work/control/postinst" ] || fail "the package has a postinst"
update-desktop-database "$work/root/usr/share/applications" || fail "update-desktop-database"
handler=$(env -i PATH="$PATH" HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" \
  XDG_DATA_HOME="$work/home/.local/share" XDG_CONFIG_DIRS="$work/no-config" XDG_DATA_DIRS="$work/root/usr/share" \
  xdg-mime query default x-scheme-handler/feed)
[ "$handler" = org.panelwick.Panelwick.desktop ] || fail "xdg-mime names \"$handler\" for feeds"
export HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" XDG_DATA_HOME="$work/home/.local/share"
unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM
"$work/root/usr/bin/panelwick" --version | grep -q '^Panelwick 1\.1 ' || fail "--version"
set +e
"$work/root/usr/bin/panelwick" --batch-update >/dev/null 2>"$work/err"
set -e
# The shipped catalogue was found (no "Couldn't read"); nothing is chosen yet.
grep -q "No comic is chosen in $XDG_CONFIG_HOME/panelwick/panelwick.ini" "$work/err" ||
  { cat "$work/err" >&2; fail "the packaged program does not find its files"; }
# The packaged window finds its module: it gets as far as asking for a display platform,
# which here is one that does not exist.
ulimit -c 0
set +e
XDG_RUNTIME_DIR="$work/home" QT_QPA_PLATFORM=no-such-platform "$work/root/usr/bin/panelwick" >/dev/null 2>"$work/err"
rc=$?
set -e
[ "$rc" != 0 ] && grep -q "no Qt platform plugin could be initialized" "$work/err" &&
  ! grep -q "cannot load" "$work/err" || { cat "$work/err" >&2; fail "the packaged window did not start (exit $rc)"; }
# The print module, opened at the first print, loads with what the package depends on.
# A sanitizer build's module takes the sanitizer from the program that opens it, so only
# the normal build can be opened here on its own.
print_module=$work/root/usr/lib/panelwick/modules/panelwick-print.so
if nm -D --undefined-only "$print_module" | grep ' __[a-z]*san_' >/dev/null; then
  echo "package: the print module is a sanitizer build's; opened alone in the normal build only"
else
  python3 -c 'import ctypes, sys; ctypes.CDLL(sys.argv[1]).panelwick_print_build' "$print_module" ||
    fail "the packaged print module does not load"
fi
echo "package: 1 passed, 0 failed"
