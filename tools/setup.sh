#!/usr/bin/env bash
# Installs whatever a fresh Debian machine lacks for building and testing, idempotently.
set -euo pipefail
export DEBIAN_FRONTEND=noninteractive

SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"

packages=(
  g++-mingw-w64-i686-posix mingw-w64-tools libz-mingw-w64-dev
  wine wine32 xvfb xauth xdotool imagemagick
  fonts-wqy-zenhei fonts-wqy-microhei locales
  cmake ninja-build dpkg-dev googletest
  liblnk-utils unzip python3 python3-pil x11-xserver-utils x11-utils
)

need_update=0
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $SUDO dpkg --add-architecture i386
  need_update=1
fi

# Source entries for the suites already in use, so minizip's source package can be fetched.
src_list=/etc/apt/sources.list.d/debian-src.sources
if [ ! -f "$src_list" ] && [ -f /etc/apt/sources.list.d/debian.sources ]; then
  sed -e 's/^Types: deb$/Types: deb-src/' /etc/apt/sources.list.d/debian.sources | $SUDO tee "$src_list" >/dev/null
  need_update=1
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  need_update=1
fi
if [ $need_update -eq 1 ]; then
  $SUDO apt-get update -qq
fi
if [ ${#missing[@]} -gt 0 ]; then
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

if ! locale -a 2>/dev/null | grep -qi '^zh_CN\.utf8$'; then
  grep -q '^zh_CN.UTF-8 UTF-8' /etc/locale.gen 2>/dev/null || echo 'zh_CN.UTF-8 UTF-8' | $SUDO tee -a /etc/locale.gen >/dev/null
  $SUDO locale-gen >/dev/null
fi
