#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test under the Wine test bed, for each architecture this
# machine can run. Where 32-bit x86 programs run: the i686 product first, its end-to-end test once more in
# a 64-bit prefix (WoW64, as most customers run it), then the x86_64 build. Where they cannot: the i686
# build is still built, and the x86_64 build of the same source is tested. Arguments go to ctest.
# TESTBED_NO32=1 takes the 64-bit-only road on any machine.
# Each tested architecture also runs the installer's scale cases (installer_e2e.py's scaled_*) in a prefix
# at each DPI of TESTBED_SCALES (default 144; e.g. TESTBED_SCALES="120 144 192", or "" for none).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
source "$root/tools/arch.sh"
scales=${TESTBED_SCALES-144}
bash "$root/tools/setup.sh"

if arch_runs_32bit; then
  tested=(i686 x86_64)
  wow64=1
else
  echo "test: 32-bit programs cannot run on this machine ($arch_probe_result): the 64-bit build of the same source is tested instead; the i686 product is built, not run."
  tested=(x86_64)
  wow64=0
  bash "$root/tools/build.sh" i686
fi

summary=()
failed=0
# run_bed ARCH LABEL [ctest args]: one test bed up, ctest, down again.
run_bed() {
  local arch=$1 label=$2
  shift 2
  local start=$SECONDS rc=0
  (
    export TESTBED_BUILD
    TESTBED_BUILD=$(arch_build_dir "$arch")
    source "$root/tools/testbed.sh"
    testbed_up
    trap testbed_down EXIT
    ctest --test-dir "$TESTBED_BUILD" --output-on-failure --no-tests=error "$@"
  ) || rc=$?
  if [ $rc -eq 0 ]; then
    summary+=("$label: passed ($((SECONDS - start)) s)")
  else
    summary+=("$label: FAILED (exit code $rc; the test bed's or the failing tests' messages are above)")
    failed=1
  fi
}

for arch in "${tested[@]}"; do
  bash "$root/tools/build.sh" "$arch"
  if [ "$arch" = i686 ]; then
    run_bed i686 "i686 (32-bit prefix)" "$@"
  else
    run_bed x86_64 "x86_64 (64-bit prefix)" "$@"
  fi
  if [ "$arch" = i686 ] && [ $wow64 = 1 ]; then
    TESTBED_WOW64=1 run_bed i686 "i686 end to end in a 64-bit prefix (WoW64)" -R '^installer_e2e$' "$@"
  fi
  for dpi in $scales; do
    TESTBED_DPI=$dpi INSTALLER_E2E_CASES=scaled_ run_bed "$arch" "$arch at $dpi DPI (the scale cases)" \
      -R '^installer_e2e$' "$@"
  done
done

echo
echo "test summary:"
for line in "${summary[@]}"; do echo "  $line"; done
[ "$failed" = 0 ] || { echo "test: some tests failed (see above)" >&2; exit 1; }
