#!/usr/bin/env bash
# The Wine test bed: a throwaway prefix inside the build tree, zh_CN locale (ANSI code page 936), CJK font
# replacements, its own HOME, and an Xvfb display.
# Source it and call testbed_up / testbed_down, or run `testbed.sh run EXE [ARGS]` for one program.
#
# The architecture comes from the build folder (written there at configure time): an i686 build gets a
# win32 prefix and Wine's 32-bit loader, an x86_64 build a win64 prefix and the 64-bit loader and
# wineserver, called directly (Debian's `wine` picks the 32-bit loader whenever wine32 is installed).
# TESTBED_WOW64=1 runs an i686 build in a win64 prefix of its own, as 32-bit programs run on 64-bit Windows.
# TESTBED_DPI=120|144|192 (any other value too) runs in a prefix of its own whose user has that LogPixels,
# on a screen large enough for the scaled installer (1920x1200 above 144 DPI); 96, the default, is the
# ordinary prefix. TESTBED_SCREEN overrides the screen (WIDTHxHEIGHTxDEPTH).
# `wine` and `wineserver` on the PATH are shims for the chosen loader, so scripts and tests just call them.
set -u

TESTBED_BUILD=${TESTBED_BUILD:-$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)/build}
TESTBED_DIR=$TESTBED_BUILD/testbed

testbed_fail() {
  echo "testbed: $*" >&2
  return 1
}

# Sets TESTBED_ARCH (i686 | x86_64) and TESTBED_WINEARCH (win32 | win64).
testbed_arch() {
  TESTBED_ARCH=i686
  [ -f "$TESTBED_BUILD/testbed-arch" ] && TESTBED_ARCH=$(cat "$TESTBED_BUILD/testbed-arch")
  if [ "$TESTBED_ARCH" = x86_64 ] || [ "${TESTBED_WOW64:-0}" = 1 ]; then
    TESTBED_WINEARCH=win64
  else
    TESTBED_WINEARCH=win32
  fi
  export TESTBED_ARCH TESTBED_WINEARCH
}

# Sets TESTBED_DPI (default 96) and TESTBED_SCREEN, the Xvfb screen the bed brings up.
testbed_dpi() {
  TESTBED_DPI=${TESTBED_DPI:-96}
  case $TESTBED_DPI in
    '' | *[!0-9]*) testbed_fail "TESTBED_DPI must be a number of dots per inch such as 120, 144 or 192"; return 1 ;;
  esac
  if [ -z "${TESTBED_SCREEN:-}" ]; then
    # The window's far corner lies at (50 + 588, 50 + 438) logical pixels: 1276 x 976 at 192 DPI.
    if [ "$TESTBED_DPI" -gt 144 ]; then TESTBED_SCREEN=1920x1200x24; else TESTBED_SCREEN=1280x800x24; fi
  fi
  export TESTBED_DPI TESTBED_SCREEN
}

testbed_env() {
  testbed_arch
  testbed_dpi || return 1
  local prefix=prefix loader=/usr/lib/wine/wine server=/usr/lib/wine/wineserver32
  if [ "$TESTBED_WINEARCH" = win64 ]; then
    loader=/usr/lib/wine/wine64
    server=/usr/lib/wine/wineserver64
    [ "$TESTBED_ARCH" = i686 ] && prefix=prefix-wow64
  fi
  [ "$TESTBED_DPI" = 96 ] || prefix=$prefix-dpi$TESTBED_DPI
  # Debian's wine32 ships no wineserver32 on every version: the common script then serves both.
  [ -x "$server" ] || server=/usr/lib/wine/wineserver
  export WINEPREFIX=$TESTBED_DIR/$prefix
  export WINEARCH=$TESTBED_WINEARCH
  export WINELOADER=$loader WINESERVER=$server
  export HOME=$TESTBED_DIR/home
  export XDG_CONFIG_HOME=$HOME/.config XDG_DATA_HOME=$HOME/.local/share XDG_CACHE_HOME=$HOME/.cache
  export LANG=zh_CN.UTF-8 LC_ALL=zh_CN.UTF-8
  export WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree=d;mshtml=d"
  export WINEDEBUG=${WINEDEBUG:--all}
  export DISPLAY=${TESTBED_DISPLAY:-:93}
  # The registry view the product writes: a 32-bit program in a win64 prefix writes under WOW6432Node.
  if [ "$TESTBED_ARCH" = i686 ] && [ "$TESTBED_WINEARCH" = win64 ]; then
    export TESTBED_REG_VIEW=32
  else
    export TESTBED_REG_VIEW=native
  fi
  local bin=$TESTBED_DIR/bin-$TESTBED_WINEARCH
  mkdir -p "$HOME" "$bin"
  testbed_shim "$bin/wine" "$loader"
  testbed_shim "$bin/wineserver" "$server"
  case ":$PATH:" in
    *":$bin:"*) ;;
    *) export PATH=$bin:$PATH ;;
  esac
}

