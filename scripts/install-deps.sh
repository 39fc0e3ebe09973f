#!/usr/bin/env bash
# Installs every Debian package the build, the tests and the tools need
# (clang and its runtime libraries for the fuzz build, libtsan2 for the
# ThreadSanitizer build; Xvfb, xdotool, ImageMagick, a window manager
# (openbox) and xwininfo (x11-utils) for the run on a real X server;
# libx11-dev for the caps and num lock panes, read through the X keyboard
# extension; DejaVu Sans Condensed, from fonts-dejavu-extra, for the
# printout; clang-format-14 for scripts/check-format; the X damage
# extension (libxcb-damage0-dev) for the start-up benchmark).
# Idempotent: runs apt-get only when something is missing, silent otherwise.
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config
  qt6-base-dev qt6-base-dev-tools qt6-tools-dev-tools libgl-dev libx11-dev
  libmodbus-dev zlib1g-dev libminizip-dev libcurl4-openssl-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  locales unrtf socat zip poppler-utils python3-pymodbus python3-serial python3-serial-asyncio
  clang libclang-rt-14-dev libtsan2 clang-format-14
  xvfb xdotool imagemagick libxcb-cursor0 fonts-dejavu-core fonts-dejavu-extra
  openbox x11-utils libxcb-damage0-dev
)

# Each listing is taken whole before it is searched: under pipefail a grep -q
# that stops early would fail the pipe (SIGPIPE) and look like "missing".
missing=()
for p in "${packages[@]}"; do
  if [ "$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)" != "install ok installed" ]; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "install-deps: installing ${missing[*]}"
  SUDO=
  [ "$(id -u)" -eq 0 ] || SUDO=sudo
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# The number-format tests run under a decimal-comma locale; make one if the
# machine has none.
if ! grep -qiE '^(de_DE|it_IT)\.utf-?8$' <<<"$(locale -a 2>/dev/null || true)"; then
  SUDO=
  [ "$(id -u)" -eq 0 ] || SUDO=sudo
  if [ -f /etc/locale.gen ]; then
    $SUDO sed -i 's/^# *\(it_IT.UTF-8 UTF-8\)/\1/' /etc/locale.gen
    grep -q '^it_IT.UTF-8 UTF-8' /etc/locale.gen || echo 'it_IT.UTF-8 UTF-8' | $SUDO tee -a /etc/locale.gen >/dev/null
    $SUDO locale-gen >/dev/null
  else
    $SUDO localedef -i it_IT -f UTF-8 it_IT.UTF-8
  fi
fi
