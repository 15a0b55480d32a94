#!/usr/bin/env bash
# The installer at 100 %, 150 % and 200 % display scale, for docs/: each shot is taken by the end-to-end
# scale case in a test bed at 96, 144 and 192 DPI. `make_scale_screenshots.sh [BUILD_DIR]` (default
# build-x86_64, built); TESTBED_DISPLAY as for the test bed.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build-x86_64}" && pwd)
shots=$(mktemp -d)
trap 'rm -rf "$shots"' EXIT

for scale in 96:100 144:150 192:200; do
  dpi=${scale%%:*}
  percent=${scale##*:}
  (
    export TESTBED_BUILD=$build TESTBED_DPI=$dpi
    source "$root/tools/testbed.sh"
    testbed_up
    trap testbed_down EXIT
    python3 "$root/tests/e2e/installer_e2e.py" --build "$build" --screenshots "$shots" scaled_window
  )
  cp "$shots/scaled-$dpi-choosing.png" "$root/docs/installer-$percent.png"
  echo "docs/installer-$percent.png"
done
