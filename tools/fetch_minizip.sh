#!/usr/bin/env bash
# Unpacks Debian's minizip source package (Debian patches applied) into $1.
set -euo pipefail
dest=$1
[ -f "$dest/unzip.c" ] && exit 0
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
( cd "$work" && apt-get source -qq minizip >/dev/null 2>&1 ) || {
  echo "apt-get source minizip failed: is a deb-src entry configured (tools/setup.sh)?" >&2; exit 1; }
src=$(find "$work" -maxdepth 1 -mindepth 1 -type d -name 'minizip*' | head -n 1)
mkdir -p "$(dirname "$dest")"
rm -rf "$dest"
mv "$src" "$dest"