# testbed_shim FILE PROGRAM: FILE runs PROGRAM. Written aside and renamed into place, and only when it
# changes: tests run in parallel, and rewriting a script another test is executing fails ("text file busy").
testbed_shim() {
  local text
  text=$(printf '#!/bin/sh\nexec %s "$@"' "$2")
  [ -x "$1" ] && [ "$(cat "$1")" = "$text" ] && return 0
  local part
  part=$(mktemp "$1.XXXXXX")
  printf '%s\n' "$text" > "$part"
  chmod +x "$part"
  mv -f "$part" "$1"
}

testbed_check_loader() {
  [ -x "$WINELOADER" ] && return 0
  if [ "$TESTBED_WINEARCH" = win32 ]; then
    testbed_fail "no 32-bit Wine loader ($WINELOADER): install wine32:i386 (tools/setup.sh does where 32-bit programs run)"
  else
    testbed_fail "no 64-bit Wine loader ($WINELOADER): install wine64 (tools/setup.sh)"
  fi
}

display_answers() { xdpyinfo -display "$1" >/dev/null 2>&1; }

# WIDTH HEIGHT of the display's screen.
display_size() { xdpyinfo -display "$1" 2>/dev/null | sed -n 's/^ *dimensions: *\([0-9]*\)x\([0-9]*\) .*/\1 \2/p'; }

# A display this bed started, smaller than TESTBED_SCREEN (left by a run at a lower DPI), is started again.
testbed_display_fits() {
  local want_w want_h have_w have_h
  IFS=x read -r want_w want_h _ <<< "$TESTBED_SCREEN"
  read -r have_w have_h <<< "$(display_size "$DISPLAY")"
  [ "${have_w:-0}" -ge "$want_w" ] && [ "${have_h:-0}" -ge "$want_h" ] && return 0
  if [ -f "$TESTBED_DIR/xvfb.pid" ] && kill "$(cat "$TESTBED_DIR/xvfb.pid")" 2>/dev/null; then
    rm -f "$TESTBED_DIR/xvfb.pid"
    for _ in $(seq 50); do display_answers "$DISPLAY" || return 1; sleep 0.1; done
  fi
  testbed_fail "the display $DISPLAY is ${have_w}x${have_h}, smaller than $TESTBED_SCREEN for $TESTBED_DPI DPI: use another TESTBED_DISPLAY"
  return 2
}

