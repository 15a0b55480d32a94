#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test under the Wine test bed.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/tools/setup.sh"
bash "$root/tools/build.sh"
export TESTBED_BUILD=${BUILD_DIR:-$root/build}
source "$root/tools/testbed.sh"
testbed_up
trap testbed_down EXIT
ctest --test-dir "$TESTBED_BUILD" --output-on-failure --no-tests=error "$@"
