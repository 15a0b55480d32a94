#!/usr/bin/env bash
# Installs what is missing, builds, and starts the installer under Wine. Without a display it runs on
# the test bed's Xvfb display, writes a screenshot to build/screenshot.png and stops the installer.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/tools/setup.sh"
bash "$root/tools/build.sh"
export TESTBED_BUILD=${BUILD_DIR:-$root/build}
exe=$TESTBED_BUILD/installer/FeijingSetup.exe
if [ -n "${DISPLAY:-}" ] && xset -display "$DISPLAY" q >/dev/null 2>&1; then
  export TESTBED_DISPLAY=$DISPLAY
  exec "$root/tools/testbed.sh" run "$exe"
fi
source "$root/tools/testbed.sh"
testbed_up
trap testbed_down EXIT
wine "$exe" >/dev/null 2>&1 &
sleep "${SCREENSHOT_DELAY:-6}"
import -display "$DISPLAY" -window root "$TESTBED_BUILD/screenshot.png"
echo "screenshot: $TESTBED_BUILD/screenshot.png"
