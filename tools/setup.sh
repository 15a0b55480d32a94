#!/usr/bin/env bash
# Installs whatever a fresh Debian machine lacks for building and testing, idempotently. Both MinGW-w64
# cross compilers and 64-bit Wine always; 32-bit Wine (the i386 architecture) only where this machine
# runs 32-bit x86 programs (tools/arch.sh).
set -euo pipefail
export DEBIAN_FRONTEND=noninteractive
root=$(cd "$(dirname "$0")/.." && pwd)
source "$root/tools/arch.sh"

SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"

packages=(
  g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix mingw-w64-tools libz-mingw-w64-dev
  wine wine64 xvfb xauth xdotool imagemagick
  fonts-wqy-zenhei fonts-wqy-microhei locales
  cmake ninja-build dpkg-dev googletest
  liblnk-utils unzip python3 python3-pil x11-xserver-utils x11-utils
  osslsigncode openssl git
)

need_update=0
if arch_runs_32bit; then
  packages+=(wine32:i386)
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    $SUDO dpkg --add-architecture i386
    need_update=1
  fi
else
  echo "setup: $arch_probe_result; 32-bit Wine is not installed, the 64-bit build is tested instead"
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
  $SUDO apt-get update -qq || { echo "setup: apt-get update failed: check the network and /etc/apt/sources.list.d" >&2; exit 1; }
fi
if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null || {
    echo "setup: apt-get install of ${missing[*]} failed (run it by hand to see why)" >&2; exit 1; }
fi

if ! locale -a 2>/dev/null | grep -qi '^zh_CN\.utf8$'; then
  grep -q '^zh_CN.UTF-8 UTF-8' /etc/locale.gen 2>/dev/null || echo 'zh_CN.UTF-8 UTF-8' | $SUDO tee -a /etc/locale.gen >/dev/null
  $SUDO locale-gen >/dev/null
fi
