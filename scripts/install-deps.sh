#!/usr/bin/env bash
# Installs every Debian package needed to build, test, benchmark and run the demo.
# Idempotent: packages already present are left alone.
set -euo pipefail

PKGS=(
  build-essential cmake ninja-build pkg-config clang clang-tidy clang-format libclang-rt-14-dev lld llvm
  qt6-base-dev qt6-base-dev-tools libqt6opengl6-dev libgl-dev
  libfontconfig-dev libgif-dev libjpeg62-turbo-dev giflib-tools libjpeg-turbo-progs imagemagick
  libgtest-dev libgmock-dev libbenchmark-dev
  libssl-dev openssl
  nginx-light tinyproxy dante-server libnss-wrapper apache2-utils curl
  xvfb xdotool openbox wmctrl x11-utils xauth libx11-dev libxdamage-dev
  hsetroot xclip trayer
  poppler-utils cups-daemon cups-client
  fonts-dejavu-core procps psmisc bc time valgrind
  dbus-daemon dbus-bin python3-dbus python3-gi nodejs
  weston qt6-wayland libglib2.0-bin gsettings-desktop-schemas dconf-gsettings-backend dconf-service
  libxcb1-dev desktop-file-utils xdg-utils appstream groff-base dpkg-dev file
)

missing=()
for p in "${PKGS[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "install-deps: all packages present"
  exit 0
fi

SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
# Debian starts services it installs; the tests run their own instances on free ports.
for svc in nginx tinyproxy danted cups; do
  if command -v systemctl >/dev/null 2>&1; then $SUDO systemctl stop "$svc" >/dev/null 2>&1 || true; fi
  $SUDO service "$svc" stop >/dev/null 2>&1 || true
done
echo "install-deps: installed ${missing[*]}"
