#!/usr/bin/env bash
# Runs every test layer from a clean or an existing build:
#   host        unit tests (GoogleTest, one ctest entry per case)
#   host-asan   the same under AddressSanitizer + UndefinedBehaviorSanitizer
#   windows     the same tests built for 32-bit Windows, and the engine's tests against Wine's
#               registry, files and shell, run under Wine in throwaway prefixes; on a machine that
#               cannot run 32-bit x86 code (a kernel without 32-bit emulation) the same tests
#               built for 64-bit Windows instead, in 64-bit prefixes (windows64)
#   windows-program  setup.exe as shipped: imports nothing Windows 2000 lacks and only known system
#               libraries, carries its exploit mitigations, signs and verifies, its size and what it
#               links (printed), runs under Wine (where 32-bit x86 code runs)
#   fuzz        each libFuzzer target for FUZZ_SECONDS (default 30) seconds
#   bench       short passes of the benchmarks, to keep them building and running, with their ratios;
#               setup.exe's start-up to its first painted page under Wine against a one-dialog program
# What is missing is installed first (as root; .ci/install-deps is idempotent).
set -euo pipefail
cd "$(dirname "$0")"
if [ "$(id -u)" = 0 ]; then
  bash .ci/install-deps
else
  echo "test.sh: not root, so nothing is installed; run 'sudo bash .ci/install-deps' once on a new machine"
fi
jobs=$(nproc)
fuzz_seconds=${FUZZ_SECONDS:-30}
passed=0
failed=0

layer() {  # layer NAME COMMAND...: runs one layer and counts it
  local name=$1
  shift
  echo "=== $name"
  if "$@"; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
    echo "=== $name FAILED"
  fi
}

ctest_preset() {
  cmake --preset "$1" >/dev/null &&
    cmake --build --preset "$1" -j "$jobs" &&
    ctest --preset "$1" -j "$jobs"
}

# The Windows tests show message boxes and windows: under Wine they need a display.
ctest_preset_on_display() {
  cmake --preset "$1" >/dev/null &&
    cmake --build --preset "$1" -j "$jobs" &&
    xvfb-run -a -s "-screen 0 1024x768x24" ctest --preset "$1" -j "$jobs"
}

run_fuzzers() {
  cmake --preset fuzz >/dev/null && cmake --build --preset fuzz -j "$jobs" || return 1
  local target corpus
  for target in $(cd build/fuzz/tests/fuzz && ls fuzz_* | grep -v '\.' ); do
    corpus=build/fuzz/corpus/$target
    mkdir -p "$corpus"
    [ -d "tests/fuzz/corpus/$target" ] && cp -n tests/fuzz/corpus/$target/* "$corpus"/ 2>/dev/null || true
    echo "--- $target for ${fuzz_seconds}s"
    if ! (cd build/fuzz && "./tests/fuzz/$target" -max_total_time="$fuzz_seconds" -rss_limit_mb=2048 \
      -timeout=10 -print_final_stats=1 "corpus/$target" >"$target.log" 2>&1); then
      tail -n 40 "build/fuzz/$target.log"
      return 1
    fi
    grep -E 'stat::number_of_executed_units' "build/fuzz/$target.log"
  done
}

run_benchmarks() {  # short repetitions, interleaved, so that the ratios hold on a busy machine
  local bench
  for bench in build/host/tests/bench/*_bench; do
    "$bench" --benchmark_min_time=0.05 --benchmark_repetitions=5 --benchmark_enable_random_interleaving=true \
      --benchmark_report_aggregates_only=true || return 1
  done
  run_startup_bench
}

# Start-up to the first painted page under Wine, setup.exe against a program that shows one
# dialog, in turns in one fresh prefix (of the Windows build the windows layer made). Fails only
# when the measurement cannot be made.
run_startup_bench() {
  local build=build/windows64 arch=win64 rc
  if cmake/wine-run --can-run-32bit; then
    build=build/windows arch=win32
  fi
  export WINEPREFIX=$PWD/$build/wine/bench-win7 WINEARCH=$arch
  cmake/wine-run --fresh win7 &&
    xvfb-run -a -s "-screen 0 1024x768x24" cmake/wine-run "$build/tests/bench/startup_bench.exe" 11
  rc=$?
  cmake/wine-run --stop
  unset WINEPREFIX WINEARCH
  return $rc
}

timed() {  # timed NAME COMMAND...: a layer with its time
  local start=$SECONDS
  layer "$@"
  echo "=== $1 took $((SECONDS - start)) s"
}

timed host ctest_preset host
timed host-asan ctest_preset host-asan
if cmake/wine-run --can-run-32bit; then
  timed windows ctest_preset_on_display windows
else
  echo "=== windows: this machine cannot run 32-bit x86 code; the Wine tests run as 64-bit programs"
  timed windows64 ctest_preset_on_display windows64
fi
timed windows-program ctest_preset windows-program
timed fuzz run_fuzzers
timed bench run_benchmarks

echo "layers: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
