#!/usr/bin/env bash
# What this machine executes, and where each architecture's build lives. Source it.
#
# Some x86-64 machines refuse every 32-bit x86 program (the kernel answers "Exec format error"), so
# 32-bit Wine cannot start there. TESTBED_NO32=1 takes the 64-bit-only road on any machine.

arch_root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)

# The build folder of an architecture: build/ is the shipped 32-bit product.
arch_build_dir() {
  case "$1" in
    i686) echo "${BUILD_DIR:-$arch_root/build}" ;;
    x86_64) echo "${BUILD_DIR_X86_64:-$arch_root/build-x86_64}" ;;
    *) echo "arch_build_dir: unknown architecture '$1'" >&2; return 2 ;;
  esac
}

# Runs a 96-byte static i386 ELF that only calls exit(42). A timeout bounds it and execve is called
# directly, so a shell cannot take the file for a script. Sets arch_probe_result to a short reason.
arch_runs_32bit() {
  if [ "${TESTBED_NO32:-0}" = 1 ]; then
    arch_probe_result="TESTBED_NO32=1 is set"
    return 1
  fi
  local probe rc
  probe=$(mktemp "${TMPDIR:-/tmp}/probe32.XXXXXX")
  printf '\177ELF\001\001\001\000\000\000\000\000\000\000\000\000\002\000\003\000\001\000\000\000\124\200\004\010\064\000\000\000\000\000\000\000\000\000\000\000\064\000\040\000\001\000\000\000\000\000\000\000\001\000\000\000\000\000\000\000\000\200\004\010\000\200\004\010\140\000\000\000\140\000\000\000\005\000\000\000\000\020\000\000\270\001\000\000\000\273\052\000\000\000\315\200' > "$probe"
  chmod +x "$probe"
  rc=0
  timeout -s KILL 10 python3 -c '
import os, sys
try:
    os.execv(sys.argv[1], [sys.argv[1]])
except OSError as error:
    print(error.strerror, file=sys.stderr)
    sys.exit(3)' "$probe" 2>"$probe.err" || rc=$?
  case $rc in
    42) arch_probe_result="a 32-bit x86 program ran" ;;
    137) arch_probe_result="a 32-bit x86 program did not end within 10 s" ;;
    3) arch_probe_result="a 32-bit x86 program cannot start: $(head -n 1 "$probe.err")" ;;
    *) arch_probe_result="a 32-bit x86 program failed with exit code $rc" ;;
  esac
  rm -f "$probe" "$probe.err"
  [ "$rc" = 42 ]
}
