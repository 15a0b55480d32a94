#!/usr/bin/env bash
# The installer's benchmarks under the Wine test bed, ratios measured in this one run:
#  1. first complete frame of FeijingSetup.exe against a bare GDI+ window (bench_install.exe frame);
#  2. "极速安装" press to the finished state against Info-ZIP's unzip of the same sj.zip into a folder on
#     the prefix's disk, alternating, plus the installer's peak working set.
# Usage: BUILD_DIR=... TESTBED_DISPLAY=:NN bench/bench_install.sh [runs]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${BUILD_DIR:-$root/build}
runs=${1:-5}
export TESTBED_BUILD=$build
bed=$root/tools/testbed.sh
launcher=$build/bench/bench_install.exe
archive=$build/payload/sj.zip
target=$build/testbed/bench-unzip

for f in "$launcher" "$archive" /usr/bin/unzip; do
  [ -e "$f" ] || { echo "bench_install.sh: $f is missing (build first)" >&2; exit 1; }
done

"$bed" run "$launcher" frame "$runs" | tr -d '\r'

install_ms=() unzip_ms=() peak_mb=()
for i in $(seq "$runs"); do
  # A failed run prints why: keep its line for the message below instead of letting set -e end silently.
  line=$("$bed" run "$launcher" install | tr -d '\r') || true
  case $line in
    *install_ms=*) ;;
    *) echo "bench_install.sh: run $i: $line" >&2; exit 1 ;;
  esac
  ms=${line#*install_ms=}; ms=${ms%% *}
  mb=${line#*peak_mb=}; mb=${mb%% *}
  rm -rf "$target"; mkdir -p "$target"
  t0=$(date +%s%N)
  /usr/bin/unzip -q -o "$archive" -d "$target"
  t1=$(date +%s%N)
  rm -rf "$target"
  um=$(( (t1 - t0) / 1000 ))
  um=$(printf '%d.%03d' $((um / 1000)) $((um % 1000)))
  echo "run $i: installer $ms ms (peak $mb MB), unzip $um ms"
  install_ms+=("$ms") unzip_ms+=("$um") peak_mb+=("$mb")
done

python3 - "${install_ms[*]}" "${unzip_ms[*]}" "${peak_mb[*]}" <<'PY'
import statistics, sys
install, unzip, peak = ([float(v) for v in arg.split()] for arg in sys.argv[1:4])
mi, mu = statistics.median(install), statistics.median(unzip)
print(f"install, median of {len(install)}: installer {mi:.1f} ms, unzip {mu:.1f} ms, "
      f"ratio {mi / mu:.2f} (goal <= 1.5)")
print(f"installer peak working set: median {statistics.median(peak):.1f} MB, "
      f"largest {max(peak):.1f} MB (goal < 40 MB)")
PY
