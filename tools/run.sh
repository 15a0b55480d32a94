#!/usr/bin/env bash
# Installs what is missing, builds, and starts the installer under Wine: the 32-bit product where this
# machine runs 32-bit programs, else the 64-bit build of the same source. Without a display it runs on
# the test bed's Xvfb display, writes a screenshot to <build>/screenshot.png and stops the installer.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
source "$root/tools/arch.sh"
bash "$root/tools/setup.sh"
if arch_runs_32bit; then
  arch=i686
  echo "run: starting the 32-bit installer"
else
  arch=x86_64
  echo "run: 32-bit programs cannot run on this machine ($arch_probe_result): starting the 64-bit build of the installer"
fi
bash "$root/tools/build.sh" "$arch"
export TESTBED_BUILD
TESTBED_BUILD=$(arch_build_dir "$arch")
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
