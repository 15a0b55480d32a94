#!/usr/bin/env bash
# Builds the committed HEAD twice from fresh clones in separate folders (different paths, fresh file times,
# no compiler cache) and compares FeijingSetup.exe, fj.exe and uninst.exe byte for byte:
#   check_reproducible.sh [i686|x86_64 ...]     (default: both)
# Uncommitted changes are not part of it. Exit code 0 when every architecture's two builds are identical.
# KEEP=1 keeps the work folder.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
arches=("$@")
[ ${#arches[@]} -gt 0 ] || arches=(i686 x86_64)
commit=$(git -C "$root" rev-parse HEAD)
work=$(mktemp -d "${TMPDIR:-/tmp}/feijing-reproducible.XXXXXX")
[ "${KEEP:-0}" = 1 ] || trap 'rm -rf "$work"' EXIT

# Debian's minizip source, unpacked once; each build takes a copy into its own tree, as it would fetch it.
minizip=""
for candidate in "$root"/build/_deps/minizip "$root"/build-x86_64/_deps/minizip; do
  [ -f "$candidate/unzip.c" ] && { minizip=$candidate; break; }
done
if [ -z "$minizip" ]; then
  minizip=$work/minizip
  bash "$root/tools/fetch_minizip.sh" "$minizip"
fi

programs=(installer/FeijingSetup.exe installer/fj.exe installer/uninst.exe)
failed=0
echo "reproducible: commit $commit"
for arch in "${arches[@]}"; do
  for copy in first second-copy; do
    src=$work/$arch-$copy/src
    git clone -q --no-checkout "$root" "$src"
    git -C "$src" checkout -q --detach "$commit"
    mkdir -p "$src/build/_deps"
    cp -r "$minizip" "$src/build/_deps/minizip"
    echo "reproducible: building $arch in $src"
    CCACHE_DISABLE=1 cmake -S "$src" -B "$src/build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$src/cmake/mingw-$arch.cmake" \
      -DCMAKE_BUILD_TYPE=Release >"$work/$arch-$copy.log" 2>&1
    CCACHE_DISABLE=1 cmake --build "$src/build" --target FeijingSetup -- -j"$(nproc)" >>"$work/$arch-$copy.log" 2>&1 || {
      tail -n 30 "$work/$arch-$copy.log"; echo "reproducible: the $arch build failed" >&2; exit 1; }
  done
  for program in "${programs[@]}"; do
    a=$work/$arch-first/src/build/$program
    b=$work/$arch-second-copy/src/build/$program
    if cmp -s "$a" "$b"; then
      echo "reproducible: $arch $(basename "$program") identical ($(stat -c %s "$a") bytes, sha256 $(sha256sum "$a" | cut -c1-16)...)"
    else
      echo "reproducible: $arch $(basename "$program") DIFFERS ($(cmp "$a" "$b" | head -n 1))"
      failed=1
    fi
  done
done
exit $failed