# A socket or lock left behind by a killed server does not mean a display: only an answering server does.
testbed_display_up() {
  if display_answers "$DISPLAY"; then
    local rc=0
    testbed_display_fits || rc=$?
    [ $rc = 1 ] || return $rc
  fi
  local n=${DISPLAY#:}
  n=${n%%.*}
  local lock=/tmp/.X$n-lock
  if [ -f "$lock" ]; then
    local pid
    pid=$(tr -dc 0-9 < "$lock")
    if [ -z "$pid" ] || ! kill -0 "$pid" 2>/dev/null; then rm -f "$lock" "/tmp/.X11-unix/X$n"; fi
  fi
  Xvfb "$DISPLAY" -screen 0 "$TESTBED_SCREEN" -nolisten tcp >"$TESTBED_DIR/xvfb.log" 2>&1 &
  echo $! > "$TESTBED_DIR/xvfb.pid"
  for _ in $(seq 100); do display_answers "$DISPLAY" && return 0; sleep 0.1; done
  testbed_fail "no X display answers on $DISPLAY (see $TESTBED_DIR/xvfb.log)"
}

testbed_prefix_up() {
  [ -f "$WINEPREFIX/.testbed-ready" ] && return 0
  rm -rf "$WINEPREFIX"
  mkdir -p "$WINEPREFIX"
  # The first command starts the prefix's services, which inherit its output: keep it off any pipe.
  local rc=0
  wine wineboot -i >"$TESTBED_DIR/wineboot.log" 2>&1 </dev/null || rc=$?
  wineserver -w
  if [ $rc -ne 0 ] || [ ! -f "$WINEPREFIX/system.reg" ]; then
    testbed_fail "wineboot of the $TESTBED_WINEARCH prefix $WINEPREFIX failed (exit code $rc; see $TESTBED_DIR/wineboot.log)"
    return 1
  fi
  local reg=$TESTBED_DIR/settings-dpi$TESTBED_DPI.reg
  {
    printf 'REGEDIT4\r\n\r\n'
    printf '[HKEY_CURRENT_USER\\Software\\Wine\\Fonts\\Replacements]\r\n'
    printf '"宋体"="WenQuanYi Zen Hei Sharp"\r\n'
    printf '"新宋体"="WenQuanYi Zen Hei Sharp"\r\n'
    printf '"SimSun"="WenQuanYi Zen Hei Sharp"\r\n'
    printf '"微软雅黑"="WenQuanYi Micro Hei"\r\n'
    printf '"Microsoft YaHei"="WenQuanYi Micro Hei"\r\n'
    printf '\r\n'
    if [ "$TESTBED_DPI" != 96 ]; then
      # The user's display scale, and the machine's, which Wine takes where the user has none.
      local dpi
      dpi=$(printf 'dword:%08x' "$TESTBED_DPI")
      printf '[HKEY_CURRENT_USER\\Control Panel\\Desktop]\r\n"LogPixels"=%s\r\n\r\n' "$dpi"
      printf '[HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Hardware Profiles\\Current\\Software\\Fonts]\r\n'
      printf '"LogPixels"=%s\r\n\r\n' "$dpi"
    fi
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
}

# A prefix of another scale must report it to a DPI-aware program (the build's probe; none before a build).
testbed_check_dpi() {
  local probe=$TESTBED_BUILD/tests/dpi_probe.exe reported
  [ "$TESTBED_DPI" != 96 ] && [ -f "$probe" ] || return 0
  reported=$(wine "$probe" </dev/null 2>/dev/null | tr -dc 0-9)
  [ "$reported" = "$TESTBED_DPI" ] && return 0
  testbed_fail "the prefix $WINEPREFIX reports ${reported:-no} DPI instead of $TESTBED_DPI (delete it to make it again)"
}

testbed_up() {
  mkdir -p "$TESTBED_DIR"
  testbed_env
  testbed_check_loader || exit 1
  testbed_display_up || exit 1
  testbed_prefix_up || exit 1
  # One persistent wineserver for the whole run.
  wineserver -p >/dev/null 2>&1 </dev/null || true  # already running is fine
  wine cmd /c exit >/dev/null 2>&1 </dev/null || true
  testbed_check_dpi || exit 1
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
      mkdir -p "$TESTBED_DIR"
      testbed_env
      testbed_check_loader || exit 1
      [ -f "$WINEPREFIX/.testbed-ready" ] || testbed_up
      testbed_display_up || exit 1
      exec wine "$@"
      ;;
    *) echo "usage: testbed.sh up|down|run EXE [ARGS]" >&2; exit 2 ;;
  esac
fi
