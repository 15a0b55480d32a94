#!/usr/bin/env bash
# Configures (first time) and builds one architecture: `build.sh [i686|x86_64]` (default i686, the
# shipped product) into build/ or build-x86_64/ (BUILD_DIR / BUILD_DIR_X86_64 override them).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
source "$root/tools/arch.sh"
arch=${1:-i686}
build=$(arch_build_dir "$arch")
if [ ! -f "$build/build.ninja" ]; then
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-$arch.cmake" \
        -DCMAKE_BUILD_TYPE=Release >/dev/null || {
    echo "build: configuring the $arch build in $build failed (see the output above; tools/setup.sh installs what it needs)" >&2
    exit 1; }
fi
cmake --build "$build" -- -j"$(nproc)" || {
  echo "build: the $arch build in $build failed (see the compiler output above)" >&2
  exit 1; }
