#!/usr/bin/env bash
# The Wine test bed: a throwaway 32-bit prefix inside the build tree, zh_CN locale (ANSI code page 936),
# CJK font replacements, its own HOME, and an Xvfb display.
# Source it and call testbed_up / testbed_down, or run `testbed.sh run EXE [ARGS]` for one program.
set -u

TESTBED_BUILD=${TESTBED_BUILD:-$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)/build}
TESTBED_DIR=$TESTBED_BUILD/testbed

testbed_env() {
  export WINEPREFIX=$TESTBED_DIR/prefix
  export WINEARCH=win32
  export HOME=$TESTBED_DIR/home
  export XDG_CONFIG_HOME=$HOME/.config XDG_DATA_HOME=$HOME/.local/share XDG_CACHE_HOME=$HOME/.cache
  export LANG=zh_CN.UTF-8 LC_ALL=zh_CN.UTF-8
  export WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree=d;mshtml=d"
  export WINEDEBUG=${WINEDEBUG:--all}
  export DISPLAY=${TESTBED_DISPLAY:-:93}
  mkdir -p "$HOME"
}

display_answers() { xdpyinfo -display "$1" >/dev/null 2>&1; }

# A socket or lock left behind by a killed server does not mean a display: only an answering server does.
testbed_display_up() {
  display_answers "$DISPLAY" && return 0
  local n=${DISPLAY#:}
  n=${n%%.*}
  local lock=/tmp/.X$n-lock
  if [ -f "$lock" ]; then
    local pid
    pid=$(tr -dc 0-9 < "$lock")
    if [ -z "$pid" ] || ! kill -0 "$pid" 2>/dev/null; then rm -f "$lock" "/tmp/.X11-unix/X$n"; fi
  fi
  Xvfb "$DISPLAY" -screen 0 1280x800x24 -nolisten tcp >"$TESTBED_DIR/xvfb.log" 2>&1 &
  echo $! > "$TESTBED_DIR/xvfb.pid"
  for _ in $(seq 100); do display_answers "$DISPLAY" && return 0; sleep 0.1; done
  echo "testbed: no X display answers on $DISPLAY (see $TESTBED_DIR/xvfb.log)" >&2
  return 1
}

testbed_prefix_up() {
  if [ ! -f "$WINEPREFIX/.testbed-ready" ]; then
    rm -rf "$WINEPREFIX"
    mkdir -p "$WINEPREFIX"
    # The first command starts the prefix's services, which inherit its output: keep it off any pipe.
    wineboot -i >/dev/null 2>&1 </dev/null
    wineserver -w
    local reg=$TESTBED_DIR/fonts.reg
    {
      printf 'REGEDIT4\r\n\r\n'
      printf '[HKEY_CURRENT_USER\\Software\\Wine\\Fonts\\Replacements]\r\n'
      printf '"宋体"="WenQuanYi Zen Hei Sharp"\r\n'
      printf '"新宋体"="WenQuanYi Zen Hei Sharp"\r\n'
      printf '"SimSun"="WenQuanYi Zen Hei Sharp"\r\n'
      printf '"微软雅黑"="WenQuanYi Micro Hei"\r\n'
      printf '"Microsoft YaHei"="WenQuanYi Micro Hei"\r\n'
      printf '\r\n'
    } | iconv -f UTF-8 -t GBK > "$reg"
    wine regedit /S "$reg" >/dev/null 2>&1 </dev/null
    wineserver -w
    # Real folders instead of links into the Unix home, so nothing escapes the build tree.
    local user
    for user in "$WINEPREFIX"/drive_c/users/*/; do
      for f in Desktop Documents Downloads Music Pictures Videos Templates; do
        if [ -L "$user$f" ]; then rm -f "$user$f"; mkdir -p "$user$f"; fi
      done
    done
    touch "$WINEPREFIX/.testbed-ready"
  fi
}

testbed_up() {
  mkdir -p "$TESTBED_DIR"
  testbed_env
  testbed_display_up || exit 1
  testbed_prefix_up
  # One persistent wineserver for the whole run.
  wineserver -p >/dev/null 2>&1 </dev/null || true  # already running is fine
  wine cmd /c exit >/dev/null 2>&1 </dev/null || true
}

testbed_down() {
  testbed_env
  wineserver -k >/dev/null 2>&1 || true
  if [ -f "$TESTBED_DIR/xvfb.pid" ]; then
    kill "$(cat "$TESTBED_DIR/xvfb.pid")" 2>/dev/null || true
    rm -f "$TESTBED_DIR/xvfb.pid"
  fi
}

if [ "${BASH_SOURCE[0]}" = "$0" ]; then
  case "${1:-}" in
    up) testbed_up ;;
    down) testbed_down ;;
    run)
      shift
      testbed_env
      mkdir -p "$TESTBED_DIR"
      [ -f "$WINEPREFIX/.testbed-ready" ] || testbed_up
      testbed_display_up || exit 1
      exec wine "$@"
      ;;
    *) echo "usage: testbed.sh up|down|run EXE [ARGS]" >&2; exit 2 ;;
  esac
fi
